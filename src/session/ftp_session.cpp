#include "session/ftp_session.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <utility>

#include "config/words.h"
#include "listing/machine_listing.h"
#include "listing/text_words.h"
#include "listing/zos_names.h"
#include "runtime/user_interface.h"
#include "session/ftp_workers.h"
#include "session/session.h"

namespace {

// "CWD" shows as "Cwd".
QString ProperCase(const QString& request) {
    return request.left(1).toUpper() + request.mid(1).toLower();
}

}  // namespace

FtpSession::FtpSession(Session& session, UserInterface& ui) : m_session(session), m_ui(ui) {
    FtpClient1.OnDisplay = [this](TFtpClient*, const QString& text) { FtpClient1Display(text); };
    FtpClient1.OnTrace = [this](const QString& line) { m_ui.Trace(line); };
    FtpClient1.OnError = [this](TFtpClient*, const QString& text) { FtpClient1Display(text); };
    FtpClient1.OnSessionConnected = [this](TFtpClient*) { m_ui.LogText("Connected"); };
    FtpClient1.OnSessionClosed = [this](TFtpClient*) { FtpClient1SessionClosed(); };
    FtpClient1.OnRequestDone = [this](TFtpClient*, TFtpRequest request, quint16 code) {
        FtpClient1RequestDone(request, code);
    };
    connect(&FtpClient1, &TFtpClient::Progress, this, &FtpSession::Wake);
}

FtpSession::~FtpSession() {
    FtpClient1.OnDisplay = nullptr;
    FtpClient1.OnTrace = nullptr;
    FtpClient1.OnError = nullptr;
    FtpClient1.OnSessionConnected = nullptr;
    FtpClient1.OnSessionClosed = nullptr;
    FtpClient1.OnRequestDone = nullptr;
}

qint64 FtpSession::TimeoutBudgetMs() const {
    return qint64(FtpClient1.Timeout) * 1000 - 5000;
}

void FtpSession::Wake() {
    if (m_wait) {
        m_wait->quit();
    }
}

bool FtpSession::StartRequest(const QString& request) {
    TFtpClient& c = FtpClient1;
    static const std::pair<const char*, void (TFtpClient::*)()> table[] = {
        {"CONNECT", &TFtpClient::ConnectAsync}, {"CWD", &TFtpClient::CwdAsync},
        {"PWD", &TFtpClient::PwdAsync},         {"PUT", &TFtpClient::PutAsync},
        {"GET", &TFtpClient::GetAsync},         {"SITE", &TFtpClient::QuoteAsync},
        {"QUOTE", &TFtpClient::QuoteAsync},     {"MKD", &TFtpClient::MkdAsync},
        {"DIR", &TFtpClient::DirAsync},         {"LS", &TFtpClient::LsAsync},
        {"RMD", &TFtpClient::RmdAsync},         {"CDUP", &TFtpClient::CDupAsync},
        {"REN", &TFtpClient::RenAsync},         {"DELE", &TFtpClient::DeleAsync},
        {"TYPESET", &TFtpClient::TypeSetAsync}, {"QUIT", &TFtpClient::QuitAsync},
        {"RESTGET", &TFtpClient::RestGetAsync}, {"RESTPUT", &TFtpClient::RestPutAsync},
        {"MLSD", &TFtpClient::MlsdAsync},
    };
    for (const auto& [name, start] : table) {
        if (request == QLatin1String(name)) {
            (c.*start)();
            return true;
        }
    }
    return false;
}

void FtpSession::AsyncCall(const QString& requestAsGiven) {
    const QString request = requestAsGiven.toUpper();
    const bool isConnect = request == "CONNECT";
    TFtpClient& c = FtpClient1;
    if (!c.Connected() && !isConnect) {
        return;
    }
    m_session.ShowAbortButton("Cancel");
    const qint64 budget = TimeoutBudgetMs();
    m_ui.SetStatusPanel(StatusPanel::CallType, ProperCase(request));
    if (isConnect) {
        m_session.requestErrorList.clear();
    }
    m_done = false;
    const bool started = StartRequest(request);
    if (!started) {
        m_ui.ShowColorMsg("Internal Error: function " + requestAsGiven +
                          " not supported by routine AsyncCall.");
    }

    // Waits in the event loop, woken by the engine's progress, its completion, the abort
    // button and a timer for the time-out check: a waiting program uses no processor.
    QElapsedTimer clock;
    clock.start();
    qint64 bytes = c.ByteCount();
    TFtpState state = c.State();
    auto finished = [&] {
        const bool ready = c.State() == ftpReady && (m_done || !started);
        return ready || m_session.Cancel().Requested() || (!c.Connected() && !isConnect);
    };
    while (!finished()) {
        m_ui.SetStatusPanel(StatusPanel::CallState, QString::number(int(c.State())));
        if (c.ByteCount() != bytes || c.State() != state) {
            clock.restart();  // progress of either kind keeps a request alive
        }
        bytes = c.ByteCount();
        state = c.State();
        if (clock.elapsed() > budget) {
            m_session.SetState(ConnectionState::Disconnected);
            m_session.timedOut = true;
            c.Abort();
            m_ui.ProcessMessages();  // the session-closed report sees the time-out
            m_ui.ShowColorMsg(requestAsGiven +
                              " request timed out, please reconnect to the FTP site.");
            break;
        }
        QEventLoop loop;
        m_wait = &loop;
        QTimer::singleShot(int(std::clamp<qint64>(budget - clock.elapsed() + 1, 1, 1000)), &loop,
                           &QEventLoop::quit);
        loop.exec();
        m_wait = nullptr;
        if (QCoreApplication::closingDown()) {
            break;
        }
    }
    m_ui.ProcessMessages();
    if (m_session.Cancel().Requested() && c.Connected()) {
        m_session.SetState(ConnectionState::Disconnected);
        c.Abort();
        m_ui.ProcessMessages();  // the session-closed report sees the abort
        m_ui.StatusBarGeneral(" " + ProperCase(request) + " call aborted at your request.");
        m_ui.ShowColorMsg("If you want to continue, please close and restart the FTP program.");
    }
    m_ui.SetStatusPanel(StatusPanel::CallState, QString::number(int(c.State())));
    if ((request == "DIR" || request == "MLSD") && QFile::exists(c.LocalFileName)) {
        m_session.remoteListingLines.clear();
        QFile file(c.LocalFileName);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray all = file.readAll();
            for (QByteArray line : all.split('\n')) {
                if (line.endsWith('\r')) {
                    line.chop(1);
                }
                m_session.remoteListingLines.append(QString::fromUtf8(line));
            }
            if (all.endsWith('\n')) {
                m_session.remoteListingLines.removeLast();
            }
            m_session.listingLoaded = true;
            m_session.listingReceived = true;
        }
        file.close();
        QFile::remove(c.LocalFileName);
    }
    m_session.HideAbortButton();
}

void FtpSession::FtpClient1RequestDone(TFtpRequest request, quint16 errorCode) {
    m_done = true;
    Wake();
    m_session.lastRequestFailed = false;
    const QString name = LookupRequest(int(request));
    if (errorCode != 0) {
        m_session.lastErrorCode = errorCode;
        m_session.AppendRequestError(errorCode);
        m_ui.LogText("Done (request=" + name + "  error code=" + QString::number(errorCode) + ")");
        m_session.lastRequestFailed = true;
        // A certificate that did not verify is asked about next; an error box first would
        // only say the same thing less usefully.
        if (!FtpClient1.CertificateRefused() && !m_quiet) {
            m_ui.ShowColorMsg("Error " + FtpClient1.ErrorMessage());
        }
        return;
    }
    m_session.lastErrorCode = 0;
    if (!m_session.Connected() && request != ftpQuitAsync && request != ftpConnectAsync) {
        m_ui.ShowColorMsg(m_session.timedOut
                              ? "You seem to have timed out and lost your connection to the host, "
                                "please try again after a connection is re-established"
                              : "You seem to have lost your connection to the host, please try "
                                "again after a connection is re-established");
    }
}

void FtpSession::FtpClient1Display(const QString& message) {
    bool mark530 = false;
    if (message.contains("< 530")) {
        mark530 = true;
        m_session.loginRefused = true;
    }
    QStringView words[3];
    if (SplitWords(message, words, 3) >= 3 && words[0] == u"<" && words[1] == u"250" &&
        words[2].size() > 2 && words[2].startsWith('"') && words[2].endsWith('"')) {
        m_session.lastQuotedDir = words[2].mid(1, words[2].size() - 2).toString();
    }
    if (m_ui.ResumeTicked() &&
        (message.contains("> PASV") || message.contains("Entering Passive Mode"))) {
        return;
    }
    if (message.contains("Disconnecting you") || mark530) {
        const bool amber = m_session.Autoreconnect() && !mark530;
        m_session.SetState(amber ? ConnectionState::Lost : ConnectionState::Disconnected);
    }
    if (message.contains("PASS ") || mark530) {
        m_ui.LogText(mark530 ? message : QStringLiteral("> PASS "));
        m_afterListingCompleted = false;
        return;
    }
    if (message.toLower().contains("transfer completed")) {
        return;
    }
    // The listing's byte count adds nothing to the line that says it completed.
    if (message.contains("bytes received") && m_afterListingCompleted) {
        return;
    }
    m_ui.LogText(message.trimmed());
    m_afterListingCompleted = message.contains("Listing completed");
}

void FtpSession::FtpClient1SessionClosed() {
    Wake();
    m_session.SessionClosed();
}

QString FtpSession::LookupRequest(int requestType) {
    static const char* const names[] = {"none",
                                        "OpenAsync",
                                        "UserAsync",
                                        "PassAsync",
                                        "CwdAsync",
                                        "ConnectAsync",
                                        "ReceiveAsync",
                                        "DirAsync",
                                        "LsAsync",
                                        "PortAsync",
                                        "GetAsync",
                                        "DirectoryAsync",
                                        "ListAsync",
                                        "SystemAsync",
                                        "SystAsync",
                                        "QuitAsync",
                                        "unknown",
                                        "SizeAsync",
                                        "PutAsync",
                                        "AppendAsync",
                                        "FileSizeAsync",
                                        "RqAbort",
                                        "MkdAsync",
                                        "RmdAsync",
                                        "RenameAsync",
                                        "DeleAsync",
                                        "RenAsync",
                                        "RenToAsync",
                                        "RenFromAsync",
                                        "DeleteAsync",
                                        "MkdirAsync",
                                        "RmdirAsync",
                                        "PwdAsync",
                                        "QuoteAsync",
                                        "CDupAsync",
                                        "DoQuoteAsync",
                                        "TransmitAsync",
                                        "TypeSetAsync",
                                        "RestAsync",
                                        "RestGetAsync",
                                        "RestartGetAsync",
                                        "RestPutAsync",
                                        "RestartPutAsync",
                                        "MlsdAsync"};
    if (requestType < 0 || requestType >= int(std::size(names))) {
        return QStringLiteral("unknown");
    }
    return QString::fromLatin1(names[requestType]);
}

// ---- RemoteSession ---------------------------------------------------------------------------

bool FtpSession::Login(const LoginTarget& t) {
    TFtpClient& c = FtpClient1;
    AsyncCall("QUIT");
    if (c.Connected() && m_session.Connected()) {
        AsyncCall("QUIT");
    }
    ConfigureFtpClient(c, t);
    m_ui.LogText("Connecting ...");
    m_session.ShowAbortButton("Cancel");
    AsyncCall("CONNECT");
    // A certificate that did not verify: asked about once, and on Yes connected to again.
    if (const std::optional<CertificateProblem> problem = c.CertificateRefused();
        problem && !m_session.Cancel().Requested() &&
        m_session.TrustCertificate(*problem, t.host)) {
        c.TrustedFingerprint = problem->fingerprint;
        AsyncCall("CONNECT");
    }
    m_ui.LogText("Connect issued for " + t.host);
    m_ui.StatusBarGeneral("Connect issued for " + t.host);
    if (m_session.requestErrorList.isEmpty() && c.Connected()) {
        m_session.SetState(ConnectionState::Connected);
        m_session.currentRemoteDir = "?";
        AsyncCall("PWD");
        if (m_session.currentRemoteDir == "?") {
            m_session.currentRemoteDir = c.DirResult().isEmpty() ? "?" : c.DirResult();
            m_session.lastQuotedDir = m_session.currentRemoteDir;
        }
        m_session.homeDir = m_session.currentRemoteDir;
        ReadFeatures(t.machineListings);
    } else {
        m_session.SetState(ConnectionState::Disconnected);
    }
    return m_session.Connected();
}

void FtpSession::AfterLogin() {
    FtpClient1.PassWord.fill(QChar(' '));
    FtpClient1.PassWord.clear();
    if (m_session.RequestFailedWith(550)) {
        FtpClient1.Abort();
    }
}

void FtpSession::Logout() {
    AsyncCall("QUIT");
    m_ui.ProcessMessages();
    AsyncCall("QUIT");
}

bool FtpSession::ChangeDirectory(const QString& target) {
    const bool zos = m_session.Zos();
    FtpClient1.HostDirName = QuotedNameIfMVS(zos, target);
    m_ui.LogText("chdir " + FtpClient1.HostDirName);
    m_session.requestErrorList.clear();
    const QString before = m_session.lastQuotedDir;
    AsyncCall("CWD");
    const bool changed = m_session.requestErrorList.isEmpty();
    if (!changed) {
        m_ui.LogText("chdir attempt returned error code(s): " + m_session.requestErrorList);
        m_session.currentRemoteDir = m_session.lastQuotedDir;
    } else {
        m_session.currentRemoteDir = QuotedNameIfMVS(
            zos, m_session.lastQuotedDir != before ? m_session.lastQuotedDir : target);
    }
    LogWorkingDirectory(m_ui, m_session.currentRemoteDir);
    return changed;
}

bool FtpSession::FetchListing(QStringList& lines) {
    TFtpClient& c = FtpClient1;
    m_lastListingMachine = false;
    // Listing options ask for the text form (the recipe cycle's "-a"); z/OS has its own forms.
    if (m_useMachineListings && c.ListOptions.isEmpty() && !m_session.Zos()) {
        if (FetchMachineListing()) {
            m_lastListingMachine = true;
            lines = m_session.remoteListingLines;
            return true;
        }
        if (!c.Connected() || m_session.Cancel().Requested()) {
            return false;
        }
    }
    m_session.requestErrorList.clear();
    PrepareListingFetch();
    AsyncCall("DIR");
    if (!m_session.requestErrorList.isEmpty() || !m_session.listingLoaded) {
        m_ui.LogText("DIR attempt returned error code " + m_session.requestErrorList);
        return false;
    }
    lines = m_session.remoteListingLines;
    return true;
}

void FtpSession::PrepareListingFetch() {
    TFtpClient& c = FtpClient1;
    QFile::remove(m_session.listingTempFile);
    c.LocalFileName = m_session.listingTempFile;
    c.Binary = false;
    m_session.listingLoaded = false;
    AsyncCall("TYPESET");
}

bool FtpSession::FetchMachineListing() {
    TFtpClient& c = FtpClient1;
    PrepareListingFetch();
    if (QuietCall("MLSD") && m_session.listingLoaded) {
        return true;
    }
    // A refusal (not a passing trouble such as a data connection that did not open) means the
    // server's MLSD cannot be relied on: the text listing serves from now on.
    if (c.Connected() && c.StatusCode() >= 500) {
        m_useMachineListings = false;
        m_ui.LogText("The server refused MLSD (" + c.LastResponse().trimmed() +
                     "): folders are listed with LIST for the rest of this session");
    }
    return false;
}

bool FtpSession::QuietCall(const QString& request) {
    const QString errorsBefore = m_session.requestErrorList;
    m_session.lastRequestFailed = false;
    m_quiet = true;
    AsyncCall(request);
    m_quiet = false;
    m_session.requestErrorList = errorsBefore;
    return !m_session.lastRequestFailed && FtpClient1.Connected() &&
           !m_session.Cancel().Requested();
}

void FtpSession::ReadFeatures(bool machineListingsAllowed) {
    TFtpClient& c = FtpClient1;
    m_features = {};
    m_useMachineListings = false;
    c.LocalFileName = QStringLiteral("FEAT");
    if (!QuietCall("QUOTE") || c.StatusCode() != 211) {
        return;
    }
    m_features = ParseFeatReply(c.LastReplyLines());
    if (!machineListingsAllowed || !m_features.MachineListings()) {
        return;
    }
    // Only the facts the listing reads: those offered but not sent unasked are turned on, the
    // rest off (they would lengthen every line). A refusal leaves the server's own choice, which
    // serves when it holds the type, size and time.
    if (const QString options = MlstOptionsCommand(m_features); !options.isEmpty()) {
        c.LocalFileName = options;
        if (!QuietCall("QUOTE") && !m_features.ListingFactsInUse()) {
            return;
        }
    }
    m_useMachineListings = true;
    m_ui.LogText("The server offers machine listings: folders are listed with MLSD");
}

QDateTime FtpSession::ModificationTime(const QString& dir, const QString& name) {
    TFtpClient& c = FtpClient1;
    const QString file = ServerFileName(dir, name);
    if (!m_features.mdtm || !c.Connected() || HasLineBreak(file)) {
        return {};
    }
    c.LocalFileName = "MDTM " + file;
    if (!QuietCall("QUOTE") || c.StatusCode() != 213) {
        return {};
    }
    return ParseMachineTime(TextWordView(c.LastResponse(), 2));
}

RemoteResult FtpSession::SetModificationTime(const QString& dir, const QString& name,
                                             const QDateTime& time) {
    TFtpClient& c = FtpClient1;
    const QString file = ServerFileName(dir, name);
    if (!m_features.mfmt || !c.Connected() || HasLineBreak(file)) {
        return {RemoteErrorKind::NotSupported, 0, {}};
    }
    c.LocalFileName = "MFMT " + time.toUTC().toString("yyyyMMddHHmmss") + " " + file;
    if (!QuietCall("QUOTE") || c.StatusCode() != 213) {
        return {FtpErrorKind(c.StatusCode()), c.StatusCode(), c.LastResponse()};
    }
    return {};
}

void FtpSession::AbortClick() {
    Wake();
}

// ---- Remote files -----------------------------------------------------------------------------

RemoteErrorKind FtpErrorKind(int code) {
    switch (code) {
        case 0:
            return RemoteErrorKind::None;
        case 530:
        case 332:
            return RemoteErrorKind::LoginRefused;
        case 450:
        case 550:
        case 553:
            return RemoteErrorKind::Refused;
        case 500:
        case 502:
        case 504:
            return RemoteErrorKind::NotSupported;
        case 421:
        case 425:
        case 426:
            return RemoteErrorKind::ConnectionLost;
        default:
            return RemoteErrorKind::Other;
    }
}

RemoteResult FtpSession::RequestResult() const {
    // A request worked when it added nothing to the request error list.
    if (m_session.requestErrorList.isEmpty()) {
        return {};
    }
    const int code = m_session.lastErrorCode;
    const RemoteErrorKind kind = FtpErrorKind(code);
    return {kind == RemoteErrorKind::None ? RemoteErrorKind::Other : kind, code,
            FtpClient1.ErrorMessage()};
}

void FtpSession::SetTransferMode(bool ascii) {
    if (FtpClient1.Binary == ascii) {
        FtpClient1.Binary = !ascii;
        AsyncCall("TYPESET");
    }
}

RemoteResult FtpSession::Delete(const QString& dir, const QString& name, const QString& path,
                                bool file) {
    const bool zos = m_session.Zos();
    FtpClient1.HostDirName = QuotedNameIfMVS(zos, dir);
    FtpClient1.HostFileName = zos ? path : JoinRemotePath(false, dir, name);
    AsyncCall(file ? "DELE" : "RMD");
    return RequestResult();
}

RemoteResult FtpSession::Rename(const QString& dir, const QString& oldName,
                                const QString& newName) {
    FtpClient1.HostFileName = oldName;
    FtpClient1.LocalFileName = newName;
    FtpClient1.HostDirName = QuotedNameIfMVS(m_session.Zos(), dir);
    AsyncCall("REN");
    return RequestResult();
}

RemoteResult FtpSession::MakeDirectory(const QString& name) {
    FtpClient1.HostFileName = name;
    AsyncCall("MKD");
    return RequestResult();
}

RemoteResult FtpSession::ChangeMode(const QString& name, const QString& octal, int mode) {
    (void)mode;
    FtpClient1.LocalFileName = "SITE chmod " + octal + " " + name.trimmed();
    FtpClient1.HostDirName = m_session.currentRemoteDir;
    AsyncCall("QUOTE");
    return RequestResult();
}

void FtpSession::AfterScriptLogin() {
    if (m_session.Zos()) {
        // Room for the script's uploads: new datasets grow by 20 cylinders at a time.
        m_session.requestErrorList.clear();
        Command("SITE CYLINDER PRI=1 SEC=20");
    }
}

QString FtpSession::ServerFileName(const QString& dir, const QString& name) const {
    const bool zos = m_session.Zos();
    if (dir.isEmpty()) {
        return name;
    }
    const bool elsewhere =
        NormalisedRemoteDir(zos, dir) != NormalisedRemoteDir(zos, m_session.currentRemoteDir);
    return elsewhere ? QuotedNameIfMVS(zos, JoinRemotePath(zos, dir, name)) : name;
}

RemoteResult FtpSession::Transfer(const QString& request, const FileTransfer& transfer) {
    TFtpClient& c = FtpClient1;
    c.LocalFileName = transfer.localPath;
    c.ResumeAt = transfer.resumeAt;
    QMetaObject::Connection progress;
    if (transfer.progress) {
        progress = QObject::connect(&c, &TFtpClient::Progress, &c,
                                    [&] { transfer.progress(c.ByteCount(), 0); });
    }
    AsyncCall(request);
    QObject::disconnect(progress);
    c.ResumeAt = 0;
    return RequestResult();
}

RemoteResult FtpSession::Get(const FileTransfer& transfer) {
    TFtpClient& c = FtpClient1;
    const QString dir = transfer.remoteDir;
    c.HostDirName = QuotedNameIfMVS(m_session.Zos(), dir);
    c.HostFileName = ServerFileName(dir, transfer.remoteName);
    const RemoteResult result = Transfer(transfer.resume ? "RESTGET" : "GET", transfer);
    c.HostDirName = m_session.currentRemoteDir;
    return result;
}

RemoteResult FtpSession::Put(const FileTransfer& transfer) {
    FtpClient1.HostFileName = ServerFileName(transfer.remoteDir, transfer.remoteName);
    return Transfer(transfer.resume ? "RESTPUT" : "PUT", transfer);
}

RemoteResult FtpSession::Command(const QString& line) {
    FtpClient1.LocalFileName = line;
    AsyncCall("QUOTE");
    return RequestResult();
}

QString FtpSession::ExchangeListOptions(const QString& options) {
    return std::exchange(FtpClient1.ListOptions, options);
}
