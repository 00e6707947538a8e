#include "ftp/ftp_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QHostAddress>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QTimer>

#include <algorithm>
#include <bit>

#include "ftp/socket_errors.h"

namespace {
// Data moves in blocks of this size; the upload keeps at most kWriteHighWater bytes queued in
// the socket, so memory use does not depend on the file size.
constexpr qint64 kBlockSize = 256 * 1024;
constexpr qint64 kWriteHighWater = 1024 * 1024;
constexpr qint64 kReadBufferSize = 1024 * 1024;
// The code a request ends with when it could not even start.
constexpr quint16 kStartFailureCode = 501;
// The code of a data-connection or local-file failure that has no server reply of its own.
constexpr int kLocalFailureCode = 550;
constexpr qsizetype kMaxReplyLines = 1000;
// The code of a login that TLS ended (a refused certificate or AUTH TLS, a failed handshake).
constexpr int kTlsFailureCode = 534;
// How long the end of a TLS 1.3 upload waits for the server's session ticket.
constexpr int kTicketWaitMs = 1000;

QString WinsockSuffix(const QString& text, int number) {
    return text + " (Winsock error #" + QString::number(number) + ")";
}

// Accepts active-mode data connections as TLS-capable sockets when the data is protected (the
// client is the TLS client on the data connection whichever side connected).
class DataListener : public QTcpServer {
public:
    DataListener(bool tls, QObject* parent) : QTcpServer(parent), m_tls(tls) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        QTcpSocket* socket = m_tls ? new QSslSocket(this) : new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        addPendingConnection(socket);
    }

private:
    bool m_tls;
};
const char* const kTransferFactNames[] = {
    "receiving",     "local file created", "truncate pending", "data connected",
    "data done",     "preliminary reply",  "final reply",      "final reply ok",
    "upload at end", "upload closing",     "ticket wait",      "ticket seen",
    "failed",
};

const char* const kStepNames[] = {
    "Open", "Auth",    "User",  "Pass", "Acct",   "Pbsz", "Prot",  "Cwd",   "Cdup", "Type",
    "Port", "Rest",    "Get",   "Put",  "Append", "Dir",  "Ls",    "Mlsd",  "Syst", "Mkd",
    "Rmd",  "RenFrom", "RenTo", "Size", "Dele",   "Pwd",  "Abort", "Quote", "Quit",
};

}  // namespace

TFtpClient::TFtpClient(QObject* parent)
    : QObject(parent),
      m_controlConnector(new TcpConnector(this)),
      m_dataConnector(new TcpConnector(this)) {
    m_block.resize(kBlockSize);
    connect(m_controlConnector, &TcpConnector::Connected, this, &TFtpClient::OnControlConnected);
    connect(m_controlConnector, &TcpConnector::Failed, this, &TFtpClient::OnControlFailed);
    // A connector result counts only while the port step waits for it: a late one must not
    // complete another request's step.
    connect(m_dataConnector, &TcpConnector::Connected, this, [this] {
        const bool early = EarlyCommand() && IsTransferStep(m_currentStep);
        if ((m_currentStep != Step::Port && !early) || !m_data) {
            CloseData();
            return;
        }
        AttachDataSocket(m_data);
        if (early) {
            PumpUpload();  // the server may have said go already
            return;
        }
        SetState(ftpPasvReady);
        StepDone(true);
    });
    connect(m_dataConnector, &TcpConnector::Failed, this, [this](const QString&, int number) {
        const QString text =
            "Unable to establish data connection, error #" + QString::number(number);
        if (EarlyCommand() && IsTransferStep(m_currentStep)) {
            FailTransfer("! Data: connection failed", text);  // ends with the server's reply
            return;
        }
        if (m_currentStep != Step::Port) {
            CloseData();
            return;
        }
        Fail(kLocalFailureCode, text);
    });
}

TFtpClient::~TFtpClient() {
    // Nothing may call back into a half-destroyed object.
    OnDisplay = nullptr;
    OnError = nullptr;
    OnSessionConnected = nullptr;
    OnSessionClosed = nullptr;
    OnRequestDone = nullptr;
    CloseData();
    CloseLocalFile();
    CloseControl();
}

// ---- High-level operations ----------------------------------------------------------------

void TFtpClient::ConnectAsync() {
    QString failure = UserName.isEmpty() ? "UserName empty" : QString();
    if (failure.isEmpty() && Security != FtpSecurity::Plain && !QSslSocket::supportsSsl()) {
        failure = "TLS is not available on this machine (no OpenSSL library found)";
    }
    StartRequest(ftpConnectAsync,
                 Bit(Step::Open) | Bit(Step::Auth) | Bit(Step::User) | Bit(Step::Pass) |
                     Bit(Step::Acct) | Bit(Step::Pbsz) | Bit(Step::Prot),
                 failure);
}

void TFtpClient::CwdAsync() {
    StartRequest(ftpCwdAsync, Bit(Step::Cwd), HostDirName.isEmpty() ? "HostDirName empty" : "");
}

void TFtpClient::PwdAsync() {
    StartRequest(ftpPwdAsync, Bit(Step::Pwd));
}
void TFtpClient::CDupAsync() {
    StartRequest(ftpCDupAsync, Bit(Step::Cdup));
}
void TFtpClient::MkdAsync() {
    StartRequest(ftpMkdAsync, Bit(Step::Mkd));
}
void TFtpClient::RmdAsync() {
    StartRequest(ftpRmdAsync, Bit(Step::Rmd));
}
void TFtpClient::DeleAsync() {
    StartRequest(ftpDeleAsync, Bit(Step::Dele));
}
void TFtpClient::RenAsync() {
    StartRequest(ftpRenAsync, Bit(Step::RenFrom) | Bit(Step::RenTo));
}
void TFtpClient::TypeSetAsync() {
    StartRequest(ftpTypeSetAsync, Bit(Step::Type));
}
void TFtpClient::QuoteAsync() {
    StartRequest(ftpQuoteAsync, Bit(Step::Quote));
}
void TFtpClient::QuitAsync() {
    StartRequest(ftpQuitAsync, Bit(Step::Quit));
}

void TFtpClient::DirAsync() {
    StartTransferRequest(ftpDirAsync, Bit(Step::Dir));
}
void TFtpClient::LsAsync() {
    StartTransferRequest(ftpLsAsync, Bit(Step::Ls));
}
void TFtpClient::MlsdAsync() {
    StartTransferRequest(ftpMlsdAsync, Bit(Step::Mlsd));
}
void TFtpClient::GetAsync() {
    StartTransferRequest(ftpGetAsync, Bit(Step::Get));
}
void TFtpClient::PutAsync() {
    StartTransferRequest(ftpPutAsync, Bit(Step::Put));
}

void TFtpClient::RestGetAsync() {
    if (!LocalFileName.isEmpty() && !m_requestRunning) {
        const QFileInfo existing(LocalFileName);
        ResumeAt = existing.exists() ? existing.size() : 0;
    }
    StartTransferRequest(ftpRestGetAsync, Bit(Step::Rest) | Bit(Step::Get));
}

void TFtpClient::RestPutAsync() {
    StartTransferRequest(ftpRestPutAsync, Bit(Step::Rest) | Bit(Step::Put));
}

void TFtpClient::StartTransferRequest(TFtpRequest request, StepSet steps) {
    StartRequest(request, Bit(Step::Port) | steps,
                 LocalFileName.isEmpty() ? "LocalFileName empty" : "");
}

void TFtpClient::Abort() {
    Display("! Aborting");
    const bool wasConnected = m_connected;
    const bool running = m_requestRunning;
    SetState(ftpAbort);
    m_pending = 0;
    CloseData();
    CloseLocalFile();
    CloseControl();
    m_connected = false;
    if (running) {
        m_statusCode = 426;
        m_errorMessage = m_timedOut ? "426 Timeout" : "426 Operation aborted.";
        m_errorCode = 426;
        FinishRequest();
    } else {
        SetState(ftpReady);
    }
    if (wasConnected) {
        DeliverSessionClosed();
    }
    WaitUntilReady();
}

bool TFtpClient::WaitUntilReady() {
    QElapsedTimer clock;
    clock.start();
    while (m_state != ftpReady) {
        if (QCoreApplication::closingDown()) {
            return false;
        }
        const qint64 budget = qint64(Timeout) * 1000;
        if (Timeout > 0 && clock.elapsed() >= budget) {
            m_timedOut = true;
            Abort();
            m_timedOut = false;
            m_errorMessage = "426 Timeout";
            m_statusCode = 426;
            return false;
        }
        // Sleep in the event loop until something moves, at most a second at a time.
        QEventLoop loop;
        connect(this, &TFtpClient::Progress, &loop, &QEventLoop::quit);
        if (QCoreApplication::instance()) {
            connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop,
                    &QEventLoop::quit);
        }
        qint64 wait = 1000;
        if (Timeout > 0) {
            wait = std::clamp<qint64>(budget - clock.elapsed(), 1, 1000);
        }
        QTimer::singleShot(static_cast<int>(wait), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// ---- Step runner ---------------------------------------------------------------------------

void TFtpClient::StartRequest(TFtpRequest request, StepSet steps, const QString& startError) {
    const bool idle = m_state == ftpNotConnected || m_state == ftpReady ||
                      m_state == ftpInternalReady || m_state == ftpPasvReady;
    if (!idle || m_requestRunning) {
        // Another request is running: it keeps going, and this one never starts.
        RaiseError("FTP component not ready");
        return;
    }
    QString failure = startError;
    if (failure.isEmpty() && (steps & Bit(Step::Open)) && m_connected) {
        failure = "FTP component already connected";
    }
    if (failure.isEmpty() && HasUnsafeParameter(steps)) {
        failure = "Name contains a line break: not sent";
    }
    m_request = request;
    m_errorCode = 0;
    m_lastResponse.clear();
    m_errorMessage.clear();
    if (!failure.isEmpty()) {
        // A request that cannot start still ends, so that its caller sees the failure.
        RaiseError(failure);
        m_errorCode = kStartFailureCode;
        m_requestRunning = true;
        FinishRequest();
        return;
    }
    m_pending = steps;
    m_requestRunning = true;
    m_userReply = 0;
    m_passReply = 0;
    m_restAccepted = false;
    NextStep();
}

void TFtpClient::NextStep() {
    while (m_requestRunning) {
        if (m_state == ftpAbort) {
            return;
        }
        if (m_pending == 0) {
            FinishRequest();
            return;
        }
        const int index = std::countr_zero(m_pending);
        m_pending &= ~(StepSet(1) << index);
        const Step step = static_cast<Step>(index);
        const bool skipped =
            (step == Step::Auth && Security != FtpSecurity::Explicit) ||
            ((step == Step::Pbsz || step == Step::Prot) && Security == FtpSecurity::Plain) ||
            (step == Step::Pass && m_userReply != 331) ||
            (step == Step::Acct && m_passReply != 332) ||
            (step == Step::Cwd && HostDirName.isEmpty()) || (step == Step::Rest && ResumeAt <= 0);
        if (skipped) {
            continue;
        }
        if (m_state != ftpPasvReady) {
            SetState(ftpInternalReady);
        }
        m_currentStep = step;
        RunStep(step);
        return;
    }
}

void TFtpClient::RunStep(Step step) {
    static_assert(std::size(kStepNames) == std::size_t(Step::Count));
    Trace(QStringLiteral("FTP step: %1").arg(QLatin1String(kStepNames[std::size_t(step)])));
    switch (step) {
        case Step::Open: {
            CloseControl();
            m_certificateProblem.reset();
            m_serverCertificate = QSslCertificate();
            m_protectData = false;
            if (Security == FtpSecurity::Plain) {
                m_control = new QTcpSocket(this);
            } else {
                auto* tls = new QSslSocket(this);
                connect(tls, &QSslSocket::encrypted, this, &TFtpClient::OnControlEncrypted);
                connect(tls, &QSslSocket::sslErrors, this, &TFtpClient::OnControlSslErrors);
                connect(tls, &QSslSocket::errorOccurred, this, [this] {
                    if (m_controlHandshake) {
                        ControlTlsFailed();
                    }
                });
                m_control = tls;
            }
            connect(m_control, &QTcpSocket::readyRead, this, &TFtpClient::OnControlReadyRead);
            m_reader.Clear();
            m_replyLines.clear();
            QString host = HostName;
            QString port = Port;
            if (ConnectionType == ftpProxy) {
                host = ProxyServer;
                port = ProxyPort;
                const qsizetype colon = host.indexOf(':');
                if (colon >= 0) {
                    port = host.mid(colon + 1);
                    host = host.left(colon);
                }
            }
            SetState(ftpDnsLookup);
            m_controlConnector->Connect(m_control, host, FtpPortNumber(port), Socks());
            return;
        }
        case Step::Auth:
            SendCommand("AUTH TLS", {234});
            return;
        case Step::Pbsz:
            SendCommand("PBSZ 0", {200});
            return;
        case Step::Prot:
            SendCommand("PROT P", {200});
            return;
        case Step::User:
            SendCommand(
                "USER " + (ConnectionType == ftpProxy ? ProxyUserName(UserName, HostName, Port)
                                                      : UserName),
                {331, 230});
            return;
        case Step::Pass:
            if (PassWord.isEmpty()) {
                RaiseError("Password empty");
                m_statusCode = kStartFailureCode;
                StepDone(false);
                return;
            }
            SendCommand("PASS " + PassWord, {230, 332});
            return;
        case Step::Acct:
            if (Account.isEmpty()) {
                RaiseError("Account empty!");
                m_statusCode = kStartFailureCode;
                StepDone(false);
                return;
            }
            SendCommand("ACCT " + Account, {230, 202});
            return;
        case Step::Cwd:
            SendCommand("CWD " + HostDirName, {200, 250, 257});
            return;
        case Step::Cdup:
            SendCommand("CDUP", {250, 257, 200});
            return;
        case Step::Type:
            SendCommand(Binary ? "TYPE I" : "TYPE A", {200});
            return;
        case Step::Port:
            m_byteCount = 0;
            m_bytesQueued = 0;
            SetFact(TransferFact::DataDone, false);
            SetFact(TransferFact::DataConnected, false);
            emit Progress();
            if (UsesPassive()) {
                if (ControlIsIpv6()) {
                    SendCommand("EPSV", {229});
                } else {
                    SendCommand("PASV", {227});
                }
            } else {
                StartActive();
            }
            return;
        case Step::Rest:
            SendCommand("REST " + QString::number(ResumeAt), {});
            return;
        case Step::Get:
        case Step::Put:
        case Step::Dir:
        case Step::Ls:
        case Step::Mlsd:
            StartTransfer(step);
            return;
        case Step::Mkd:
            SendCommand("MKD " + HostFileName, {200, 250, 257});
            return;
        case Step::Rmd:
            SendCommand("RMD " + HostFileName, {200, 250, 257});
            return;
        case Step::Dele:
            SendCommand("DELE " + HostFileName, {200, 250, 257});
            return;
        case Step::RenFrom:
            SendCommand("RNFR " + HostFileName, {350});
            return;
        case Step::RenTo:
            SendCommand("RNTO " + LocalFileName, {200, 250});
            return;
        case Step::Pwd:
            SendCommand("PWD", {250, 257});
            return;
        case Step::Quote:
            SendCommand(LocalFileName, {});
            return;
        case Step::Quit:
            SendCommand("QUIT", {221});
            return;
        default:
            // Steps the program never asks for.
            StepDone(true);
            return;
    }
}

void TFtpClient::StepDone(bool ok) {
    if (!ok) {
        m_errorCode = static_cast<quint16>(m_statusCode != 0 ? m_statusCode : kLocalFailureCode);
        m_pending = (m_currentStep != Step::Quit) ? (m_pending & Bit(Step::Quit)) : 0;
    }
    m_currentStep = Step::Count;
    NextStep();
}

void TFtpClient::FinishRequest() {
    m_requestRunning = false;
    m_pending = 0;
    m_currentStep = Step::Count;
    // Whatever the way a request ends, no data connection or listener outlives it.
    CloseData();
    SetState(ftpReady);
    // Delivered from the event loop, never from inside a socket handler: the caller's message
    // boxes must not run a nested loop inside the engine's own read loop.
    const TFtpRequest request = m_request;
    const quint16 code = m_errorCode;
    QMetaObject::invokeMethod(
        this,
        [this, request, code] {
            if (OnRequestDone) {
                OnRequestDone(this, request, code);
            }
        },
        Qt::QueuedConnection);
}

void TFtpClient::DeliverSessionClosed() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (OnSessionClosed) {
                OnSessionClosed(this);
            }
        },
        Qt::QueuedConnection);
}

bool TFtpClient::HasUnsafeParameter(StepSet steps) const {
    const auto uses = [steps](std::initializer_list<Step> list) {
        return std::any_of(list.begin(), list.end(), [steps](Step st) { return steps & Bit(st); });
    };
    return (uses({Step::Cwd}) && HasLineBreak(HostDirName)) ||
           (uses({Step::Mkd, Step::Rmd, Step::Dele, Step::RenFrom, Step::Get, Step::Put}) &&
            HasLineBreak(HostFileName)) ||
           (uses({Step::Quote, Step::RenTo}) && HasLineBreak(LocalFileName)) ||
           (uses({Step::User}) &&
            (HasLineBreak(UserName) || HasLineBreak(PassWord) || HasLineBreak(Account)));
}

void TFtpClient::Fail(int code, const QString& text, const QString& detail) {
    m_statusCode = code;
    m_errorMessage = text;
    Display("! " + text + detail);
    CloseData();
    StepDone(false);
}

const char* FtpStateName(TFtpState state) {
    switch (state) {
        case ftpNotConnected:
            return "not connected";
        case ftpReady:
            return "ready";
        case ftpInternalReady:
            return "internal ready";
        case ftpDnsLookup:
            return "DNS lookup";
        case ftpConnected:
            return "connected";
        case ftpAbort:
            return "abort";
        case ftpWaitingBanner:
            return "waiting banner";
        case ftpWaitingResponse:
            return "waiting response";
        case ftpPasvReady:
            return "passive ready";
    }
    return "?";
}

void TFtpClient::Trace(const QString& line) {
    if (OnTrace) {
        OnTrace(line);
    }
}

void TFtpClient::SetState(TFtpState state) {
    if (m_state != state) {
        Trace(QStringLiteral("FTP state: %1 -> %2")
                  .arg(QLatin1String(FtpStateName(m_state)), QLatin1String(FtpStateName(state))));
        m_state = state;
        emit Progress();
    }
}

void TFtpClient::SetFact(TransferFact fact, bool on) {
    static_assert(std::size(kTransferFactNames) == std::size_t(TransferFact::Count));
    if (Fact(fact) == on) {
        return;
    }
    m_transferFacts.set(std::size_t(fact), on);
    Trace(QStringLiteral("FTP transfer: %1 %2")
              .arg(QLatin1String(kTransferFactNames[std::size_t(fact)]), on ? "on" : "off"));
}

void TFtpClient::Display(const QString& text) {
    if (OnDisplay) {
        OnDisplay(this, text);
    }
}

void TFtpClient::RaiseError(const QString& text) {
    m_errorMessage = text;
    if (OnError) {
        OnError(this, text);
    } else {
        Display(text);
    }
}

// ---- Control connection --------------------------------------------------------------------

void TFtpClient::SendCommand(const QString& command, std::initializer_list<int> accepted) {
    if (HasLineBreak(command)) {
        Fail(kStartFailureCode, "Name contains a line break: not sent");
        return;
    }
    Display(CommandEcho(command));
    m_accepted.assign(accepted.begin(), accepted.end());
    m_acceptAnyBelow500 = m_accepted.empty();
    if (!m_connected || !m_control) {
        const bool quit = m_currentStep == Step::Quit;
        m_statusCode = quit ? 200 : 550;
        if (!quit) {
            m_errorMessage = QString::number(m_statusCode) + " not connected";
        }
        StepDone(quit);
        return;
    }
    // Written before the state change: its progress signal may run the event loop, in which
    // the control connection can close.
    m_control->write(command.toUtf8() + "\r\n");
    SetState(ftpWaitingResponse);
}

void TFtpClient::OnControlConnected() {
    if (Security == FtpSecurity::Implicit) {
        StartControlTls();  // the greeting comes encrypted
        return;
    }
    ControlUp();
}

void TFtpClient::ControlUp() {
    m_connected = true;
    connect(m_control, &QTcpSocket::disconnected, this, &TFtpClient::OnControlClosed);
    connect(m_control, &QTcpSocket::errorOccurred, this, [this] {
        if (m_control && m_control->state() == QAbstractSocket::UnconnectedState) {
            OnControlClosed();
        }
    });
    if (OnSessionConnected) {
        OnSessionConnected(this);
    }
    // The open step ends with the greeting.
    m_accepted = {220};
    m_acceptAnyBelow500 = false;
    SetState(ftpWaitingBanner);
    OnControlReadyRead();
}

QSslSocket* TFtpClient::ControlTls() const {
    return qobject_cast<QSslSocket*>(m_control);
}

QString TFtpClient::TlsPeerName() const {
    // The certificate must name the server we connect to: the proxy's when an FTP proxy is
    // used, the site's otherwise (a SOCKS server only relays the bytes).
    if (ConnectionType != ftpProxy) {
        return HostName;
    }
    const qsizetype colon = ProxyServer.indexOf(':');
    return colon < 0 ? ProxyServer : ProxyServer.left(colon);
}

void TFtpClient::StartControlTls() {
    QSslSocket* tls = ControlTls();
    if (!tls) {
        return;
    }
    QSslConfiguration config = tls->sslConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // The data connections resume this TLS session: servers insist on it (vsftpd's
    // require_ssl_reuse), so that nobody else can take over a data connection.
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    tls->setSslConfiguration(config);
    tls->setPeerVerifyName(TlsPeerName());
    m_controlHandshake = true;
    SetState(ftpWaitingResponse);
    tls->startClientEncryption();
}

void TFtpClient::OnControlSslErrors(const QList<QSslError>& errors) {
    QSslSocket* tls = ControlTls();
    if (!tls) {
        return;
    }
    const QSslCertificate certificate = tls->peerCertificate();
    const QString fingerprint = CertificateFingerprint(certificate);
    if (!TrustedFingerprint.isEmpty() && fingerprint == TrustedFingerprint) {
        Display("! TLS certificate not verified, but trusted for this site: " + fingerprint);
        tls->ignoreSslErrors();
        return;
    }
    // Not ignored: the handshake fails, and the caller may ask and connect again.
    m_certificateProblem = DescribeCertificateProblem(certificate, errors, TrustedFingerprint);
}

void TFtpClient::OnControlEncrypted() {
    QSslSocket* tls = ControlTls();
    if (!tls || !m_controlHandshake) {
        return;
    }
    m_controlHandshake = false;
    m_serverCertificate = tls->peerCertificate();
    const QSslCipher cipher = tls->sessionCipher();
    Display("! TLS established: " + cipher.protocolString() + ", " + cipher.name());
    if (m_currentStep == Step::Open) {
        ControlUp();
    } else if (m_currentStep == Step::Auth) {
        SetState(ftpInternalReady);
        StepDone(true);
    }
}

void TFtpClient::ControlTlsFailed() {
    m_controlHandshake = false;
    QString text = "TLS handshake failed: " + (m_control ? m_control->errorString() : QString());
    if (m_certificateProblem) {
        QString reasons = m_certificateProblem->reasons;
        text = (m_certificateProblem->changed ? "TLS certificate changed, not trusted: "
                                              : "TLS certificate not trusted: ") +
               reasons.replace('\n', "; ");
    }
    AbandonLogin(text);
}

void TFtpClient::AbandonLogin(const QString& text) {
    m_controlHandshake = false;
    m_connected = false;
    CloseControl();
    CloseData();
    // The login never completed, so no session-closed report: the request's failure says it.
    m_pending = 0;
    m_statusCode = kTlsFailureCode;
    m_errorMessage = text;
    Display("! " + text);
    StepDone(false);
}

void TFtpClient::StartDataTls(QSslSocket* socket) {
    const QSslSocket* control = ControlTls();
    if (control) {
        // Carries the control connection's TLS session, which the data connection resumes.
        socket->setSslConfiguration(control->sslConfiguration());
    }
    socket->setPeerVerifyName(TlsPeerName());
    connect(socket, &QSslSocket::sslErrors, this, [this, socket](const QList<QSslError>&) {
        // The data connection must show the certificate the control connection accepted.
        if (!m_serverCertificate.isNull() && socket->peerCertificate() == m_serverCertificate) {
            socket->ignoreSslErrors();
        }
    });
    connect(socket, &QSslSocket::newSessionTicketReceived, this, [this, socket] {
        if (socket == m_data) {
            SetFact(TransferFact::TicketSeen, true);
            CloseUploadWhenSent();
        }
    });
    connect(socket, &QSslSocket::encrypted, this, [this, socket] {
        if (socket != m_data) {
            return;
        }
        SetFact(TransferFact::DataConnected, true);
        PumpUpload();
        OnDataReadyRead();
    });
    socket->startClientEncryption();
}

void TFtpClient::OnControlFailed(const QString& text, int number) {
    CloseControl();
    Fail(number, WinsockSuffix("Connect failed: " + text, number));
}

void TFtpClient::OnControlReadyRead() {
    // Replies are taken only once the connection (and any SOCKS tunnel) is up.
    if (!m_control || !m_connected) {
        return;
    }
    const QByteArray bytes = m_control->readAll();
    for (const FtpReplyLine& line : m_reader.Feed(bytes)) {
        HandleReply(line);
        if (!m_control) {
            return;  // the connection ended while the reply was handled
        }
    }
}

void TFtpClient::HandleReply(const FtpReplyLine& line) {
    Display("< " + line.text);
    // Bounded: a server that never ends a reply cannot make it grow.
    if (m_replyLines.size() < kMaxReplyLines) {
        m_replyLines << line.text;
    }
    if (!line.complete) {
        return;
    }
    m_lastReplyLines.swap(m_replyLines);
    m_replyLines.clear();
    if (line.code == 257) {
        m_dirResult = DirectoryFrom257(line.text);
    }
    const Step step = m_currentStep;
    if (IsTransferStep(step)) {
        OnTransferReply(line);
        return;
    }
    m_statusCode = line.code;
    m_lastResponse = line.text;
    if (step == Step::Count) {
        return;  // nobody waits for it
    }
    if (step == Step::Open && line.code < 200) {
        return;  // "120 ready in a moment": the greeting follows
    }
    const bool ok = m_acceptAnyBelow500 ? line.code < 500
                                        : std::find(m_accepted.begin(), m_accepted.end(),
                                                    line.code) != m_accepted.end();
    if (!ok) {
        m_errorMessage = line.text;
    }
    switch (step) {
        case Step::Open:
            if (ok) {
                SetState(ftpConnected);
            }
            break;
        case Step::Auth:
            if (ok) {
                StartControlTls();
                return;  // the step ends when the handshake does
            }
            // Never a quiet fall-back to plain FTP: the user name and password stay unsent.
            AbandonLogin("The server refused AUTH TLS (" + line.text +
                         "): it offers no FTP over TLS here, so the login stops before the "
                         "password is sent");
            return;
        case Step::Pbsz:
        case Step::Prot:
            if (!ok) {
                AbandonLogin("The server refused to protect the data connections (" + line.text +
                             "): files would travel unencrypted");
                return;
            }
            m_protectData = step == Step::Prot;
            break;
        case Step::User:
            m_userReply = line.code;
            break;
        case Step::Pass:
            m_passReply = line.code;
            break;
        case Step::Rest:
            m_restAccepted = line.code == 350;
            break;
        case Step::Port:
            if (ok && UsesPassive()) {
                StartPassive(line.text);
                return;
            }
            break;
        case Step::Quit:
            CloseControl();
            if (m_connected) {
                m_connected = false;
                DeliverSessionClosed();
            }
            break;
        default:
            break;
    }
    StepDone(ok);
}

void TFtpClient::OnControlClosed() {
    if (!m_control) {
        return;
    }
    if (m_controlHandshake) {
        ControlTlsFailed();
        return;
    }
    OnControlReadyRead();  // a last reply may precede the close
    if (!m_control) {
        return;
    }
    const SocketErrorInfo info = DescribeSocketError(m_control->error());
    ControlLost(info.text, info.number);
}

void TFtpClient::ControlLost(const QString& text, int number) {
    const bool wasConnected = m_connected;
    m_connected = false;
    CloseControl();
    CloseData();
    CloseLocalFile();
    m_statusCode = 500;
    m_errorMessage = WinsockSuffix("500 Control connection closed. " + text, number);
    Display("! " + m_errorMessage);
    if (m_requestRunning) {
        // A server that hangs up on QUIT has done what was asked.
        if (m_currentStep != Step::Quit) {
            m_errorCode = 500;
        }
        FinishRequest();
    } else {
        SetState(ftpNotConnected);
    }
    if (wasConnected) {
        DeliverSessionClosed();
    }
}

void TFtpClient::CloseControl() {
    m_controlConnector->Cancel();
    if (m_control) {
        disconnect(m_control, nullptr, this, nullptr);
        m_control->abort();
        m_control->deleteLater();
        m_control = nullptr;
    }
    m_reader.Clear();
    m_replyLines.clear();
}

// ---- Data connection -----------------------------------------------------------------------

std::optional<SocksSettings> TFtpClient::Socks() const {
    if (ConnectionType != ftpSocks4 && ConnectionType != ftpSocks4A &&
        ConnectionType != ftpSocks5) {
        return std::nullopt;
    }
    SocksSettings socks;
    socks.level = ConnectionType == ftpSocks4    ? SocksLevel::Socks4
                  : ConnectionType == ftpSocks4A ? SocksLevel::Socks4A
                                                 : SocksLevel::Socks5;
    socks.server = SocksServer;
    socks.port = FtpPortNumber(SocksPort);
    socks.user = SocksUserCode;
    socks.password = SocksPassword;
    return socks;
}

bool TFtpClient::EarlyCommand() const {
    // An FTP proxy relays the data connection itself and may refuse a command that arrives
    // before our connection to it (425): through one, the described order.
    return EarlyTransferCommand && ConnectionType != ftpProxy;
}

bool TFtpClient::UsesPassive() const {
    return Passive || ConnectionType != ftpDirect;
}

bool TFtpClient::ControlIsIpv6() const {
    if (!m_control || Socks()) {
        return false;
    }
    const QHostAddress peer = m_control->peerAddress();
    bool isIpv4 = false;
    peer.toIPv4Address(&isIpv4);
    return peer.protocol() == QAbstractSocket::IPv6Protocol && !isIpv4;
}

void TFtpClient::StartPassive(const QString& reply) {
    quint16 port = 0;
    QString named;
    if (ControlIsIpv6()) {
        const std::optional<quint16> epsv = ParseEpsvReply(reply);
        port = epsv.value_or(0);
    } else if (const std::optional<PasvAddress> address = ParsePasvReply(reply)) {
        port = address->port;
        named = address->host;
    }
    if (port == 0) {
        Fail(kLocalFailureCode, "Unable to establish data connection, invalid reply: " + reply);
        return;
    }
    // The data connection goes to the server we talk to, whatever address the reply names: a
    // server behind NAT names an address we cannot reach, a hostile one a third machine.
    QString host;
    if (Socks()) {
        host = HostName;
    } else {
        const QHostAddress peer = m_control->peerAddress();
        bool isIpv4 = false;
        const quint32 v4 = peer.toIPv4Address(&isIpv4);
        host = isIpv4 ? QHostAddress(v4).toString() : peer.toString();
        if (!named.isEmpty() && named != host) {
            Display("! Passive address " + named + " ignored, data connection to " + host);
        }
    }
    CloseData();
    m_data = m_protectData ? new QSslSocket(this) : new QTcpSocket(this);
    m_dataConnector->Connect(m_data, host, port, Socks());
    if (EarlyCommand() && m_data) {
        SetState(ftpPasvReady);
        StepDone(true);
    }
}

void TFtpClient::StartActive() {
    CloseData();
    QString failure;
    QHostAddress local = m_control ? m_control->localAddress() : QHostAddress();
    bool isIpv4 = false;
    const quint32 ipv4 = local.toIPv4Address(&isIpv4);
    const bool ipv6 = !isIpv4 && local.protocol() == QAbstractSocket::IPv6Protocol;
    if (!isIpv4 && !ipv6) {
        failure = "Active transfers need an IP control connection";
    } else if (DataPortRangeEnd < DataPortRangeStart) {
        failure = "DataPortRangeEnd must be greater than DataPortRangeStart";
    } else {
        if (isIpv4) {
            local = QHostAddress(ipv4);
        }
        m_listener = new DataListener(m_protectData, this);
        m_listener->setMaxPendingConnections(1);
        bool listening = false;
        if (DataPortRangeStart == 0 && DataPortRangeEnd == 0) {
            listening = m_listener->listen(local, 0);
        } else {
            for (int port = DataPortRangeStart; port <= DataPortRangeEnd && !listening; ++port) {
                listening = m_listener->listen(local, static_cast<quint16>(port));
            }
        }
        if (!listening) {
            failure = "All ports in DataPortRange are in use";
        }
    }
    if (!failure.isEmpty()) {
        Fail(kLocalFailureCode, failure);
        return;
    }
    connect(m_listener, &QTcpServer::newConnection, this, &TFtpClient::OnDataAccepted);
    if (ipv6) {
        SendCommand(EprtCommand(local.toString(), true, m_listener->serverPort()), {200});
    } else {
        SendCommand(PortCommand(local.toString(), m_listener->serverPort()), {200});
    }
}

void TFtpClient::OnDataAccepted() {
    if (!m_listener) {
        return;
    }
    QTcpSocket* socket = m_listener->nextPendingConnection();
    if (socket && m_control && socket->peerAddress() != m_control->peerAddress()) {
        // Only the server may connect: anyone else could feed a download or steal an upload.
        Display("! Data connection from " + socket->peerAddress().toString() + " refused");
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_listener->close();
    m_listener->deleteLater();
    m_listener.clear();
    if (!socket) {
        return;
    }
    socket->setParent(this);
    m_data = socket;
    AttachDataSocket(socket);
    PumpUpload();
    OnDataReadyRead();
}

void TFtpClient::AttachDataSocket(QTcpSocket* socket) {
    auto* tls = m_protectData ? qobject_cast<QSslSocket*>(socket) : nullptr;
    // A protected data connection carries data once its handshake is done.
    SetFact(TransferFact::DataConnected, tls == nullptr);
    // A TLS socket with a bounded buffer stalls once the buffer has been full (it does not
    // read on when emptied); every read handler empties the socket at once anyway.
    socket->setReadBufferSize(tls ? 0 : kReadBufferSize);
    connect(socket, &QTcpSocket::readyRead, this, &TFtpClient::OnDataReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &TFtpClient::OnDataClosed);
    connect(socket, &QTcpSocket::errorOccurred, this, &TFtpClient::OnDataError);
    connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64) {
        // Counted from what was handed over less what the socket still holds, not by adding
        // up the signal's figures: the socket does not report bytes it writes while a
        // bytesWritten handler (or an event loop run from one) is still on the stack.
        NoteUploadSent();
        emit Progress();
        PumpUpload();
        CloseUploadWhenSent();
    });
    if (tls) {
        connect(tls, &QSslSocket::encryptedBytesWritten, this, [this] {
            PumpUpload();
            CloseUploadWhenSent();
        });
        StartDataTls(tls);
    }
}

void TFtpClient::StartTransfer(Step step) {
    SetFact(TransferFact::Receiving, step != Step::Put);
    SetFact(TransferFact::FinalReply, false);
    SetFact(TransferFact::FinalReplyOk, false);
    SetFact(TransferFact::PreliminaryReply, false);
    SetFact(TransferFact::UploadAtEnd, false);
    SetFact(TransferFact::UploadClosing, false);
    SetFact(TransferFact::TicketSeen, false);
    SetFact(TransferFact::TicketWaitStarted, false);
    SetFact(TransferFact::Failed, false);
    SetFact(TransferFact::TruncatePending, false);
    CloseLocalFile();
    m_localFile.setFileName(LocalFileName);
    bool opened = false;
    if (Fact(TransferFact::Receiving)) {
        // Opened without truncation: an existing file is only emptied once the server has
        // agreed to send, so a refused RETR leaves it as it was (and resumable).
        SetFact(TransferFact::LocalCreated, !QFileInfo::exists(LocalFileName));
        opened = m_localFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        const bool resuming = step == Step::Get && m_restAccepted;
        SetFact(TransferFact::TruncatePending, opened && !resuming && m_localFile.size() > 0);
    } else {
        SetFact(TransferFact::LocalCreated, false);
        opened = m_localFile.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        if (opened && m_restAccepted) {
            opened = m_localFile.seek(ResumeAt);
        }
    }
    if (!opened) {
        CloseLocalFile();
        Fail(kLocalFailureCode, "Unable to open local file", " " + LocalFileName);
        return;
    }
    m_lineEnds.reset();
    if (!Binary && (step == Step::Get || step == Step::Put) && kLocalNewline == "\n") {
        m_lineEnds.emplace(Fact(TransferFact::Receiving) ? LineEndConverter::Direction::ToLf
                                                         : LineEndConverter::Direction::ToCrLf);
    }
    m_transferClock.start();
    switch (step) {
        case Step::Get:
            SendCommand("RETR " + HostFileName, {226, 250});
            break;
        case Step::Dir:
            SendCommand(ListOptions.isEmpty() ? QStringLiteral("LIST") : "LIST " + ListOptions,
                        {226, 250});
            break;
        case Step::Ls:
            SendCommand("NLST", {226, 250});
            break;
        case Step::Mlsd:
            SendCommand("MLSD", {226, 250});
            break;
        default:
            SendCommand("STOR " + HostFileName, {226, 250});
            break;
    }
}

void TFtpClient::OnDataReadyRead() {
    if (!m_data || !Fact(TransferFact::Receiving) || !m_localFile.isOpen() ||
        Fact(TransferFact::Failed)) {
        return;
    }
    while (m_data && m_data->bytesAvailable() > 0) {
        const qint64 got = m_data->read(m_block.data(), m_block.size());
        if (got <= 0) {
            break;
        }
        if (Fact(TransferFact::TruncatePending)) {
            SetFact(TransferFact::TruncatePending, false);
            m_localFile.resize(0);
        }
        if (!WriteLocal(m_lineEnds
                            ? m_lineEnds->Convert(QByteArray::fromRawData(m_block.constData(), got))
                            : QByteArray::fromRawData(m_block.constData(), got))) {
            return;
        }
        m_byteCount += got;
        emit Progress();
    }
}

bool TFtpClient::WriteLocal(const QByteArray& bytes) {
    if (!bytes.isEmpty() && m_localFile.write(bytes) != bytes.size()) {
        FailTransfer("! Error writing local file", "Error writing local file");
        return false;
    }
    return true;
}

void TFtpClient::OnDataClosed() {
    if (Fact(TransferFact::Receiving)) {
        OnDataReadyRead();
    }
    SetFact(TransferFact::DataDone, true);
    TryFinishTransfer();
}

void TFtpClient::OnDataError(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // The normal end of a download. A plain socket reports disconnected next. A TLS socket
        // that received the server's close_notify stays open, and the server sends its final
        // reply only once the connection is closed: so it is closed here.
        if (auto* tls = qobject_cast<QSslSocket*>(m_data.data())) {
            QMetaObject::invokeMethod(
                tls,
                [this, tls] {
                    if (tls == m_data) {
                        OnDataReadyRead();
                        tls->disconnectFromHost();
                    }
                },
                Qt::QueuedConnection);
        }
        return;
    }
    if (error == QAbstractSocket::SslHandshakeFailedError && m_data) {
        FailTransfer("! Data: TLS handshake failed",
                     "TLS on the data connection failed: " + m_data->errorString());
        return;
    }
    const SocketErrorInfo info = DescribeSocketError(error);
    FailTransfer(Fact(TransferFact::Receiving) ? "! Data: Receive error" : "! Data: Send error",
                 WinsockSuffix("Data connection failed: " + info.text, info.number));
}

void TFtpClient::CloseUploadWhenSent() {
    if (!m_data || Fact(TransferFact::Receiving) || !Fact(TransferFact::UploadAtEnd) ||
        Fact(TransferFact::UploadClosing)) {
        return;
    }
    if (auto* tls = qobject_cast<QSslSocket*>(m_data.data())) {
        // A socket closed while the server still sends (TLS 1.3 session tickets follow the
        // handshake) answers with a reset, and the server then loses whatever of the file it
        // had not read yet: on loopback that can be nearly all of it. So the close waits until
        // everything has gone out and, on TLS 1.3, until the server's ticket has come (or a
        // second has passed: a server may send none); one more pass of the event loop then
        // takes in anything that came with it.
        if (tls->bytesToWrite() > 0 || tls->encryptedBytesToWrite() > 0) {
            return;  // called again as the rest goes out
        }
        if (tls->sessionProtocol() == QSsl::TlsV1_3 && !Fact(TransferFact::TicketSeen)) {
            if (!Fact(TransferFact::TicketWaitStarted)) {
                SetFact(TransferFact::TicketWaitStarted, true);
                QTimer::singleShot(kTicketWaitMs, tls, [this, tls] {
                    if (tls == m_data) {
                        SetFact(TransferFact::TicketSeen, true);
                        CloseUploadWhenSent();
                    }
                });
            }
            return;
        }
        SetFact(TransferFact::UploadClosing, true);
        QTimer::singleShot(0, tls, [this, tls] {
            if (tls == m_data) {
                tls->disconnectFromHost();
            }
        });
        return;
    }
    SetFact(TransferFact::UploadClosing, true);
    m_data->disconnectFromHost();  // sends what is queued, then closes
}

void TFtpClient::NoteUploadSent() {
    if (Fact(TransferFact::Receiving) || !m_data) {
        return;
    }
    // A TLS socket encrypts at once: its encrypted queue is (about) the data not yet sent.
    const auto* tls = qobject_cast<const QSslSocket*>(m_data.data());
    const qint64 held = m_data->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0);
    m_byteCount = std::max(m_byteCount, m_bytesQueued - held);
}

void TFtpClient::PumpUpload() {
    // With the early command the data goes as soon as the connection stands: a server only
    // says 150 once it has accepted the connection, a round trip after it was made, and then
    // reads what waits there (a refused STOR leaves the local file as it was either way).
    if (Fact(TransferFact::Receiving) || !m_data || !Fact(TransferFact::DataConnected) ||
        (!Fact(TransferFact::PreliminaryReply) && !EarlyCommand()) ||
        Fact(TransferFact::UploadAtEnd) || Fact(TransferFact::Failed) || !m_localFile.isOpen()) {
        return;
    }
    // A TLS socket encrypts at once into the connection's own buffer: both queues count.
    const auto* tls = qobject_cast<const QSslSocket*>(m_data.data());
    while (m_data &&
           m_data->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0) < kWriteHighWater) {
        const qint64 got = m_localFile.read(m_block.data(), m_block.size());
        if (got < 0) {
            FailTransfer("! Error reading file", "Error reading file");
            return;
        }
        if (got == 0) {
            SetFact(TransferFact::UploadAtEnd, true);
            CloseUploadWhenSent();
            return;
        }
        if (m_lineEnds) {
            m_bytesQueued += m_data->write(
                m_lineEnds->Convert(QByteArray::fromRawData(m_block.constData(), got)));
        } else {
            m_bytesQueued += m_data->write(m_block.constData(), got);
        }
    }
}

bool TFtpClient::IsTransferStep(Step step) {
    return step == Step::Get || step == Step::Put || step == Step::Dir || step == Step::Ls ||
           step == Step::Mlsd;
}

void TFtpClient::OnTransferReply(const FtpReplyLine& line) {
    m_statusCode = line.code;
    m_lastResponse = line.text;
    if (line.code < 200) {
        SetFact(TransferFact::PreliminaryReply, true);
        PumpUpload();
        return;
    }
    SetFact(TransferFact::FinalReply, true);
    SetFact(TransferFact::FinalReplyOk, line.code == 226 || line.code == 250);
    if (!Fact(TransferFact::FinalReplyOk)) {
        if (!Fact(TransferFact::Failed)) {
            m_errorMessage = line.text;
        }
        Display(Fact(TransferFact::Receiving) ? "! RETR/LIST/NLST Failed" : "! STOR Failed");
        CloseData();
        SetFact(TransferFact::DataDone, true);
    } else if (Fact(TransferFact::TruncatePending)) {
        // An empty file was sent: the old content must still go.
        SetFact(TransferFact::TruncatePending, false);
        m_localFile.resize(0);
    }
    TryFinishTransfer();
}

void TFtpClient::TryFinishTransfer() {
    const Step step = m_currentStep;
    if (!IsTransferStep(step) || !Fact(TransferFact::DataDone) || !Fact(TransferFact::FinalReply)) {
        return;
    }
    if (Fact(TransferFact::Receiving) && m_lineEnds && Fact(TransferFact::FinalReplyOk) &&
        !Fact(TransferFact::Failed)) {
        WriteLocal(m_lineEnds->Finish());  // a CR held back at the very end
    }
    m_lineEnds.reset();
    const bool ok = Fact(TransferFact::FinalReplyOk) && !Fact(TransferFact::Failed);
    if (Fact(TransferFact::FinalReplyOk) && Fact(TransferFact::Failed)) {
        m_statusCode = kLocalFailureCode;
    }
    if (!Fact(TransferFact::Receiving)) {
        // The server's final reply confirms the whole stream; without it, what had left us
        // when the data connection closed.
        if (ok) {
            m_byteCount = m_bytesQueued;
        }
        emit Progress();
    }
    const bool removeEmpty = Fact(TransferFact::LocalCreated) && Fact(TransferFact::Receiving) &&
                             m_byteCount == 0 && !ok;
    CloseLocalFile();
    CloseData();
    if (removeEmpty) {
        QFile::remove(LocalFileName);  // a refused download leaves no empty file behind
    }
    Display(TransferSummary(m_byteCount, Fact(TransferFact::Receiving), m_transferClock.elapsed()));
    StepDone(ok);
}

void TFtpClient::FailTransfer(const QString& display, const QString& message) {
    if (Fact(TransferFact::Failed)) {
        return;
    }
    Display(display);
    SetFact(TransferFact::Failed, true);
    m_errorMessage = message;
    CloseData();
    SetFact(TransferFact::DataDone, true);
    TryFinishTransfer();
}

void TFtpClient::CloseData() {
    NoteUploadSent();  // before what the socket still holds is thrown away
    m_dataConnector->Cancel();
    if (m_data) {
        disconnect(m_data, nullptr, this, nullptr);
        m_data->abort();
        m_data->deleteLater();
        m_data.clear();
    }
    if (m_listener) {
        m_listener->close();
        m_listener->deleteLater();
        m_listener.clear();
    }
    SetFact(TransferFact::DataConnected, false);
}

void TFtpClient::CloseLocalFile() {
    if (m_localFile.isOpen()) {
        m_localFile.close();
    }
}
