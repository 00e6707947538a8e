#pragma once

#include <QString>
#include <QStringList>

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
    int timeoutSeconds = 25;
    QString initialDir;
    // FTP: list with MLSD when the server offers machine listings.
    bool machineListings = true;
};

// The difference between an FTP and an SFTP session, behind one interface: login and logout,
// the server's working directory, fetching a listing, aborting. The session object owns one
// implementation per kind and asks the one the site uses; callers never test the kind for
// these operations.
class RemoteSession {
public:
    virtual ~RemoteSession() = default;

    virtual bool IsSftp() const = 0;
    // The engine's or component's own view of the connection.
    virtual bool Connected() const = 0;

    // The connection proper: connects, logs in and finds the home directory, which it stores as
    // the session's current and home directory. True when logged in.
    virtual bool Login(const LoginTarget& target) = 0;
    // Called once the login has ended, whatever its result: the password is forgotten.
    virtual void AfterLogin() = 0;
    // Ends the session (QUIT, disconnect); nothing when none is open.
    virtual void Logout() = 0;

    // Changes the server's working directory to Target (a full path, z/OS quotes as needed) and
    // makes the resulting directory the session's current directory. False when the change
    // failed (the current directory is then the last one the server confirmed).
    virtual bool ChangeDirectory(const QString& target) = 0;
    // Lists the current directory into Lines. False when the listing failed.
    virtual bool FetchListing(QStringList& lines) = 0;
    // True when the last listing fetched is a machine listing (facts, not a text form).
    virtual bool MachineListing() const { return false; }

    // The abort button during a wait.
    virtual void AbortClick() = 0;
    // Before a remote operation: a session that keeps no connection state of its own checks
    // that the server is still there (a dead one reports itself closed).
    virtual void Probe() {}
    // After the first listing of a login.
    virtual void AfterFirstScan() {}
};
