#pragma once

#include <QMap>
#include <QString>

// The values the server fixture wrote (ports, the test user and its password).
class ServerEnv {
public:
    static const ServerEnv& Get();
    QString Value(const QString& key) const { return m_values.value(key); }
    bool Has(const QString& key) const { return m_values.contains(key); }
    QString Password() const { return Value("FTP_PASSWORD"); }
    // The SHA-256 fingerprint of the certificate the fixture made for a TLS server
    // ("vsftpd-tls" or "vsftpd-implicit"); it sits beside the served folder.
    QString CertificateFingerprint(const QString& server) const;

private:
    QMap<QString, QString> m_values;
};

// Skips a test whose server is missing, except in CI where that is a failure.
#define REQUIRE_SERVER(key)                                     \
    do {                                                        \
        if (!ServerEnv::Get().Has(key)) {                       \
            if (qEnvironmentVariable("CI") == "true") {         \
                FAIL() << "test server missing: " << key;       \
            }                                                   \
            GTEST_SKIP() << "test server not running: " << key; \
        }                                                       \
    } while (0)
