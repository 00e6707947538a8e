#pragma once

#include <QDateTime>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include "session/remote_session.h"

class Session;

// A remote file system in memory behind RemoteSession, for tests of the rules above it that run
// in milliseconds: folders and files by full path, a login that needs the right password, a
// connection that can drop, and refusals on demand.
class MemoryRemote : public RemoteSession {
public:
    explicit MemoryRemote(Session& session);
    ~MemoryRemote() override;

    QString password = "right";
    QString home = "/home/u";
    QSet<QString> dirs{"/", "/home", "/home/u"};
    QMap<QString, QByteArray> files;  // full path -> contents
    QMap<QString, QDateTime> times;   // exact times the server gives (MDTM)
    QMap<QString, QString> links;     // full path -> target
    QSet<QString> refused;            // paths every change to fails, as a server's 550
    // Transfers of a path that fail (426, the connection kept) before one works.
    QMap<QString, int> failures;
    // Transfers of a path during which the connection drops, half the bytes moved.
    QSet<QString> dropDuring;
    // Transfers of a path that stand still until the request is given up, as a dispatcher
    // does it on its time-out.
    QSet<QString> timeOutDuring;
    QStringList requests;  // what was asked, in order ("DELE /home/u/a.txt", ...)
    TransferRules rules;
    bool up = false;
    bool ascii = false;

    // The server drops the connection; the session hears of it as from an engine.
    void Drop();

    bool IsSftp() const override { return false; }
    bool Connected() const override { return up; }
    bool Login(const LoginTarget& target) override;
    void AfterLogin() override {}
    void Logout() override;
    bool ChangeDirectory(const QString& target) override;
    bool FetchListing(QStringList& lines) override;
    void SetTransferMode(bool toAscii) override;
    bool AsciiMode() const override { return ascii; }
    TransferRules Rules() const override { return rules; }
    RemoteResult Get(const FileTransfer& transfer) override;
    RemoteResult Put(const FileTransfer& transfer) override;
    QDateTime ModificationTime(const QString& dir, const QString& name) override;
    RemoteResult Command(const QString& line) override;
    RemoteResult Delete(const QString& dir, const QString& name, const QString& path,
                        bool file) override;
    RemoteResult Rename(const QString& dir, const QString& oldName,
                        const QString& newName) override;
    RemoteResult MakeDirectory(const QString& name) override;
    RemoteResult ChangeMode(const QString& name, const QString& octal, int mode) override;
    void AbortClick() override {}

private:
    // The outcome of a change to Path: refused when the test said so (noted in the session's
    // request error list, as the engines do).
    RemoteResult Change(const QString& request, const QString& path);
    QString Full(const QString& dir, const QString& name) const;
    // A transfer of Path: counts down its failures, drops the connection when asked; Move
    // moves the bytes (Half: only half of them).
    RemoteResult Transfer(const QString& request, const QString& path,
                          const std::function<void(bool half)>& move);

    Session& m_session;
};

#include "app/scripted_user_interface.h"
#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "session/session.h"
#include "transfer/remote_operations.h"
#include "transfer/transfers.h"

// The session, the remote pane and the remote operations built alone, as AppCore builds them,
// over a MemoryRemote: a site "Mem" whose user "u" has the stored password "right".
struct MemorySubjects {
    ScriptedUserInterface ui;
    SettingsStore store{ui};
    RunState run;
    Session session{store, run, ui};
    RemotePane pane{store.settings, session, ui, [] { return 0.0; }};
    RemoteOperations operations{store, run, ui, session, pane};
    LocalPane local{ui, store.settings};
    BatchSender batches{store, run, ui, session};
    Transfers transfers{store, run, ui, session, pane, local, operations, batches};
    MemoryRemote remote{session};

    MemorySubjects();
    // Stores Password (scrambled) as the site's.
    void StorePassword(const QString& password);
    // The rows of the remote list showing Names.
    std::vector<int> Rows(const QStringList& names) const;
};
