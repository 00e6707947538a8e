#pragma once

#include <QEventLoop>
#include <QString>
#include <QStringList>

#include <functional>

#include "ftp/ftp_client.h"
#include "support/server_env.h"

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
    // Changes into the remote folder Dir and switches to binary (vsftpd starts in ASCII mode,
    // where it refuses to resume).
    void EnterBinary(const QString& dir);
    // Whatever was displayed, the password never shows.
    void ExpectPasswordNeverShown() const;
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

// A fresh folder below the vsftpd root, named after the running test and open to the test
// user; returns its name. Each test works in a remote folder of its own.
QString FreshRemoteTestFolder();

// A file of Size pseudo-random bytes (the same bytes for the same Pattern).
