#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "runtime/cancel_token.h"
#include "runtime/user_interface.h"
#include "session/remote_session.h"

class FtpSession;
struct CertificateProblem;
class RemoteListingView;
class SftpSession;
class SettingsStore;
struct RunState;

// The remote session as the program sees it: which kind the site uses, the connection light and
// the connect button, login and logout, automatic reconnection, and the state every remote
// operation reads (the request error list, the abort flag, the current and home directories).
// The kind-specific work goes through RemoteSession; FtpSession is the FTP one.
// The abort button's caption while a script waits between runs.
inline const QString kEndScriptCaption = QStringLiteral("End script");

// Where the session stands; the light and the connect button show it.
enum class ConnectionState {
    NotConnected,  // no login yet this run: red, "Connect"
    Connected,     // green, "Disconnect"
    Lost,          // amber, "Disconnect": the next remote operation logs in again by itself
    Disconnected,  // red, "Reconnect"
};
QString ConnectionStateName(ConnectionState state);
ConnectionLight LightOf(ConnectionState state);
// The connect button's caption in that state.
QString ConnectCaptionOf(ConnectionState state);

class Session {
public:
    Session(SettingsStore& store, RunState& run, UserInterface& ui);
    ~Session();

    // Wiring done once by AppCore: the remote listing that logins fill.
    void SetRemotePane(RemoteListingView* pane) { m_pane = pane; }
    RemoteListingView& Pane() { return *m_pane; }

    // Wired by AppCore: what a login does beside the session. The local listing is refreshed
    // before each login, a start-up script runs in place of the first directory, and the abort
    // button stops a running script.
    std::function<void()> refreshLocal;
    std::function<void()> runStartupScript;
    std::function<void()> stopScript;

    FtpSession& Ftp() { return *m_ftp; }
    SftpSession& Sftp() { return *m_sftp; }
    // The implementation of the site's kind.
    RemoteSession* Remote();
    // The Cancel button, for the engines' waits.
    const CancelToken& Cancel() const;
    // Puts another implementation in place of both (an in-memory one in unit tests); null
    // returns to the site's kind.
    void ReplaceRemote(RemoteSession* remote) { m_replacement = remote; }

    // ---- Connection state, light and button ----
    ConnectionState State() const { return m_state; }
    // The one place the state changes: traced, shown by the light and the button, and told to
    // stateChanged.
    void SetState(ConnectionState state);
    bool Connected() const { return m_state == ConnectionState::Connected; }
    // Red: not connected, and not reconnecting by itself.
    bool RedLightDisconnectedState() const;
    std::function<void(ConnectionState)> stateChanged;

    // ---- Commands ----
    void ConnectButtonClickActions();
    void RequestConnect();
    void LoginProcess();
    void ConnectAndSetDirNoDirInfo(const QString& initialDir);
    void RequestDisconnect();
    // The engine's or component's report that the session ended.
    void SessionClosed();
    // The test every remote operation makes first; re-logs in when allowed.
    bool CheckConnection();
    // A server certificate that did not verify: asks the person whether to trust it (never
    // during a script) and stores its fingerprint with the site on Yes.
    bool TrustCertificate(const CertificateProblem& problem, const QString& host);
    void NotifyUserConnectionLost();
    // File > Connect / the pop-up Connect (same rule), File > Disconnect, pop-up Disconnect.
    void Connect1Click();
    void Connect2Click() { Connect1Click(); }
    void Disconnect1Click();
    void Disconnect2Click();
    // The abort button (btnAbortTransferClick).
    void AbortClick();

    // Show and hide the abort button; both clear the abort flag.
    void ShowAbortButton(const QString& caption);
    void HideAbortButton();
    // Adds " " + Code to the request error list while it is shorter than 1000 characters.
    void AppendRequestError(int code);
    // True when the request error list holds Code (compared as a number, not as text).
    bool RequestFailedWith(int code) const;
    // An SFTP call's result: a failure goes into the request error list, as FTP failures do.
    // True on success.
    bool NoteCallResult(int code);

    bool Autoreconnect() const;
    bool Zos() const;
    // Where the engine writes DIR output (this run's listing temp file).
    QString listingTempFile;

    // ---- State other subjects read ----
    bool sftpSession = false;
    bool sftpConnected = false;
    bool sftpConnecting = false;
    QString currentRemoteDir = "?";
    QString homeDir;
    QString nextDir;
    QString lastQuotedDir;
    bool reconnecting = false;
    bool firstScanDone = false;
    bool loginRefused = false;
    bool loginInProgress = false;
    bool skipLogin = false;
    bool timedOut = false;
    bool abortInProgress = false;
    QString requestErrorList;
    bool lastRequestFailed = false;
    int lastErrorCode = 0;
    // The last DIR output, loaded by the dispatcher.
    QStringList remoteListingLines;
    bool listingLoaded = false;
    // Set once any listing arrived this run (the Exit button keeps it).
    bool listingReceived = false;
    // The scrambled password of the last login that worked.
    QString lastWorkingPassword;
    // What another connection to the logged-in site needs, the password of the last login
    // that worked included (the caller clears it once used).
    LoginTarget ExtraConnectionTarget() const;

    // Amber with ReconnectLine logged after "Disconnected" when the session reconnects by
    // itself, else red.
    void ShowDisconnected(bool reconnects, const QString& reconnectLine);

private:
    void AskPasswordAgain();
    LoginTarget TargetFor(const QString& initialDir, const QString& password) const;

    SettingsStore& m_store;
    RunState& m_run;
    UserInterface& m_ui;
    std::unique_ptr<FtpSession> m_ftp;
    std::unique_ptr<SftpSession> m_sftp;
    RemoteSession* m_replacement = nullptr;
    RemoteListingView* m_pane = nullptr;
    ConnectionState m_state = ConnectionState::NotConnected;
    QString m_abortCaption;  // the abort button's caption while it shows
};

// Host and port from a Domain text: no ":" gives port "?"; ":" first gives an empty host; ":"
// last gives the trimmed text before it; otherwise the trimmed texts before and after it.
std::pair<QString, QString> HostAndPortFromDomain(const QString& domain);
// A directory for comparisons: trailing separator ("/" or "." on z/OS) and z/OS quotes removed.
QString NormalisedRemoteDir(bool zosMode, const QString& dir);
