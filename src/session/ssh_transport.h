#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "session/sftp_connection.h"

class QLocalServer;
class QLocalSocket;
class QProcess;
class QTemporaryDir;

// The SSH side of an SFTP session: the system's ssh, run as "ssh -s HOST sftp", carries the
// SFTP bytes over its standard input and output, so the user's keys, agent, configuration and
// ssh's own ciphers all apply. Its prompts come back to us through the program's askpass mode
// over a private local socket (see ssh_helper.h) and are answered from the options. Everything
// is driven by the process's and the socket's signals; nothing here waits.
//
// The callbacks may close the transport (Close) but must not delete it; use deleteLater.
class SshTransport : public QObject {
    Q_OBJECT
public:
    explicit SshTransport(QObject* parent = nullptr);
    ~SshTransport() override;

    void Start(const SftpConnectOptions& options);
    // Queues bytes for the server.
    void Send(QByteArray bytes);
    // Ends ssh at once; no callback follows.
    void Close();
    // True while a prompt waits for its answer (a person may be reading a question).
    bool Asking() const { return m_asking; }
    QString Fingerprint() const { return m_fingerprint; }

    std::function<void(const QString& fingerprint)> onHostKey;
    std::function<void()> onReady;
    std::function<void(const char* data, qsizetype size)> onData;
    std::function<void()> onActivity;  // the server or ssh said something
    std::function<void(int code, const QString& text)> onFailed;

private:
    void OnHelperConnection();
    void OnHelperRequest(QLocalSocket* socket, const QByteArray& request);
    std::optional<QString> AnswerPrompt(const QString& text);
    void OnErrorOutput();
    void OnFinished(int exitStatus);
    void Fail(int code, const QString& text);

    SftpConnectOptions m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    QLocalServer* m_server = nullptr;
    QProcess* m_process = nullptr;
    QString m_fingerprint;
    QStringList m_errorLines;  // ssh's last messages, for the failure text
    QByteArray m_partialError;
    int m_passwordsGiven = 0;
    bool m_authenticated = false;
    bool m_asking = false;
    bool m_closed = false;
};
