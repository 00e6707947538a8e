#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "session/remote_session.h"
#include "session/sftp_component.h"

class Session;
class Settings;
class UserInterface;
struct RunState;

// An SFTP session: the component SFTP1 and the SFTP paths of login, directory change, listing,
// keep-alive and abort.
class SftpSession : public RemoteSession {
public:
    SftpSession(Session& session, Settings& settings, RunState& run, UserInterface& ui);

    SftpComponent SFTP1;

    bool IsSftp() const override { return true; }
    bool Connected() const override { return SFTP1.Connected(); }
    bool Login(const LoginTarget& target) override;
    bool TellsRefusedPassword() const override { return false; }
    void AfterLogin() override;
    void Logout() override;
    bool ChangeDirectory(const QString& target) override;
    bool FetchListing(QStringList& lines) override;
    void AbortClick() override;
    void SetTransferMode(bool ascii) override;
    RemoteResult Delete(const QString& dir, const QString& name, const QString& path,
                        bool file) override;
    RemoteResult Rename(const QString& dir, const QString& oldName,
                        const QString& newName) override;
    RemoteResult MakeDirectory(const QString& name) override;
    RemoteResult ChangeMode(const QString& name, const QString& octal, int mode) override;
    RemoteResult SetModificationTime(const QString& dir, const QString& name,
                                     const QDateTime& time) override;
    QHash<QString, QDateTime> ListedTimes() const override;

    void Probe() override;
    void AfterFirstScan() override;
    bool AsciiMode() const override { return SFTP1.TransferMode == 1; }
    TransferRules Rules() const override { return {false, false}; }
    RemoteResult Get(const FileTransfer& transfer) override;
    RemoteResult Put(const FileTransfer& transfer) override;

    // The reply holder: "?" while a path query waits for its answer.
    QString replyHolder;
    // Tick of the latest call (drives the keep-alive probe).
    qint64 lastActivity = 0;

    // After the first scan: the real path of a "public_html" entry becomes an alias.
    void RealPathForPublicHTML();
    // Records a call's time (the keep-alive probe runs only after a quiet spell).
    void NoteActivity();
    // Sets what every transfer of the component takes: the site's buffer of KiB (0..32, else
    // the component's choice), resume and progress.
    void PrepareTransfer(int bufferKiB, const FileTransfer& transfer);
    // The full remote path of a transfer's file.
    QString RemotePathOf(const FileTransfer& transfer) const;

    // Where the host keys accepted for the current site are kept (empty without a site name).
    QString KnownHostsFile() const;

private:
    void CheckFingerprint();
    // ssh's questions while it logs in: host keys, passphrases, other prompts.
    std::optional<QString> AnswerPrompt(const SshPrompt& prompt);
    // A host key ssh does not know: true to trust it.
    bool JudgeHostKey(const QString& fingerprint);
    // The described question about a key that differs from the stored one: true to go on.
    bool AcceptChangedKey(const QString& saved, const QString& current);
    bool Connect();
    // A call's outcome, noted in the request error list when it failed.
    RemoteResult CallResult(int code);

    Session& m_session;
    Settings& m_settings;
    RunState& m_run;
    UserInterface& m_ui;
    QString m_fingerprint;
    bool m_keyJudged = false;  // this login's host key was judged while ssh asked
    bool m_passphraseGiven = false;
    int m_lastConnectCode = 0;
    QString m_lastConnectText;
    QString m_partialLine;
    QStringList* m_listing = nullptr;
};

// The kind of failure an SFTP status, or one of the connection's own codes, stands for.
RemoteErrorKind SftpErrorKind(int code);
