#include "session/sftp_session.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include "config/scrambling.h"
#include "config/settings.h"
#include "listing/zos_names.h"
#include "platform/platform.h"
#include "runtime/run_state.h"
#include "runtime/user_interface.h"
#include "session/remote_listing_view.h"
#include "session/session.h"
#include "session/sftp_connection.h"
#include "session/sftp_packet.h"

SftpSession::SftpSession(Session& session, Settings& settings, RunState& run, UserInterface& ui)
    : m_session(session), m_settings(settings), m_run(run), m_ui(ui) {
    SFTP1.OnPrompt = [this](const SshPrompt& prompt) { return AnswerPrompt(prompt); };
    SFTP1.OnConnected = [this](int code, const QString& text) {
        m_lastConnectCode = code;
        m_lastConnectText = text;
        m_session.sftpConnected = code == 0;
        if (code != 0) {
            if (code == SftpConnection::kPasswordRefused ||
                text.contains("password", Qt::CaseInsensitive)) {
                m_session.loginRefused = true;
            }
            m_ui.LogText("Connect failed: " + text);
        }
        m_session.HideAbortButton();
    };
    SFTP1.OnHostFingerprint = [this](const QString& fingerprint, bool&) {
        m_fingerprint = fingerprint;
        if (!m_session.sftpConnected) {
            m_ui.LogText("Password has been sent");
        }
        m_ui.LogText("Fingerprint: " + fingerprint);
    };
    SFTP1.OnDone = [this](int code, const QString& text) {
        m_session.HideAbortButton();
        if (code != 0) {
            m_ui.LogText("Error returned, code=" + QString::number(code) + ", text=" + text);
        } else if (!text.trimmed().isEmpty()) {
            m_ui.LogText("Completed with return code 0: " + text);
        }
    };
    SFTP1.OnListItems = [this](const QString& fileInfo) {
        if (replyHolder == "?") {
            replyHolder = fileInfo;
            return;
        }
        // Lines may arrive in pieces: a partial last line waits for the next event.
        QString text = m_partialLine + fileInfo;
        text.remove('\r');
        QStringList lines = text.split('\n');
        m_partialLine = lines.takeLast();
        m_session.remoteListingLines.append(lines);
    };
    SFTP1.OnDisconnected = [this] {
        m_session.sftpConnected = false;
        if (m_session.reconnecting) {
            m_ui.EnableGridsEtc();
        }
        m_session.ShowDisconnected(m_settings.site.autoReconnect && !m_run.cancel.Requested(),
                                   "Automatic reconnect now active");
    };
}

void SftpSession::NoteActivity() {
    lastActivity = platform::TickCount();
}

bool SftpSession::Login(const LoginTarget& t) {
    SftpComponent& c = SFTP1;
    c.BufferSize = 0;
    bool numeric = false;
    const int port = t.port.toInt(&numeric);
    // No port in Domain: ssh's own choice (22, or what the user's configuration says).
    c.Port = numeric ? port : 0;
    c.Hostname = t.host;
    c.Login = t.user;
    c.Password = t.password;
    c.ProxyLogin = t.proxyUser;
    c.ProxyPassword = t.proxyPassword;
    // The proxy kinds of the login dialog: Proxy (HTTP CONNECT), Socks4, Socks4a, Socks5.
    c.ProxyType = t.connectionIndex >= 1 && t.connectionIndex <= 4 ? t.connectionIndex : 0;
    c.ProxyHostname = t.proxyHost;
    const int proxyPort = t.proxyPort.toInt(&numeric);
    c.ProxyPort = numeric ? proxyPort : (c.ProxyType == 1 ? 80 : 1080);
    c.Timeout = t.timeoutSeconds;
    c.KeyFile = t.keyFile;
    c.KnownHostsFile = KnownHostsFile();
    if (m_session.Connected()) {
        m_session.ShowAbortButton("Cancel");
        c.Disconnect();
    }
    const bool zos = m_session.Zos();
    if (zos) {
        m_session.homeDir = t.user.toUpper() + ".";
        m_session.currentRemoteDir =
            !t.initialDir.isEmpty() && t.initialDir != "?" && t.initialDir != m_session.homeDir
                ? NoMVSQuotes(true, t.initialDir)
                : m_session.homeDir;
    }
    m_ui.LogText("Connecting ...");
    m_ui.LogText("Connect issued for " + t.host);
    m_ui.StatusBarGeneral("Connect issued for " + t.host);
    m_ui.LogText("User id sent: " + t.user);
    m_session.ShowAbortButton("Cancel");
    if (!Connect() && m_lastConnectCode == SftpConnection::kHostKeyChanged) {
        // The site's known key file holds another key: the person judges the new one, and
        // trusting it starts the site's trust afresh with it.
        static const QRegularExpression key("SHA256:[A-Za-z0-9+/=]+");
        const QString current = key.match(m_lastConnectText).captured(0);
        m_fingerprint = current;
        m_ui.LogText("Fingerprint: " + current);
        if (!current.isEmpty() && AcceptChangedKey(m_settings.site.fingerprint, current)) {
            QFile::remove(c.KnownHostsFile);
            Connect();
        }
    }
    if (m_session.sftpConnected && !m_keyJudged) {
        CheckFingerprint();
    }
    if (!m_session.sftpConnected) {
        m_session.SetState(ConnectionState::Disconnected);
        return false;
    }
    m_session.SetState(ConnectionState::Connected);
    if (!zos) {
        replyHolder = "?";
        NoteActivity();
        if (c.RealPath(".") == 0 && replyHolder != "?") {
            m_session.currentRemoteDir = replyHolder;
            m_session.homeDir = replyHolder;
            m_session.lastQuotedDir = replyHolder;
        }
        replyHolder.clear();
    }
    return true;
}

bool SftpSession::Connect() {
    m_keyJudged = false;
    m_passphraseGiven = false;
    m_session.sftpConnecting = true;
    NoteActivity();
    SFTP1.Connect();
    m_session.sftpConnecting = false;
    return m_session.sftpConnected;
}

QString SftpSession::KnownHostsFile() const {
    const QString site = m_settings.site.siteName.trimmed();
    if (site.isEmpty()) {
        return {};
    }
    const QString folder = platform::WorkFolder() + "/known_hosts";
    if (!platform::EnsureFolder(folder)) {
        return {};
    }
    return folder + "/" + QString::fromLatin1(QUrl::toPercentEncoding(site));
}

std::optional<QString> SftpSession::AnswerPrompt(const SshPrompt& prompt) {
    SiteProfile& site = m_settings.site;
    switch (prompt.kind) {
        case SshPrompt::Kind::HostKey:
            if (JudgeHostKey(prompt.fingerprint)) {
                return QString("yes");
            }
            return std::nullopt;
        case SshPrompt::Kind::Password:
            // No password is known: the login is refused and the person asked afterwards.
            return std::nullopt;
        case SshPrompt::Kind::Passphrase: {
            if (!site.keyPassphrase.isEmpty() && !m_passphraseGiven) {
                m_passphraseGiven = true;
                return QString::fromUtf8(scrambling::ComplexDecrypt(site.keyPassphrase.toLatin1()));
            }
            if (m_run.unattended) {
                m_ui.LogText("The key " + prompt.keyFile +
                             " needs its passphrase: an unattended run uses only a saved one");
                return std::nullopt;
            }
            PasswordAnswer answer = m_ui.AskPassword(
                "Please supply the passphrase of the key " + prompt.keyFile, site.domain);
            if (!answer.ok) {
                return std::nullopt;
            }
            if (answer.save) {
                site.keyPassphrase =
                    QString::fromLatin1(scrambling::ComplexEncrypt(answer.password.toUtf8()));
            }
            return answer.password;
        }
        case SshPrompt::Kind::Other:
            break;
    }
    if (m_run.unattended) {
        m_ui.LogText("The server asked a question an unattended run cannot answer: " +
                     prompt.text.trimmed());
        return std::nullopt;
    }
    PasswordAnswer answer = m_ui.AskPassword(prompt.text.trimmed(), site.domain);
    return answer.ok ? std::optional<QString>(answer.password) : std::nullopt;
}

bool SftpSession::JudgeHostKey(const QString& fingerprint) {
    m_keyJudged = true;
    m_fingerprint = fingerprint;
    SiteProfile& site = m_settings.site;
    const QString saved = site.fingerprint;
    if (fingerprint.isEmpty()) {
        m_ui.LogText("ssh asked about a host key without naming its fingerprint - refused");
        return false;
    }
    if (saved == fingerprint) {
        m_ui.LogText("Fingerprint matches that from previous login");
        return true;
    }
    if (saved.isEmpty()) {
        if (m_run.unattended) {
            // A key is trusted once with a person there, or from the user's own known_hosts.
            m_ui.LogText("The host key of " + site.domain + " (" + fingerprint +
                         ") is not known yet and an unattended run never trusts a new one: "
                         "log in once from the window");
            return false;
        }
        site.fingerprint = fingerprint;
        return true;
    }
    return AcceptChangedKey(saved, fingerprint);
}

bool SftpSession::AcceptChangedKey(const QString& saved, const QString& current) {
    m_keyJudged = true;
    m_ui.LogText("Previous fingerprint: " + saved);
    m_ui.LogText("Current   fingerprint: " + current);
    m_ui.LogText("Fingerprints do not match");
    if (m_run.unattended) {
        // Nobody is there to judge a changed host key: never accept it without a person.
        m_ui.LogText("A changed host key is never accepted in an unattended run - disconnecting");
        return false;
    }
    if (m_ui.ConfirmYesNo("Fingprint differs from previous login (see log), disconnect now?")) {
        return false;
    }
    m_settings.site.fingerprint = current;
    return true;
}

void SftpSession::CheckFingerprint() {
    SiteProfile& site = m_settings.site;
    const QString saved = site.fingerprint;
    if (saved.isEmpty()) {
        site.fingerprint = m_fingerprint;
        return;
    }
    if (saved == m_fingerprint) {
        m_ui.LogText("Fingerprint matches that from previous login");
        return;
    }
    if (AcceptChangedKey(saved, m_fingerprint)) {
        return;
    }
    SFTP1.Disconnect();
    m_session.sftpConnected = false;
    m_session.SetState(ConnectionState::Disconnected);
}

void SftpSession::AfterLogin() {
    SFTP1.Password.fill(QChar(' '));
    SFTP1.Password.clear();
}

void SftpSession::Logout() {
    m_session.ShowAbortButton("Cancel");
    NoteActivity();
    SFTP1.Disconnect();
}

bool SftpSession::ChangeDirectory(const QString& target) {
    const bool zos = m_session.Zos();
    if (zos) {
        m_session.currentRemoteDir =
            "'" + JoinRemotePath(true, NoMVSQuotes(true, target), QString()) + "'";
        m_ui.LogText("\"" + m_session.currentRemoteDir + "\" is new working directory on server.");
        return true;
    }
    SFTP1.RemotePath = target;
    m_session.ShowAbortButton("Cancel");
    replyHolder = "?";
    m_ui.LogText("chdir " + target);
    NoteActivity();
    if (SFTP1.RealPath(target) != 0 || replyHolder == "?") {
        m_session.currentRemoteDir = m_session.lastQuotedDir;
        replyHolder.clear();
        m_ui.LogText("Error with RealPath method using " + target);
        m_session.HideAbortButton();
        LogWorkingDirectory(m_ui, m_session.currentRemoteDir);
        return false;
    }
    m_session.currentRemoteDir = replyHolder;
    replyHolder.clear();
    // The path must also be there for us to look at.
    NoteActivity();
    const bool ok = SFTP1.GetAttributes(m_session.currentRemoteDir) == 0;
    if (!ok) {
        m_session.currentRemoteDir = m_session.lastQuotedDir;
    }
    m_session.HideAbortButton();
    LogWorkingDirectory(m_ui, m_session.currentRemoteDir);
    return ok;
}

bool SftpSession::FetchListing(QStringList& lines) {
    replyHolder.clear();
    m_session.remoteListingLines.clear();
    m_partialLine.clear();
    const QString path = QuotedNameIfMVS(m_session.Zos(), m_session.currentRemoteDir);
    NoteActivity();
    if (SFTP1.ListDir(path) != 0) {
        m_ui.LogText("ListDir method exception using " + path);
        m_partialLine.clear();
        return false;
    }
    if (!m_partialLine.isEmpty()) {
        m_session.remoteListingLines.append(m_partialLine);
        m_partialLine.clear();
    }
    m_session.listingLoaded = true;
    m_session.listingReceived = true;
    lines = m_session.remoteListingLines;
    return true;
}

void SftpSession::AbortClick() {
    NoteActivity();
    if (!m_session.sftpConnecting) {
        SFTP1.Abort();
        NoteActivity();
    }
    SFTP1.Disconnect();
    m_session.SetState(ConnectionState::Disconnected);
    m_session.sftpConnected = false;
}

void SftpSession::Probe() {
    if (!m_session.sftpConnected) {
        return;
    }
    const qint64 interval = m_session.Zos() ? 1000 : 5000;
    if (platform::TickCount() - lastActivity <= interval) {
        return;
    }
    replyHolder = "?";
    NoteActivity();
    // A dead session shows up as the component's disconnected event.
    if (SFTP1.RealPath(m_session.currentRemoteDir) != 0) {
        replyHolder.clear();
        m_ui.ProcessMessages();
    }
    replyHolder.clear();
}

void SftpSession::AfterFirstScan() {
    if (!m_session.Zos()) {
        RealPathForPublicHTML();
    }
}

void SftpSession::RealPathForPublicHTML() {
    if (!m_session.Pane().HasEntry("public_html")) {
        return;
    }
    const QString path = JoinRemotePath(false, m_session.currentRemoteDir, "public_html");
    replyHolder = "?";
    NoteActivity();
    if (SFTP1.RealPath(path) == 0 && replyHolder != "?" && !replyHolder.isEmpty()) {
        m_session.Pane().AddAlias(path, replyHolder);
    }
    replyHolder.clear();
}

// ---- Remote files -----------------------------------------------------------------------------

RemoteErrorKind SftpErrorKind(int code) {
    switch (code) {
        case sftp::kOk:
            return RemoteErrorKind::None;
        case sftp::kNoSuchFile:
            return RemoteErrorKind::NotFound;
        case sftp::kPermissionDenied:
            return RemoteErrorKind::PermissionDenied;
        case sftp::kFailure:
            return RemoteErrorKind::Refused;
        case sftp::kOpUnsupported:
            return RemoteErrorKind::NotSupported;
        case sftp::kNoConnection:
        case sftp::kConnectionLost:
        case SftpConnection::kConnectFailed:
        case SftpConnection::kHandshakeFailed:
        case SftpConnection::kConnectionLost:
            return RemoteErrorKind::ConnectionLost;
        case SftpConnection::kPasswordRefused:
            return RemoteErrorKind::LoginRefused;
        case SftpConnection::kTimedOut:
            return RemoteErrorKind::TimedOut;
        case SftpConnection::kAborted:
            return RemoteErrorKind::Aborted;
        case SftpConnection::kLocalFileError:
            return RemoteErrorKind::LocalFile;
        default:
            return RemoteErrorKind::Other;
    }
}

namespace {

RemoteResult ResultOf(int code) {
    return {SftpErrorKind(code), code, code == 0 ? QString() : SftpCodeText(code)};
}

}  // namespace

RemoteResult SftpSession::CallResult(int code) {
    // A failure goes into the request error list, as FTP failures do.
    m_session.NoteCallResult(code);
    return ResultOf(code);
}

void SftpSession::SetTransferMode(bool ascii) {
    SFTP1.TransferMode = ascii ? 1 : 0;
}

RemoteResult SftpSession::Delete(const QString& dir, const QString& name, const QString& path,
                                 bool file) {
    (void)dir;
    (void)name;
    NoteActivity();
    return CallResult(file ? SFTP1.DeleteFile(path) : SFTP1.RemoveDir(path));
}

RemoteResult SftpSession::Rename(const QString& dir, const QString& oldName,
                                 const QString& newName) {
    const bool zos = m_session.Zos();
    SFTP1.RemotePath = JoinRemotePath(zos, dir, oldName);
    NoteActivity();
    const RemoteResult result = CallResult(SFTP1.Rename(JoinRemotePath(zos, dir, newName)));
    if (result.Ok()) {
        m_ui.LogText("< Renamed.");
    }
    return result;
}

RemoteResult SftpSession::MakeDirectory(const QString& name) {
    const bool zos = m_session.Zos();
    const QString separator = zos ? "." : "/";
    const QString path =
        name.contains(separator) ? name : JoinRemotePath(zos, m_session.currentRemoteDir, name);
    NoteActivity();
    return CallResult(SFTP1.MakeDir(path));
}

RemoteResult SftpSession::ChangeMode(const QString& name, const QString& octal, int mode) {
    (void)octal;
    m_ui.LogText(QStringLiteral("Permissions value for SetAttr is %1").arg(mode));
    NoteActivity();
    const QString path = JoinRemotePath(m_session.Zos(), m_session.currentRemoteDir, name);
    bool arrived = false;
    quint32 uid = 0;
    quint32 gid = 0;
    SFTP1.OnAttributes = [&](qint64, quint32 u, quint32 g, quint32, quint32, quint32) {
        arrived = true;
        uid = u;
        gid = g;
    };
    SFTP1.GetAttributes(path);
    SFTP1.OnAttributes = nullptr;
    if (!arrived) {
        return {RemoteErrorKind::Other, 0, "No attributes for " + path};
    }
    // Not noted in the request error list: the permissions dialog reports its own outcome.
    const int code = SFTP1.SetAttr(path, int(uid), mode, int(gid));
    return ResultOf(code);
}

QHash<QString, QDateTime> SftpSession::ListedTimes() const {
    QHash<QString, QDateTime> times;
    for (auto it = SFTP1.ListedTimes.begin(); it != SFTP1.ListedTimes.end(); ++it) {
        times.insert(it.key(), QDateTime::fromSecsSinceEpoch(it.value(), Qt::UTC));
    }
    return times;
}

RemoteResult SftpSession::SetModificationTime(const QString& dir, const QString& name,
                                              const QDateTime& time) {
    NoteActivity();
    return ResultOf(
        SFTP1.SetTimes(JoinRemotePath(m_session.Zos(), dir, name), time.toSecsSinceEpoch()));
}

void SftpSession::PrepareTransfer(int bufferKiB, const FileTransfer& transfer) {
    SFTP1.BufferSize = (bufferKiB >= 0 && bufferKiB <= 32 ? bufferKiB : 0) * 1024;
    SFTP1.Resume = transfer.resume;
    SFTP1.OnProgress = transfer.progress;
    NoteActivity();
}

QString SftpSession::RemotePathOf(const FileTransfer& transfer) const {
    const bool zos = m_session.Zos();
    const QString& name = transfer.remoteName;
    if (transfer.remoteDir.isEmpty() && name.contains(zos ? '.' : '/')) {
        return name;
    }
    const QString& dir =
        transfer.remoteDir.isEmpty() ? m_session.currentRemoteDir : transfer.remoteDir;
    return JoinRemotePath(zos, dir, name);
}

RemoteResult SftpSession::Get(const FileTransfer& transfer) {
    PrepareTransfer(m_settings.site.sshBufferSizeRx, transfer);
    const int code =
        SFTP1.GetFile(transfer.localPath, QuotedNameIfMVS(m_session.Zos(), RemotePathOf(transfer)));
    SFTP1.OnProgress = nullptr;
    return CallResult(code);
}

RemoteResult SftpSession::Put(const FileTransfer& transfer) {
    PrepareTransfer(m_settings.site.sshBufferSizeTx, transfer);
    const int code = SFTP1.PutFile(transfer.localPath, RemotePathOf(transfer));
    SFTP1.OnProgress = nullptr;
    // Not noted in the request error list: the upload logs its own failure.
    return ResultOf(code);
}
