#pragma once

#include <QFile>
#include <QMap>
#include <QString>

// The values the sshd fixture wrote (port, test user and its password, the SFTP root).
class SshdEnv {
public:
    static const SshdEnv& Get() {
        static const SshdEnv env = [] {
            SshdEnv loaded;
            QFile state(qEnvironmentVariable("VORLEN_SSHD_STATE"));
            if (!state.open(QIODevice::ReadOnly)) {
                return loaded;
            }
            QFile file(QString::fromUtf8(state.readAll()).trimmed() + "/servers.env");
            if (!file.open(QIODevice::ReadOnly)) {
                return loaded;
            }
            for (const QByteArray& line : file.readAll().split('\n')) {
                const qsizetype eq = line.indexOf('=');
                if (eq > 0) {
                    loaded.m_values.insert(QString::fromUtf8(line.left(eq)),
                                           QString::fromUtf8(line.mid(eq + 1)).trimmed());
                }
            }
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
