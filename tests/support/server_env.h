#pragma once

#include <QMap>
#include <QString>

// The values a server fixture wrote (ports, the test user and its password, the served folder):
// Get() for the FTP servers (vsftpd, ProFTPD, Pure-FTPd, the scripted ones), Sshd() for sshd.
class ServerEnv {
public:
    static const ServerEnv& Get();
    static const ServerEnv& Sshd();
    QString Value(const QString& key) const { return m_values.value(key); }
    bool Has(const QString& key) const { return m_values.contains(key); }
    QString Password() const { return m_values.value(m_passwordKey); }
    // The SHA-256 fingerprint of the certificate the FTP fixture made for a TLS server
    // ("vsftpd-tls" or "vsftpd-implicit"); it sits beside the served folder.
    QString CertificateFingerprint(const QString& server) const;

private:
    ServerEnv(const char* stateVariable, QString passwordKey);
    QMap<QString, QString> m_values;
    QString m_passwordKey;
};

// Skips a test whose server is missing, except in CI where that is a failure.
#define REQUIRE_FIXTURE(env, key, what)                            \
    do {                                                           \
        if (!(env).Has(key)) {                                     \
            if (qEnvironmentVariable("CI") == "true") {            \
                FAIL() << "test server missing: " << (what);       \
            }                                                      \
            GTEST_SKIP() << "test server not running: " << (what); \
        }                                                          \
    } while (0)
#define REQUIRE_SERVER(key) REQUIRE_FIXTURE(ServerEnv::Get(), key, key)
#define REQUIRE_SSHD_SERVER() REQUIRE_FIXTURE(ServerEnv::Sshd(), "SSHD_PORT", "sshd")
