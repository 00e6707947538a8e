#pragma once

#include <QString>

#include <vector>

class SettingsStore;
struct RunState;
class RemotePane;
class Session;
class Transfers;
class UserInterface;

// Deleting, renaming, creating directories and changing permissions on the server: one worker
// per operation (also called by scripts) and the handler of its button or menu entry, which
// goes through the selection, asks the questions and keeps the remote list in step.
class RemoteOperations {
public:
    RemoteOperations(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                     RemotePane& pane);

    // Type "F" or empty: a file; anything else a directory. True when it was deleted.
    bool RemoteDelete(const QString& dir, const QString& name, const QString& type);
    void DeleteRemoteActions(const std::vector<int>& selectedRows);
    bool RenameRemoteFileOrDir(const QString& oldName, const QString& newName, const QString& dir);
    void RemoteRenameActions(const std::vector<int>& selectedRows);
    bool MakeRemoteDirectory(const QString& name);
    void btnMkdirClick();
    void ChmodActions(const std::vector<int>& selectedRows);
    // The permission column of the list row called Name; false when there is none.
    bool SetPermissionsInListviewOfNamedFile(const QString& name, const QString& permissions);

private:
    bool Zos() const;
    // The common refusals of every handler; true when it may go on.
    bool MayStart();
    enum class FolderDeletion { Empty, Deleted, Kept };
    // The folder Name of Dir with what it holds: listed first (links are never followed), then,
    // when it is not empty and the person agrees, its files and links are deleted, then its
    // folders deepest first, then the folder itself, stopping at the first failure. Empty: the
    // folder holds nothing, nothing was done.
    FolderDeletion DeleteFolderTree(const QString& dir, const QString& name);

    SettingsStore& m_store;
    RunState& m_run;
    Session& m_session;
    RemotePane& m_pane;
    UserInterface& m_ui;
};
