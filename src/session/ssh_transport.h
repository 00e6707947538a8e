#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

#include "session/sftp_connection.h"

class QTcpSocket;
class TcpConnector;
typedef struct _LIBSSH2_SESSION LIBSSH2_SESSION;
typedef struct _LIBSSH2_CHANNEL LIBSSH2_CHANNEL;

// The SSH side of an SFTP session: TCP (direct or SOCKS) through TcpConnector, then libssh2 for
// key exchange, login and the "sftp" subsystem channel. libssh2 runs non-blocking and does its
// socket I/O through callbacks on our QTcpSocket, so every wake-up comes from the socket's
// readyRead/bytesWritten and nothing ever waits in a system call.
//
// The callbacks may close the transport (Close) but must not delete it; use deleteLater.
class SshTransport : public QObject {
    Q_OBJECT
public:
    explicit SshTransport(QObject* parent = nullptr);
    ~SshTransport() override;

    void Start(const SftpConnectOptions& options);
    // Queues bytes for the channel; they go out as the SSH window allows.
    void Send(QByteArray bytes);
    // Bytes queued that libssh2 has not taken yet.
    qsizetype PendingOutput() const { return m_outBytes; }
    // Drops the connection at once; no callback follows.
    void Close();
    bool IsReady() const { return m_state == State::Ready; }
    QString Fingerprint() const { return m_fingerprint; }

    std::function<void(const QString& fingerprint)> onHostKey;
    std::function<void()> onReady;
    std::function<void(const char* data, qsizetype size)> onData;
    std::function<void()> onWritable;  // queued output fell below half of what it was
    std::function<void()> onActivity;  // bytes arrived from the server
    std::function<void(int code, const QString& text)> onFailed;

    // libssh2's socket and prompt callbacks reach us through these.
    qint64 RecvFromSocket(char* buffer, qint64 length);
    qint64 SendToSocket(const char* buffer, qint64 length);
    const QByteArray& PasswordUtf8() const { return m_password; }

private:
    enum class State {
        Idle,
        Connecting,
        Handshake,
        AuthList,
        AuthPassword,
        AuthKeyboard,
        OpenChannel,
        Subsystem,
        Ready,
        Closed
    };

    void OnConnected();
    void Pump();
    void Step();
    bool StepReady();
    void Fail(int code, const QString& text);
    QString LastError() const;

    State m_state = State::Idle;
    QTcpSocket* m_socket = nullptr;
    TcpConnector* m_connector = nullptr;
    LIBSSH2_SESSION* m_session = nullptr;
    LIBSSH2_CHANNEL* m_channel = nullptr;
    QByteArray m_user;
    QByteArray m_password;
    QString m_fingerprint;
    bool m_offersKeyboard = false;
    bool m_triedKeyboard = false;
    bool m_pumpScheduled = false;
    std::deque<QByteArray> m_out;
    qsizetype m_outOffset = 0;
    qsizetype m_outBytes = 0;
    std::unique_ptr<char[]> m_readBuffer;
};
