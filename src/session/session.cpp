#include "session/session.h"

#include <QDate>

#include "config/scrambling.h"
#include "config/words.h"
#include "ftp/ftp_tls.h"
#include "listing/listing_parser.h"
#include "listing/zos_names.h"
#include "platform/platform.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "session/ftp_session.h"
#include "session/remote_listing_view.h"
#include "session/sftp_session.h"

namespace {

QString Unscramble(const QString& scrambled) {
    return QString::fromUtf8(scrambling::ComplexDecrypt(scrambled.toLatin1()));
}

}  // namespace

std::pair<QString, QString> HostAndPortFromDomain(const QString& domain) {
    const qsizetype colon = domain.indexOf(':');
    if (colon < 0) {
        return {domain, QStringLiteral("?")};
    }
    if (colon == 0) {
        return {QString(), domain.mid(1).trimmed()};
    }
    if (colon == domain.size() - 1) {
        return {domain.left(colon).trimmed(), QStringLiteral("?")};
    }
    return {domain.left(colon).trimmed(), domain.mid(colon + 1).trimmed()};
}

QString NormalisedRemoteDir(bool zosMode, const QString& dir) {
    QString d = NoMVSQuotes(zosMode, dir.trimmed());
    const QChar sep = zosMode ? '.' : '/';
    while (d.size() > 1 && d.endsWith(sep)) {
        d.chop(1);
    }
    return d;
}

Session::Session(SettingsStore& store, RunState& run, UserInterface& ui)
    : m_store(store),
      m_run(run),
      m_ui(ui),
      m_ftp(std::make_unique<FtpSession>(*this, ui)),
      m_sftp(std::make_unique<SftpSession>(*this, store.settings, run, ui)) {}

Session::~Session() = default;

const CancelToken& Session::Cancel() const {
    return m_run.cancel;
}

RemoteSession* Session::Remote() {
    if (m_replacement) {
        return m_replacement;
    }
    if (sftpSession) {
        return m_sftp.get();
    }
    return m_ftp.get();
}

// ---- What every remote session shares --------------------------------------------------------

void LogWorkingDirectory(UserInterface& ui, const QString& dir) {
    ui.LogText("\"" + dir + "\" is working directory on server.");
}

QString RemoteErrorKindName(RemoteErrorKind kind) {
    switch (kind) {
        case RemoteErrorKind::None:
            return "none";
        case RemoteErrorKind::LoginRefused:
            return "login refused";
        case RemoteErrorKind::NotFound:
            return "not found";
        case RemoteErrorKind::PermissionDenied:
            return "permission denied";
        case RemoteErrorKind::Refused:
            return "refused";
        case RemoteErrorKind::NotSupported:
            return "not supported";
        case RemoteErrorKind::ConnectionLost:
            return "connection lost";
        case RemoteErrorKind::TimedOut:
            return "timed out";
        case RemoteErrorKind::Aborted:
            return "aborted";
        case RemoteErrorKind::LocalFile:
            return "local file";
        case RemoteErrorKind::Other:
            break;
    }
    return "other";
}

// ---- State, light and button ----------------------------------------------------------------

QString ConnectionStateName(ConnectionState state) {
    switch (state) {
        case ConnectionState::NotConnected:
            return "not connected";
        case ConnectionState::Connected:
            return "connected";
        case ConnectionState::Lost:
            return "lost";
        case ConnectionState::Disconnected:
            return "disconnected";
    }
    return "?";
}

ConnectionLight LightOf(ConnectionState state) {
    switch (state) {
        case ConnectionState::Connected:
            return ConnectionLight::Green;
        case ConnectionState::Lost:
            return ConnectionLight::Amber;
        case ConnectionState::NotConnected:
        case ConnectionState::Disconnected:
            break;
    }
    return ConnectionLight::Red;
}

QString ConnectCaptionOf(ConnectionState state) {
    switch (state) {
        case ConnectionState::NotConnected:
            return "Connect";
        case ConnectionState::Disconnected:
            return "Reconnect";
        case ConnectionState::Connected:
        case ConnectionState::Lost:
            break;
    }
    return "Disconnect";
}

void Session::SetState(ConnectionState state) {
    if (state != m_state) {
        m_ui.Trace("Connection: " + ConnectionStateName(m_state) + " -> " +
                   ConnectionStateName(state));
    }
    m_state = state;
    m_ui.SetConnectionLight(LightOf(state));
    m_ui.ShowConnectCaption(ConnectCaptionOf(state));
    if (stateChanged) {
        stateChanged(state);
    }
}

bool Session::Autoreconnect() const {
    return m_store.settings.site.autoReconnect;
}

bool Session::Zos() const {
    return m_store.settings.zosMode;
}

bool Session::RedLightDisconnectedState() const {
    return LightOf(m_state) == ConnectionLight::Red;
}

void Session::ShowAbortButton(const QString& caption) {
    m_run.cancel.Clear();
    m_abortCaption = caption;
    m_ui.ShowAbortButton(caption);
    m_ui.ProcessMessages();
}

void Session::HideAbortButton() {
    m_run.cancel.Clear();
    m_abortCaption.clear();
    m_ui.HideAbortButton();
    m_ui.ProcessMessages();
}

bool Session::NoteCallResult(int code) {
    if (code != 0) {
        AppendRequestError(code);
    }
    return code == 0;
}

bool Session::RequestFailedWith(int code) const {
    for (const QStringView word : QStringView(requestErrorList).split(u' ', Qt::SkipEmptyParts)) {
        if (word.toInt() == code) {
            return true;
        }
    }
    return false;
}

void Session::AppendRequestError(int code) {
    if (requestErrorList.size() < 1000) {
        requestErrorList += " " + QString::number(code);
    }
}

// ---- Commands ---------------------------------------------------------------------------------

void Session::ConnectButtonClickActions() {
    m_ui.SetResumeTicked(false);
    const ConnectionState before = m_state;
    m_ui.DisableGridsEtc();
    if (RedLightDisconnectedState()) {
        RequestConnect();
    } else {
        RequestDisconnect();
        if (before == ConnectionState::Lost) {
            SetState(ConnectionState::Disconnected);
            m_ui.LogText("Automatic reconnect now inactive");
        } else if (before == ConnectionState::Connected) {
            ShowDisconnected(m_store.settings.site.autoReconnect, "Automatic reconnect now active");
        }
    }
    m_ui.EnableGridsEtc();
}

void Session::AskPasswordAgain() {
    const SiteProfile& site = m_store.settings.site;
    m_store.AskForPassword(
        "Please supply password for user " + site.userid + " at remote site " + site.siteName,
        site.domain);
}

void Session::RequestConnect() {
    m_ui.SiteSettingsChanged();
    // A start-up script logs in run by run and reports its own failures: no password question
    // follows it (an unanswered one would forget the saved password).
    const bool script = !m_run.startupScript.isEmpty();
    LoginProcess();
    if (script) {
        return;
    }
    if (loginRefused) {
        AskPasswordAgain();
        if (m_store.settings.site.sessionPassword != kNoPasswordMark) {
            LoginProcess();
        }
    }
    if (!Connected() && (RequestFailedWith(530) || !Remote()->TellsRefusedPassword())) {
        AskPasswordAgain();
        if (m_store.settings.site.sessionPassword != kNoPasswordMark) {
            LoginProcess();
        }
    }
}

void Session::LoginProcess() {
    m_ui.SetResumeTicked(false);
    m_pane->SetDateOrderAndToday(platform::ShortDateFormat(), QDate::currentDate());
    if (refreshLocal) {
        refreshLocal();
    }
    if (loginInProgress || skipLogin) {
        skipLogin = false;
        return;
    }
    m_run.cancel.Clear();
    m_pane->ClearCounts();
    loginInProgress = true;
    SiteProfile& site = m_store.settings.site;
    if (!Connected()) {
        if (!m_run.startupScript.isEmpty() && runStartupScript) {
            m_ui.EnableGridsEtc();
            runStartupScript();
        } else {
            const QString initial = site.infRemDirs.value(0, "?");
            ConnectAndSetDirNoDirInfo(initial);
            const bool zosNow = m_store.settings.zosMode;
            // Only a login that succeeded can have failed to reach the first directory.
            if (Connected() && initial != "?" &&
                NormalisedRemoteDir(zosNow, initial) !=
                    NormalisedRemoteDir(zosNow, currentRemoteDir)) {
                m_ui.LogText("Problem changing to recorded initial remote directory");
                m_ui.LogText("Initial remote directory will now be " + currentRemoteDir);
                m_pane->AddRemDirToCmbx(currentRemoteDir, true);
            }
            m_pane->AddRemDirToCmbx(homeDir, false);
            if (currentRemoteDir != "unknown" && currentRemoteDir != homeDir) {
                m_pane->AddRemDirToCmbx(currentRemoteDir, false);
            }
            if (Connected()) {
                // The first scan has just listed this directory: take it from the cache
                // rather than listing it a second time.
                m_pane->RefreshFromCache();
            }
        }
        m_run.startupScript.clear();
    }
    loginInProgress = false;
    timedOut = false;
    skipLogin = false;
}

LoginTarget Session::ExtraConnectionTarget() const {
    return TargetFor(currentRemoteDir,
                     lastWorkingPassword.isEmpty() ? QString() : Unscramble(lastWorkingPassword));
}

LoginTarget Session::TargetFor(const QString& initialDir, const QString& password) const {
    const SiteProfile& site = m_store.settings.site;
    LoginTarget t;
    t.password = password;
    t.user = site.userid;
    t.initialDir = initialDir;
    t.proxyPassword =
        site.proxyPassword == kNoProxyPasswordMark ? QString() : Unscramble(site.proxyPassword);
    const qsizetype colon = site.proxySocksServer.indexOf(':');
    t.proxyHost = colon < 0 ? site.proxySocksServer : site.proxySocksServer.left(colon);
    t.proxyPort = colon < 0 ? QString() : site.proxySocksServer.mid(colon + 1);
    t.proxyUser = site.proxySocksUser.trimmed();
    std::tie(t.host, t.port) = HostAndPortFromDomain(site.domain);
    t.connectionIndex = site.connectionIndex;
    t.passive = site.passiveMode;
    t.ftpTls = site.ftpTls;
    t.tlsFingerprint = site.tlsFingerprint;
    t.keyFile = site.keyFile;
    t.timeoutSeconds = site.RequestTimeout();
    t.machineListings = site.machineListings;
    return t;
}

void Session::ConnectAndSetDirNoDirInfo(const QString& initialDir) {
    m_ui.SetStatusPanel(StatusPanel::CallType, QString());
    m_ui.SetStatusPanel(StatusPanel::CallState, QString());
    loginRefused = false;
    SiteProfile& site = m_store.settings.site;
    const bool ssh = site.ssh || m_store.settings.sshMode;
    QString password;
    // Over SSH a key, the agent or the user's ssh configuration may log in: the password is
    // asked for only when the server has refused the login without one.
    if (site.sessionPassword == kNoPasswordMark && !ssh) {
        AskPasswordAgain();
    }
    if (site.sessionPassword != kNoPasswordMark) {
        password = Unscramble(site.sessionPassword);
    }
    if (password.isEmpty() && !ssh) {
        m_ui.LogText("Login not attempted - password not supplied");
        SetState(ConnectionState::Disconnected);
        return;
    }
    LoginTarget target = TargetFor(initialDir, password);
    m_ui.StatusBarGeneral("About to log in");
    sftpSession = ssh;
    RemoteSession* remote = Remote();
    remote->Login(target);
    target.password.fill(QChar(' '));
    password.fill(QChar(' '));

    bool& zos = m_store.settings.zosMode;
    if (Connected()) {
        lastWorkingPassword = site.sessionPassword;
        if (homeDir == "?") {
            homeDir = site.infRemDirs.value(0, "?");
            currentRemoteDir = homeDir;
            m_ui.LogText("Failure determining home directory, assuming " + homeDir);
        }
        if (site.mvs == "?" && currentRemoteDir.size() > 1 && currentRemoteDir.startsWith('\'') &&
            currentRemoteDir.endsWith('\'') &&
            LegalMVSFormat(NoMVSQuotes(true, currentRemoteDir))) {
            zos = true;
            m_pane->SetZosMode();
        }
        if (!reconnecting && !firstScanDone && !homeDir.isEmpty() && homeDir != "?" &&
            homeDir != "unknown") {
            m_pane->PopulateRemoteArrays();
            remote->AfterFirstScan();
            firstScanDone = true;
        }
        const QString initial = initialDir.trimmed();
        if (initial != "?" && !initial.isEmpty() &&
            NormalisedRemoteDir(zos, initial) != NormalisedRemoteDir(zos, currentRemoteDir)) {
            nextDir = QuotedNameIfMVS(zos, initial);
            m_pane->ChangeToNextDirFromCache();
        }
        if (zos) {
            currentRemoteDir = NoMVSQuotes(true, currentRemoteDir);
        }
    }
    remote->AfterLogin();
    if (Connected()) {
        m_ui.StatusBarGeneral(" Logged in to " + site.siteName + ", " +
                              GroupThousands(m_pane->FileCount()) + " remote files, " +
                              GroupThousands(m_pane->TotalBytes()) +
                              " bytes in current directory.");
    } else {
        m_ui.StatusBarGeneral(" Problem logging in to " + site.siteName);
    }
}

void Session::RequestDisconnect() {
    m_ui.StatusBarGeneral(QString());
    Remote()->Logout();
}

bool Session::TrustCertificate(const CertificateProblem& problem, const QString& host) {
    // Nobody may be there to judge a certificate during a script (it may run on a schedule,
    // or with no window at all): an unverified one is never accepted then.
    if (m_run.unattended || m_run.scriptRunning) {
        m_ui.LogText(CertificateRefusedLine(problem));
        return false;
    }
    if (m_ui.ColorMsgDlg(CertificateQuestion(problem, host), MsgDlgType::Warning,
                         MsgDlgBtn::Yes | MsgDlgBtn::No) != ModalResult::Yes) {
        m_ui.LogText("TLS certificate not trusted - login abandoned");
        return false;
    }
    m_store.settings.site.tlsFingerprint = problem.fingerprint;
    m_ui.LogText("TLS certificate trusted for this site: " + problem.fingerprint);
    return true;
}

void Session::SessionClosed() {
    // A session the person aborted, or the program gave up on, stays red.
    ShowDisconnected(m_store.settings.site.autoReconnect && !m_run.cancel.Requested() && !timedOut,
                     "Reconnection is automatic when file transfer operations are carried out.");
    HideAbortButton();
}

void Session::ShowDisconnected(bool reconnects, const QString& reconnectLine) {
    SetState(reconnects ? ConnectionState::Lost : ConnectionState::Disconnected);
    m_ui.LogText("Disconnected");
    if (reconnects) {
        m_ui.LogText(reconnectLine);
    }
}

bool Session::CheckConnection() {
    const QString remembered = currentRemoteDir;
    RemoteSession* remote = Remote();
    if (Connected()) {
        remote->Probe();
    }
    const bool engineUp = remote->Connected();
    if (!Connected() || !engineUp) {
        reconnecting = true;
        if (RedLightDisconnectedState() || !m_store.settings.site.autoReconnect) {
            m_ui.LogText("Connection has been lost and auto-reconnect not available.");
        } else {
            currentRemoteDir = remembered;
            if (m_state == ConnectionState::Connected) {
                m_ui.LogText("Attempting re-login since we appear to be disconnected");
            }
            ConnectAndSetDirNoDirInfo(remembered);
            const bool zos = m_store.settings.zosMode;
            if (NormalisedRemoteDir(zos, remembered) !=
                NormalisedRemoteDir(zos, currentRemoteDir)) {
                m_ui.LogText("Unexpected behaviour reconnecting:");
                m_ui.LogText("  Remote dir before reconnect: " + remembered);
                m_ui.LogText("  Remote dir after reconnect: " + currentRemoteDir);
            }
        }
        reconnecting = false;
    }
    return Connected();
}

void Session::NotifyUserConnectionLost() {
    m_ui.ShowColorMsg("Connection lost - abandoning file transfers");
    m_run.batchTransferRunning = false;
    m_ui.EnableGridsEtc();
}

void Session::Connect1Click() {
    if (RedLightDisconnectedState() || m_state == ConnectionState::Lost) {
        RequestConnect();
    }
}

void Session::Disconnect1Click() {
    if (!RedLightDisconnectedState()) {
        ConnectButtonClickActions();
    }
}

void Session::Disconnect2Click() {
    ConnectButtonClickActions();
}

void Session::AbortClick() {
    if (abortInProgress) {
        return;
    }
    abortInProgress = true;
    if (m_run.logRetrievalShown && !m_run.logRetrievalCancel) {
        m_run.logRetrievalCancel = true;
        m_ui.StatusBarGeneral(" Log retrieval cancellation request acknowledged.");
        m_ui.ProcessMessages();
        abortInProgress = false;
        return;
    }
    if (m_run.scriptRunning) {
        if (stopScript) {
            stopScript();
        }
        if (m_abortCaption == kEndScriptCaption) {
            // A waiting script: nothing is in flight, so the session stays as it is.
            m_ui.LogText("End of script requested");
            abortInProgress = false;
            return;
        }
    }
    m_ui.StatusBarGeneral(" Abort request acknowledged.");
    m_ui.LogText("Abort request acknowledged.");
    m_run.cancel.Request();
    m_ui.ProcessMessages();
    Remote()->AbortClick();
    m_ui.ProcessMessages();
    abortInProgress = false;
}
