#pragma once

#include <QMap>
#include <QString>

#include "support/test_support.h"

// The values the sshd fixture wrote (port, test user and its password, the SFTP root).
class SshdEnv {
public:
    static const SshdEnv& Get() {
        static const SshdEnv env = [] {
            SshdEnv loaded;
            loaded.m_values = LoadServerEnv("VORLEN_SSHD_STATE");
            return loaded;
        }();
        return env;
    }
    QString Value(const QString& key) const { return m_values.value(key); }
    bool Has(const QString& key) const { return m_values.contains(key); }
    QString Password() const { return Value("SSH_PASSWORD"); }

private:
    QMap<QString, QString> m_values;
};

// Skips a test when sshd is missing, except in CI where that is a failure.
#define REQUIRE_SSHD_SERVER()                                \
    do {                                                     \
        if (!SshdEnv::Get().Has("SSHD_PORT")) {              \
            if (qEnvironmentVariable("CI") == "true") {      \
                FAIL() << "test server missing: sshd";       \
            }                                                \
            GTEST_SKIP() << "test server not running: sshd"; \
        }                                                    \
    } while (0)
