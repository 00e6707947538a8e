#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

// What one login needs, worked out from the site profile (host and port from Domain, the proxy
// or SOCKS server from ProxySocksServer, the password descrambled for this login only).
struct LoginTarget {
    QString host;
    QString port;  // "?" when Domain names none
    QString user;
    QString password;
    QString proxyHost;
    QString proxyPort;
    QString proxyUser;
    QString proxyPassword;
    int connectionIndex = 0;
    bool passive = true;
    int ftpTls = 0;  // the site's FtpTls choice
    QString tlsFingerprint;
    QString keyFile;  // SSH: the only key offered, when set
    int timeoutSeconds = 25;
    QString initialDir;
    // FTP: list with MLSD when the server offers machine listings.
    bool machineListings = true;
};

// Why a remote request failed, whatever the protocol. Each engine maps its own codes to these
// in one function (FtpErrorKind, SftpErrorKind).
enum class RemoteErrorKind {
    None,              // it worked
    LoginRefused,      // user or password refused
    NotFound,          // no such file or directory
    PermissionDenied,  // the server said no access
    Refused,           // the server refused the action without saying more (FTP 450/550/553)
    NotSupported,      // the server does not know the command
    ConnectionLost,    // the connection failed or dropped
    TimedOut,
    Aborted,    // the abort button, or the program ending
    LocalFile,  // a local file could not be read or written
    Other,
};
QString RemoteErrorKindName(RemoteErrorKind kind);

class UserInterface;
// The log line that names the server's working directory after a change.
void LogWorkingDirectory(UserInterface& ui, const QString& dir);

// What became of one request: its kind of failure (None on success), and the server's code and
// text as the engine reported them.
struct RemoteResult {
    RemoteErrorKind kind = RemoteErrorKind::None;
    int code = 0;
    QString text;
    bool Ok() const { return kind == RemoteErrorKind::None; }
};

// One file to move.
struct FileTransfer {
    // The remote file: a name in RemoteDir; with RemoteDir empty, a path or a name in the
    // current directory.
    QString remoteDir;
    QString remoteName;
    QString localPath;
    // Continue an interrupted transfer. Where the engine is told the restart point (see
    // TransferRules), a put restarts at ResumeAt and a get at the local copy's size.
    bool resume = false;
    qint64 resumeAt = 0;
    // Bytes moved so far, called as they move; Total where the engine knows it (else 0).
    std::function<void(qint64 done, qint64 total)> progress;
};

// Where the rules of moving a file differ by protocol.
struct TransferRules {
    // The program confirms a resume, checks that the remote file has not changed, tells the
    // engine the restart point and tries a failed transfer twice more while the connection
    // lives (FTP). Otherwise the engine resumes by the sizes it finds and a failure is reported
    // at once (SFTP).
    bool programResumes = true;
    // New z/OS datasets are allocated with SITE commands before an upload.
    bool allocatesDatasets = true;
};

// The difference between an FTP and an SFTP session, behind one interface: login and logout,
// the server's working directory, fetching a listing, moving and changing files, aborting. The
// session object owns one implementation per kind and asks the one the site uses; callers never
// test the kind for these operations.
class RemoteSession {
public:
    virtual ~RemoteSession() = default;

    virtual bool IsSftp() const = 0;
    // The engine's or component's own view of the connection.
    virtual bool Connected() const = 0;

    // The connection proper: connects, logs in and finds the home directory, which it stores as
    // the session's current and home directory. True when logged in.
    virtual bool Login(const LoginTarget& target) = 0;
    // False where a failed login does not say whether the password was refused: every failed
    // login may then ask for the password again.
    virtual bool TellsRefusedPassword() const { return true; }
    // Called once the login has ended, whatever its result: the password is forgotten.
    virtual void AfterLogin() = 0;
    // Ends the session (QUIT, disconnect); nothing when none is open.
    virtual void Logout() = 0;

    // Changes the server's working directory to Target (a full path, z/OS quotes as needed) and
    // makes the resulting directory the session's current directory. False when the change
    // failed (the current directory is then the last one the server confirmed). Logs the
    // working directory it ends in (LogWorkingDirectory).
    virtual bool ChangeDirectory(const QString& target) = 0;
    // Lists the current directory into Lines, also kept as the session's remoteListingLines
    // (listingLoaded and listingReceived set). False when the listing failed.
    virtual bool FetchListing(QStringList& lines) = 0;
    // True when the last listing fetched is a machine listing (facts, not a text form).
    virtual bool MachineListing() const { return false; }

    // ---- Remote files ----
    // The transfer mode of the next transfers: ASCII (line ends converted) or binary.
    virtual void SetTransferMode(bool ascii) = 0;
    // Deletes the file (or the empty directory) Name in Dir; Path is its full remote path.
    virtual RemoteResult Delete(const QString& dir, const QString& name, const QString& path,
                                bool file) = 0;
    // Renames OldName to NewName, both in Dir.
    virtual RemoteResult Rename(const QString& dir, const QString& oldName,
                                const QString& newName) = 0;
    // Creates the directory Name (in the current directory unless it is a path).
    virtual RemoteResult MakeDirectory(const QString& name) = 0;
    // Sets the permissions of Name in the current directory: Octal as typed ("755"), Mode the
    // same as a number.
    virtual RemoteResult ChangeMode(const QString& name, const QString& octal, int mode) = 0;
    // True while transfers run in ASCII mode (SetTransferMode).
    virtual bool AsciiMode() const = 0;
    // How this protocol's transfers are ruled (see TransferRules).
    virtual TransferRules Rules() const = 0;
    // Moves one file; waits until it has moved, failed or been aborted.
    virtual RemoteResult Get(const FileTransfer& transfer) = 0;
    virtual RemoteResult Put(const FileTransfer& transfer) = 0;
    // The exact modification time (UTC) of a remote file, where the server gives it; invalid
    // otherwise.
    virtual QDateTime ModificationTime(const QString& dir, const QString& name) {
        (void)dir;
        (void)name;
        return {};
    }
    // The exact modification times (UTC) of the last listing's entries by name, where the
    // protocol gives them beside the listing's text.
    virtual QHash<QString, QDateTime> ListedTimes() const { return {}; }
    // Sets the modification time (UTC) of the file Name in Dir, where the protocol allows it
    // (SFTP setstat, FTP MFMT); NotSupported where it does not.
    virtual RemoteResult SetModificationTime(const QString& dir, const QString& name,
                                             const QDateTime& time) {
        (void)dir;
        (void)name;
        (void)time;
        return {RemoteErrorKind::NotSupported, 0, {}};
    }
    // A raw command line for the server (FTP's QUOTE); NotSupported where there is none.
    virtual RemoteResult Command(const QString& line) {
        (void)line;
        return {RemoteErrorKind::NotSupported, 0, {}};
    }
    // Sets the options the next listings are asked with ("-a" shows hidden files on servers
    // that take ls options) and returns the ones before; nothing where listings take none.
    virtual QString ExchangeListOptions(const QString& options) {
        (void)options;
        return {};
    }
    // After a script's login: what the host needs before the script's commands run.
    virtual void AfterScriptLogin() {}

    // The abort button during a wait.
    virtual void AbortClick() = 0;
    // True when a stopping script should abandon the request being waited for (as the abort
    // button would); a request that cannot be abandoned safely finishes first.
    virtual bool AbandonOnStop() const { return false; }
    // Before a remote operation: a session that keeps no connection state of its own checks
    // that the server is still there (a dead one reports itself closed).
    virtual void Probe() {}
    // After the first listing of a login.
    virtual void AfterFirstScan() {}
};
