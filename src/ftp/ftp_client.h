#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslSocket>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>

#include "ftp/ftp_protocol.h"
#include "ftp/ftp_tls.h"
#include "ftp/tcp_connector.h"
#include "platform/line_ends.h"

// Request types; the number of each is its position and appears in the displayed log.
enum TFtpRequest {
    ftpNone,
    ftpOpenAsync,
    ftpUserAsync,
    ftpPassAsync,
    ftpCwdAsync,
    ftpConnectAsync,
    ftpReceiveAsync,
    ftpDirAsync,
    ftpLsAsync,
    ftpPortAsync,
    ftpGetAsync,
    ftpDirectoryAsync,
    ftpListAsync,
    ftpSystemAsync,
    ftpSystAsync,
    ftpQuitAsync,
    ftpAbortXferAsync,
    ftpSizeAsync,
    ftpPutAsync,
    ftpAppendAsync,
    ftpFileSizeAsync,
    ftpRqAbort,
    ftpMkdAsync,
    ftpRmdAsync,
    ftpRenameAsync,
    ftpDeleAsync,
    ftpRenAsync,
    ftpRenToAsync,
    ftpRenFromAsync,
    ftpDeleteAsync,
    ftpMkdirAsync,
    ftpRmdirAsync,
    ftpPwdAsync,
    ftpQuoteAsync,
    ftpCDupAsync,
    ftpDoQuoteAsync,
    ftpTransmitAsync,
    ftpTypeSetAsync,
    ftpRestAsync,
    ftpRestGetAsync,
    ftpRestartGetAsync,
    ftpRestPutAsync,
    ftpRestartPutAsync,
    ftpMlsdAsync
};

enum TFtpConnectionType { ftpDirect, ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 };
enum TFtpShareMode {
    ftpShareCompat,
    ftpShareExclusive,
    ftpShareDenyWrite,
    ftpShareDenyRead,
    ftpShareDenyNone
};
enum TFtpOption { ftpAcceptLF = 0x1, ftpBandwidthControl = 0x2 };

// Engine states; their numbers are shown in the status bar.
enum TFtpState {
    ftpNotConnected = 0,
    ftpReady = 1,
    ftpInternalReady = 2,
    ftpDnsLookup = 3,
    ftpConnected = 4,
    ftpAbort = 5,
    ftpWaitingBanner = 7,
    ftpWaitingResponse = 8,
    ftpPasvReady = 9,
};
// "ready", "waiting response", ... for the trace.
const char* FtpStateName(TFtpState state);

// The program's FTP client: one control connection and one data connection, driven by the
// socket events of the thread's event loop. Each high-level operation returns at once and ends
// with OnRequestDone; every command and reply line goes to OnDisplay. Nothing here blocks.
class TFtpClient : public QObject {
    Q_OBJECT
public:
    explicit TFtpClient(QObject* parent = nullptr);
    ~TFtpClient() override;

    // Published properties.
    int Timeout = 15;  // seconds, for the synchronous wait
    bool MultiThreaded = false;
    QString HostName;
    QString Port = "ftp";
    int DataPortRangeStart = 0;
    int DataPortRangeEnd = 0;
    QString LocalAddr = "0.0.0.0";
    QString UserName;
    QString PassWord;
    QString Account;
    QString HostDirName;
    QString HostFileName;
    // Arguments of LIST ("-a" also lists hidden files, on servers that take ls options).
    QString ListOptions;
    QString LocalFileName;
    bool DisplayFileFlag = false;
    bool Binary = true;
    bool Passive = true;
    // A passive transfer sends its command while the data connection is still being made, and
    // an upload's data once that connection stands, without waiting for the 150: a round trip
    // or two less per file. Off where it matters that a failed data connection
    // ends the request at once: the server's late refusal then arrives while the request
    // still waits for it, up to the time-out. Ignored through an FTP proxy.
    bool EarlyTransferCommand = false;
    TFtpShareMode ShareMode = ftpShareExclusive;
    int Options = ftpAcceptLF;
    TFtpConnectionType ConnectionType = ftpDirect;
    QString ProxyServer;
    QString ProxyPort = "ftp";
    QString SocksServer;
    QString SocksPort = "1080";
    QString SocksUserCode;
    QString SocksPassword;
    int BandwidthLimit = 10000;
    int BandwidthSampling = 1000;
    // Where RestGetAsync and RestPutAsync start; RestGetAsync sets it from the local file.
    qint64 ResumeAt = 0;
    // TLS on the control and data connections. A certificate that does not verify is accepted
    // only when its fingerprint is TrustedFingerprint; otherwise the login fails and
    // CertificateRefused tells why, so that the caller can ask and connect again.
    FtpSecurity Security = FtpSecurity::Plain;
    QString TrustedFingerprint;

    // Events.
    std::function<void(TFtpClient*, const QString&)> OnDisplay;
    std::function<void(TFtpClient*, const QString&)> OnError;
    std::function<void(TFtpClient*)> OnSessionConnected;
    std::function<void(TFtpClient*)> OnSessionClosed;
    std::function<void(TFtpClient*, TFtpRequest, quint16)> OnRequestDone;
    // The trace of the engine's state, steps and transfer facts (for finding out why a
    // connection or a transfer failed); not the log.
    std::function<void(const QString&)> OnTrace;

    // Run-time state.
    bool Connected() const { return m_connected; }
    TFtpState State() const { return m_state; }
    qint64 ByteCount() const { return m_byteCount; }
    int StatusCode() const { return m_statusCode; }
    QString LastResponse() const { return m_lastResponse; }
    // Every line of the last complete reply (FEAT and MLST answer in several).
    QStringList LastReplyLines() const { return m_lastReplyLines; }
    QString DirResult() const { return m_dirResult; }
    QString ErrorMessage() const { return m_errorMessage; }
    // The certificate problem that ended the last login, if one did.
    const std::optional<CertificateProblem>& CertificateRefused() const {
        return m_certificateProblem;
    }
    // The fingerprint of the certificate the control connection accepted; empty without TLS.
    QString ServerFingerprint() const { return CertificateFingerprint(m_serverCertificate); }

    // High-level operations.
    void ConnectAsync();
    void CwdAsync();
    void PwdAsync();
    void CDupAsync();
    void MkdAsync();
    void RmdAsync();
    void DeleAsync();
    void RenAsync();
    void TypeSetAsync();
    void QuoteAsync();
    void DirAsync();
    void LsAsync();
    // The machine listing (MLSD) of the current directory into LocalFileName.
    void MlsdAsync();
    void GetAsync();
    void PutAsync();
    void RestGetAsync();
    void RestPutAsync();
    void QuitAsync();
    // Stops everything at once and waits until the engine is ready again.
    void Abort();
    // Processes events until the engine is ready; false when Timeout ran out (the engine is
    // then aborted, status 426) or the application is closing.
    bool WaitUntilReady();

signals:
    // The state or the byte count moved; lets waits sleep instead of polling.
    void Progress();

private:
    enum class Step {
        Open,
        Auth,
        User,
        Pass,
        Acct,
        Pbsz,
        Prot,
        Cwd,
        Cdup,
        Type,
        Port,
        Rest,
        Get,
        Put,
        Append,
        Dir,
        Ls,
        Mlsd,
        Syst,
        Mkd,
        Rmd,
        RenFrom,
        RenTo,
        Size,
        Dele,
        Pwd,
        Abort,
        Quote,
        Quit,
        Count
    };
    using StepSet = std::uint32_t;
    static constexpr StepSet Bit(Step step) { return StepSet(1) << static_cast<int>(step); }

    void StartRequest(TFtpRequest request, StepSet steps, const QString& startError = QString());
    // A request with a data connection: the port step first, and a local file is required.
    void StartTransferRequest(TFtpRequest request, StepSet steps);
    void RaiseError(const QString& text);
    void NextStep();
    void RunStep(Step step);
    void StepDone(bool ok);
    void FinishRequest();
    // Ends the current step as failed with Code and Text (shown with "! " and Detail).
    void Fail(int code, const QString& text, const QString& detail = QString());
    void DeliverSessionClosed();
    bool HasUnsafeParameter(StepSet steps) const;
    bool ControlIsIpv6() const;
    void SetState(TFtpState state);
    void Trace(const QString& line);
    void Display(const QString& text);

    void SendCommand(const QString& command, std::initializer_list<int> accepted);
    void OnControlReadyRead();
    void OnControlConnected();
    // The control connection is up (and, for implicit TLS, encrypted): the greeting follows.
    void ControlUp();
    QSslSocket* ControlTls() const;
    QString TlsPeerName() const;
    void StartControlTls();
    void OnControlEncrypted();
    void OnControlSslErrors(const QList<QSslError>& errors);
    void ControlTlsFailed();
    // Ends a login that TLS cannot protect: closes the control connection, nothing more is sent.
    void AbandonLogin(const QString& text);
    void StartDataTls(QSslSocket* socket);
    void OnControlFailed(const QString& text, int number);
    void OnControlClosed();
    void HandleReply(const FtpReplyLine& line);
    void ControlLost(const QString& text, int number);
    void CloseControl();

    std::optional<SocksSettings> Socks() const;
    bool UsesPassive() const;
    void StartPassive(const QString& reply);
    void StartActive();
    void OnDataAccepted();
    void AttachDataSocket(QTcpSocket* socket);
    static bool IsTransferStep(Step step);
    // EarlyTransferCommand where the route allows it.
    bool EarlyCommand() const;
    void StartTransfer(Step step);
    void OnDataReadyRead();
    void OnDataClosed();
    void OnDataError(QAbstractSocket::SocketError error);
    void PumpUpload();
    void NoteUploadSent();
    // Ends an upload's data connection once the whole file has gone out.
    void CloseUploadWhenSent();
    // Writes to the local file; a failure ends the transfer.
    bool WriteLocal(const QByteArray& bytes);
    void OnTransferReply(const FtpReplyLine& line);
    void TryFinishTransfer();
    void FailTransfer(const QString& display, const QString& message);
    void CloseData();
    void CloseLocalFile();

    QTcpSocket* m_control = nullptr;
    TcpConnector* m_controlConnector = nullptr;
    TcpConnector* m_dataConnector = nullptr;
    QPointer<QTcpSocket> m_data;
    QPointer<QTcpServer> m_listener;
    FtpReplyReader m_reader;

    TFtpState m_state = ftpNotConnected;
    bool m_connected = false;
    TFtpRequest m_request = ftpNone;
    StepSet m_pending = 0;
    Step m_currentStep = Step::Count;
    bool m_requestRunning = false;
    quint16 m_errorCode = 0;
    int m_statusCode = 0;
    QString m_lastResponse;
    QStringList m_replyLines;  // the lines of the reply being read
    QStringList m_lastReplyLines;
    QString m_errorMessage;
    QString m_dirResult;
    std::vector<int> m_accepted;
    bool m_acceptAnyBelow500 = false;
    int m_userReply = 0;
    int m_passReply = 0;
    bool m_restAccepted = false;
    bool m_timedOut = false;
    // TLS: the handshake of the control connection is running; PROT P is in force.
    bool m_controlHandshake = false;
    bool m_protectData = false;
    QSslCertificate m_serverCertificate;
    std::optional<CertificateProblem> m_certificateProblem;

    // The current transfer.
    QFile m_localFile;
    // ASCII mode: the wire carries CR LF, the local file this platform's line ends.
    std::optional<LineEndConverter> m_lineEnds;
    // Where the transfer stands: a set of facts, changed only in SetFact, which traces each
    // change, so one trace tells how far a failed transfer got.
    enum class TransferFact {
        Receiving,          // a download or listing, not an upload
        LocalCreated,       // the local file did not exist before this download
        TruncatePending,    // the local file is emptied once the first data arrives
        DataConnected,      // the data connection is open (after its TLS handshake)
        DataDone,           // every byte has passed, or the transfer failed
        PreliminaryReply,   // the server's 1xx reply to the transfer command
        FinalReply,         // its final reply
        FinalReplyOk,       // ... and it was 226 or 250
        UploadAtEnd,        // the local file is read to its end
        UploadClosing,      // the data connection is being closed after the last byte
        TicketWaitStarted,  // TLS 1.3: waiting for the session ticket before closing
        TicketSeen,
        Failed,
        Count
    };
    bool Fact(TransferFact fact) const { return m_transferFacts.test(std::size_t(fact)); }
    void SetFact(TransferFact fact, bool on);
    std::bitset<std::size_t(TransferFact::Count)> m_transferFacts;
    qint64 m_byteCount = 0;
    qint64 m_bytesQueued = 0;  // upload bytes handed to the data socket
    QElapsedTimer m_transferClock;
    QByteArray m_block;
};
