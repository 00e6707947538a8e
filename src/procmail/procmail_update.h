#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class ScriptRunner;
class SettingsStore;
struct AppPaths;
struct RunState;
class LocalPane;
class RemoteOperations;
class RemotePane;
class Session;
class Transfers;
class UserInterface;
struct ProcmailQuery;
struct LockOwner;
struct RemoteEntry;

// The guarded edit cycle of the account's mail recipe: a lock file on the server, the live
// ".procmailrc" fetched and its description extracted, edited and regenerated until it is free
// of errors, uploaded beside the live one and swapped in with the previous one kept, and the
// lock released. Over the current FTP or SFTP session; reaches the person through UserInterface.
class ProcmailUpdate {
public:
    ProcmailUpdate(SettingsStore& store, RunState& run, const AppPaths& paths, UserInterface& ui,
                   Session& session, RemotePane& pane, LocalPane& local, Transfers& transfers,
                   RemoteOperations& operations, ScriptRunner& scripts);

    // "procmail" in the remote directory box: the whole cycle.
    void ProcmailClickActions();
    // The confirmation dialog's texts for Directory and the local pane's selection.
    ProcmailQuery SetProcmailQueryText(const QString& directory);
    // Releases a lock still held (when connected), refreshes the local pane, enables the panes.
    void ProcmailDelLockfileResetGrids();
    // The local procmail folder, created when missing: the setting, else the program's own.
    QString LocalProcmailDirectory();

    // Writes the recipe beside the MDL file at Path; Completed tells whether it is free of
    // errors. The window shows its generation window; the default writes it directly.
    std::function<bool(const QString& mdlPath, bool* completed)> generate;
    // The clock of the lock name and the revision line (tests replace it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // Runs just before the new lock is uploaded (tests race a second person here).
    std::function<void()> beforeLockWrite;

    // The lock of the running cycle; held when this cycle wrote it.
    QString lockName;
    bool lockHeld = false;

private:
    // The cycle once the person said Yes; returns at any failure (End releases the lock).
    void Cycle(const QString& directory);
    bool EnterHome();
    void RefreshListing();
    const RemoteEntry* Listed(const QString& name) const;
    // Fetches a lock and reads its owner; the message naming it is filled in.
    bool ReadLockOwner(const QString& name, const QString& directory, LockOwner& owner,
                       QString& message);
    bool ScanLocks(const QString& directory);
    bool WriteLock(const QString& directory);
    bool FetchRecipe(const QString& directory);
    // The edit loop; true when a recipe free of errors was generated.
    bool EditUntilClean(const QString& mdlFile, const QString& copyBase);
    bool GenerateProcmailRecipe(const QString& mdlPath);
    void SwapInNewRecipe(const QString& directory);
    bool RemoteDeleteFile(const QString& name);
    bool RemoteRename(const QString& from, const QString& to);
    void ReleaseLock();
    void Error(const QString& text);
    LockOwner Me() const;
    bool UploadText(const QString& remoteName, const QString& localPath, bool exactBytes);

    SettingsStore& m_store;
    RunState& m_run;
    const AppPaths& m_paths;
    UserInterface& m_ui;
    Session& m_session;
    RemotePane& m_pane;
    LocalPane& m_local;
    Transfers& m_transfers;
    RemoteOperations& m_operations;
    ScriptRunner& m_scripts;
    bool m_proceed = false;
    bool m_regenerate = false;
    bool m_panesDisabled = false;
    QString m_chosenFile = "?";  // the local file to regenerate from, "?" for none
};
