#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "session/sftp_connection.h"

class QEventLoop;

// The program's SFTP component, SFTP1: properties set by name, calls that return when the
// operation has ended, events delivered during the call. A call waits in a nested event loop,
// so the window stays alive, the processor idle and the Cancel button works; nothing blocks
// the thread in a socket call. Underneath is our own pipelined SftpConnection.
class SftpComponent : public QObject {
    Q_OBJECT
public:
    explicit SftpComponent(QObject* parent = nullptr);
    ~SftpComponent() override;

    // Properties.
    QString Hostname;
    QString Login;
    QString Password;  // emptied after login
    QString ProxyHostname;
    QString ProxyLogin;
    QString ProxyPassword;
    QString RemotePath;      // the item to rename, the directory to enter
    QString KeyFile;         // the only key offered, when set
    QString KnownHostsFile;  // where the site's accepted host keys are kept
    int Port = 0;            // 0: ssh's own choice
    int Timeout = 25;        // seconds
    int TransferMode = 0;    // 1 ASCII, 0 binary
    bool Resume = false;     // continue an interrupted transfer
    int BufferSize = 0;      // bytes; 0 lets the component choose
    int ProxyType = 0;       // 0 none, 1 HTTP CONNECT, 2 SOCKS 4, 3 SOCKS 4A, 4 SOCKS 5
    int ProxyPort = 0;
    // The last ListDir's entries with a time: name -> modification time (seconds, UTC). The
    // listing's text shows only minutes, or only the day for old files.
    QHash<QString, quint32> ListedTimes;

    // Events.
    std::function<void(int code, const QString& text)> OnConnected;
    std::function<void(const QString& fingerprint, bool& accept)> OnHostFingerprint;
    // ssh's questions during Connect that the password does not answer (host keys,
    // passphrases); nothing refuses them.
    SshPromptAnswer OnPrompt;
    std::function<void(int code, const QString& text)> OnDone;
    std::function<void(const QString& fileInfo)> OnListItems;
    std::function<void(qint64 position, qint64 total)> OnProgress;
    std::function<void(qint64 size, quint32 uid, quint32 gid, quint32 permissions,
                       quint32 accessTime, quint32 modificationTime)>
        OnAttributes;
    std::function<void()> OnDisconnected;

    // Calls; each returns its error code (0 success). The events carry the details.
    int Connect();
    void Disconnect();
    int RealPath(const QString& path);
    int ListDir(const QString& directory);
    int PutFile(const QString& localPath, const QString& remotePath);
    int GetFile(const QString& localPath, const QString& remotePath);
    int DeleteFile(const QString& path);
    int RemoveDir(const QString& path);
    int MakeDir(const QString& path);
    // Renames RemotePath to NewPath.
    int Rename(const QString& newPath);
    int GetAttributes(const QString& path);
    // Owner and group -1 leave them; permissions are the mode bits.
    int SetAttr(const QString& path, int owner, int permissions, int group);
    // Sets the access and modification times (seconds since 1970, UTC).
    int SetTimes(const QString& path, qint64 seconds);
    // Ends the running call.
    void Abort();

    // One file of a batch that moves several files at once inside this one session.
    struct BatchFile {
        bool upload = true;
        QString localPath;
        QString remotePath;
        std::optional<quint32> time;  // an upload takes it as it is closed (seconds, UTC)
        bool text = false;            // line ends converted where the two sides differ
    };
    // Moves Files whole (no resume), up to InFlight of them at a time: their
    // round trips overlap, which is what a batch of small files over a long link waits on.
    // Ended(index, code, text) comes as each file ends, in the order they end; Progress(bytes)
    // counts what moved so far. Stops starting files once one is aborted or the connection is
    // gone; returns the indices never started.
    std::vector<int> TransferMany(
        const std::vector<BatchFile>& files, int inFlight,
        const std::function<void(int index, int code, const QString& text)>& ended,
        const std::function<void(qint64 bytes)>& progress);

    bool Connected() const { return m_connection.IsConnected(); }
    // True while Connect runs.
    bool Connecting() const { return m_connecting; }
    QString Fingerprint() const { return m_connection.HostFingerprint(); }

private:
    // Starts a request and waits for its done; returns its code.
    int Run(const std::function<quint32()>& start);
    void Finished(quint32 id, int code, const QString& text);

    SftpConnection m_connection;
    quint32 m_running = 0;
    // While a batch runs: takes the end of one of its files (false for another call's).
    std::function<bool(quint32 id, int code, const QString& text)> m_batchEnded;
    int m_code = 0;
    bool m_finished = false;
    bool m_connecting = false;
    bool m_connectEnded = false;
    QPointer<QEventLoop> m_loop;
};
