#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include "ftp/ftp_client.h"
#include "session/remote_session.h"

class Session;
class UserInterface;
class QEventLoop;

// An FTP session: the engine FtpClient1 and the request dispatcher that runs one named request
// at a time (AsyncCall) and waits for it in a nested event loop, so the window stays alive, the
// processor stays idle and the Cancel button works.
class FtpSession : public QObject, public RemoteSession {
    Q_OBJECT
public:
    FtpSession(Session& session, UserInterface& ui);
    ~FtpSession() override;

    TFtpClient FtpClient1;

    // Runs one request by name (case does not matter) and returns when it has ended, failed,
    // timed out or been aborted. Callers read the session's request error list.
    void AsyncCall(const QString& request);

    void FtpClient1RequestDone(TFtpRequest request, quint16 errorCode);
    void FtpClient1Display(const QString& message);
    void FtpClient1SessionClosed();
    static QString LookupRequest(int requestType);

    // RemoteSession
    bool IsSftp() const override { return false; }
    bool Connected() const override { return FtpClient1.Connected(); }
    bool Login(const LoginTarget& target) override;
    void AfterLogin() override;
    void Logout() override;
    bool ChangeDirectory(const QString& target) override;
    bool FetchListing(QStringList& lines) override;
    bool MachineListing() const override { return m_lastListingMachine; }
    void AbortClick() override;
    bool AbandonOnStop() const override { return Waiting(); }
    void SetTransferMode(bool ascii) override;
    RemoteResult Delete(const QString& dir, const QString& name, const QString& path,
                        bool file) override;
    RemoteResult Rename(const QString& dir, const QString& oldName,
                        const QString& newName) override;
    RemoteResult MakeDirectory(const QString& name) override;
    RemoteResult ChangeMode(const QString& name, const QString& octal, int mode) override;
    void AfterScriptLogin() override;
    bool AsciiMode() const override { return !FtpClient1.Binary; }
    TransferRules Rules() const override { return {}; }
    RemoteResult Get(const FileTransfer& transfer) override;
    RemoteResult Put(const FileTransfer& transfer) override;
    // From MDTM where the server announced it.
    QDateTime ModificationTime(const QString& dir, const QString& name) override;
    // With MFMT where the server announced it.
    RemoteResult SetModificationTime(const QString& dir, const QString& name,
                                     const QDateTime& time) override;
    RemoteResult Command(const QString& line) override;
    QString ExchangeListOptions(const QString& options) override;

    // Milliseconds a request may stand still before it is given up: Timeout x 1000 - 5000.
    qint64 TimeoutBudgetMs() const;
    // True while AsyncCall waits for a request.
    bool Waiting() const { return !m_wait.isNull(); }
    // What the server announced at login (nothing when it refused FEAT).
    const FtpFeatures& Features() const { return m_features; }

private:
    // Starts the engine operation of Request; false for a name that is not one.
    bool StartRequest(const QString& request);
    // The last request's outcome, from the request error list and the engine's last code.
    RemoteResult RequestResult() const;
    void Wake();
    // Runs a request whose failure is expected on some servers: logged, never shown in a box,
    // and kept out of the session's error list. True when it succeeded.
    bool QuietCall(const QString& request);
    // Asks FEAT; where machine listings are allowed and offered, turns on the facts they need
    // and lists with MLSD from then on.
    void ReadFeatures(bool machineListingsAllowed);
    // Lists with MLSD into the session's listing lines; on a refusal machine listings are
    // given up for the rest of the session.
    bool FetchMachineListing();
    // The listing goes to the temporary listing file, in text mode.
    void PrepareListingFetch();
    // The engine names a file relative to the server's working directory: a file elsewhere goes
    // by its full path.
    QString ServerFileName(const QString& dir, const QString& name) const;
    // Runs the transfer Request (GET, RESTGET, PUT, RESTPUT) with Transfer's progress.
    RemoteResult Transfer(const QString& request, const FileTransfer& transfer);

    Session& m_session;
    UserInterface& m_ui;
    bool m_done = false;
    bool m_quiet = false;
    QPointer<QEventLoop> m_wait;
    FtpFeatures m_features;
    bool m_useMachineListings = false;
    bool m_lastListingMachine = false;
    // The last line this session logged said a listing completed.
    bool m_afterListingCompleted = false;
};

// The kind of failure an FTP reply code (or the engine's own code in the same form) stands for.
RemoteErrorKind FtpErrorKind(int code);
