#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "ftp/tcp_connector.h"

// An SFTP (version 3) session over SSH, event-driven on the thread's event loop: nothing here
// blocks or spins. The SSH transport (key exchange, encryption, login, proxies) is the system's
// ssh client run as a child process (ssh_transport.h); the SFTP protocol itself is ours, with
// many requests in flight, so transfers are bounded by the network and not by round trips.
//
// Every request returns an id at once; its outcome arrives as one done(id, ...) signal, after
// any data signals of its own (realPath, listed, attributes, progress). Code 0 is success;
// other codes are the SFTP status codes (1 end of file ... 8 operation unsupported) or the
// transport codes below. Text is a message for the person.

// Attributes as SFTP version 3 carries them; absent fields are empty.
struct SftpAttributes {
    std::optional<quint64> size;
    std::optional<quint32> uid;
    std::optional<quint32> gid;
    std::optional<quint32> permissions;  // full st_mode (file type bits included)
    std::optional<quint32> accessTime;
    std::optional<quint32> modificationTime;
};

// One READDIR entry.
struct SftpNameEntry {
    QString filename;
    QString longname;  // the server's "ls -l" style line (may be empty)
    SftpAttributes attributes;
};

// A question ssh asks while it logs in, passed on to whoever answers for the site.
struct SshPrompt {
    enum class Kind { HostKey, Password, Passphrase, Other };
    Kind kind = Kind::Other;
    QString text;         // ssh's own words
    QString fingerprint;  // HostKey: "SHA256:..." as ssh printed it
    QString keyFile;      // Passphrase: the key's path
};
// The answer to a prompt, or nothing to refuse it.
using SshPromptAnswer = std::function<std::optional<QString>(const SshPrompt&)>;

// How to reach the server. The system's ssh carries the session, so whatever the user's own
// ssh configuration says (keys, agent, Host aliases) applies beneath these.
struct SftpConnectOptions {
    QString host;
    quint16 port = 0;    // 0: ssh's own choice (22, or the user's configuration)
    QString user;        // empty: ssh's own choice
    QString password;    // answers password and keyboard-interactive prompts
    QString keyFile;     // the only key offered when set
    QString configFile;  // an ssh configuration read instead of ~/.ssh/config, when set
    // Where host keys accepted for this site are kept; the user's own known_hosts is trusted
    // beside it. Empty: a file of this connection only, so nothing is trusted beforehand.
    QString knownHostsFile;
    bool compression = false;
    std::optional<SocksSettings> socks;  // through a SOCKS 4/4A/5 or HTTP CONNECT proxy
    int timeoutSeconds = 25;             // connect and any request without progress
    // Host keys, passphrases and other questions; without it they are refused.
    SshPromptAnswer answer;
};

class SftpConnection : public QObject {
    Q_OBJECT
public:
    // Transport and login failures, beside the SFTP status codes.
    static constexpr int kPasswordRefused = 30015;  // the server refused the user or password
    static constexpr int kConnectFailed = 30001;    // TCP or proxy connection failed
    static constexpr int kHandshakeFailed = 30002;  // SSH handshake failed, or no SFTP subsystem
    static constexpr int kConnectionLost = 30003;   // the connection dropped
    static constexpr int kTimedOut = 30004;         // no progress within the time-out
    static constexpr int kAborted = 30005;          // Abort() ended the request
    static constexpr int kLocalFileError = 30006;   // a local file could not be read or written
    static constexpr int kProtocolError = 30007;    // the server broke the protocol
    static constexpr int kHostKeyRefused = 30008;   // the host key was not accepted
    static constexpr int kHostKeyChanged = 30009;   // the host key differs from the known one

    explicit SftpConnection(QObject* parent = nullptr);
    ~SftpConnection() override;

    // Connects, logs in, starts the "sftp" subsystem; host keys are judged through the
    // options' answer (and hostKey reports the key as soon as it is known). Ends with
    // connected(code, text). kHostKeyChanged carries the new key's fingerprint in the text.
    void Connect(const SftpConnectOptions& options);
    // Ends the session at once; pending requests end with kAborted; disconnected() follows.
    void Disconnect();
    bool IsConnected() const;
    // The host key as OpenSSH prints it: "SHA256:" + unpadded base64 of its SHA-256.
    QString HostFingerprint() const;

    // Requests (see above). Paths are UTF-8 on the wire.
    quint32 RealPath(const QString& path);  // realPath(id, absolute), then done
    quint32 ListDir(const QString& path);   // listed(id, entries) one or more times, then done
    quint32 Stat(const QString& path);      // attributes(id, attrs), then done (follows links)
    quint32 SetStat(const QString& path, const SftpAttributes& attributes);
    quint32 Remove(const QString& path);
    quint32 RemoveDir(const QString& path);
    quint32 MakeDir(const QString& path);
    quint32 Rename(const QString& from, const QString& to);
    // Transfers, pipelined; progress(id, position, total) as data moves. Resume: a download
    // appends from the local file's size, an upload continues from the remote size. Text mode
    // converts line ends (LF here, CR LF never inserted twice) where local and remote differ;
    // binary never changes a byte. A download never truncates an existing local file before
    // data arrives, and a failed one keeps what arrived.
    quint32 Download(const QString& remote, const QString& local, bool resume, bool textMode);
    // With a time, the uploaded file takes it as it is closed (no round trip of its own).
    quint32 Upload(const QString& local, const QString& remote, bool resume, bool textMode,
                   std::optional<quint32> modificationTime = std::nullopt);
    // Ends every running request with kAborted; the session stays usable when it can.
    void Abort();

signals:
    void hostKey(const QString& fingerprint);
    void connected(int code, const QString& text);
    void disconnected(const QString& reason);
    void realPath(quint32 id, const QString& path);
    void listed(quint32 id, const QList<SftpNameEntry>& entries);
    void attributes(quint32 id, const SftpAttributes& attributes);
    void progress(quint32 id, qint64 position, qint64 total);
    void done(quint32 id, int code, const QString& text);

private:
    class Private;
    std::unique_ptr<Private> d;
};

// A listing line in the Unix long form that the listing parser reads, from one entry:
// permissions, links, owner, group, size, "Mon DD HH:MM" (or "Mon DD  YYYY" for dates more than
// six months from Now), name. Control characters in the name are shown as "?".
QString SftpListingLine(const SftpNameEntry& entry, qint64 nowSecondsSinceEpoch);
