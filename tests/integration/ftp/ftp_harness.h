#pragma once

#include <QEventLoop>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

#include "ftp/ftp_client.h"

// The values the server fixture wrote (ports, the test user and its password).
class ServerEnv {
public:
    static const ServerEnv& Get();
    QString Value(const QString& key) const { return m_values.value(key); }
    bool Has(const QString& key) const { return m_values.contains(key); }
    QString Password() const { return Value("FTP_PASSWORD"); }

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

// One engine with its events recorded, and a way to run a request to its end.
class FtpHarness {
public:
    FtpHarness();

    // Starts a request and runs the event loop until OnRequestDone; returns its error code
    // (0xFFFF when it did not end within LimitMs).
    quint16 Run(const std::function<void(TFtpClient&)>& start, int limitMs = 20000);
    // Sets the engine up for the vsftpd test user and logs in.
    quint16 ConnectVsftpd(bool passive);
    void UseScripted(const QString& server);

    bool Displayed(const QString& text) const;
    int DoneCount() const { return m_doneCount; }

    TFtpClient client;
    QStringList display;
    QStringList errors;
    TFtpRequest lastRequest = ftpNone;
    int sessionClosed = 0;
    int sessionConnected = 0;

private:
    QEventLoop* m_loop = nullptr;
    int m_doneCount = 0;
    bool m_done = false;
    quint16 m_code = 0;
};

// A file of Size pseudo-random bytes (the same bytes for the same Pattern).
QByteArray RandomBytes(qsizetype size, quint32 pattern);
QByteArray ReadAll(const QString& path);
bool WriteAll(const QString& path, const QByteArray& bytes);
