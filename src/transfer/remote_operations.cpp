#include "transfer/remote_operations.h"

#include "listing/zos_names.h"
#include "panes/remote_pane.h"
#include "runtime/busy_scope.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"
#include "session/session.h"
#include "transfer/transfer_rules.h"

RemoteOperations::RemoteOperations(SettingsStore& store, RunState& run, UserInterface& ui,
                                   Session& session, RemotePane& pane)
    : m_store(store), m_run(run), m_session(session), m_pane(pane), m_ui(ui) {}

bool RemoteOperations::Zos() const {
    return m_store.settings.zosMode;
}

bool RemoteOperations::MayStart() {
    if (m_session.RedLightDisconnectedState()) {
        m_ui.ShowColorMsg("Please try again after a connection is established.");
        return false;
    }
    return !m_run.batchTransferRunning;
}

// ---- Delete --------------------------------------------------------------------------------

bool RemoteOperations::RemoteDelete(const QString& dir, const QString& name, const QString& type) {
    if (!m_session.CheckConnection()) {
        return false;
    }
    const bool file = type.isEmpty() || type.at(0).toUpper() == 'F';
    const QString kind = file ? "file" : "directory";
    m_pane.ReenterCurrentDir();
    m_session.requestErrorList.clear();
    m_ui.StatusBarGeneral(" Deleting remote " + kind + " " + name);
    const QString path = RemoteDeletePath(Zos(), dir, name);
    m_ui.LogText("Delete issued for " + path);
    m_session.ShowAbortButton("Cancel");
    const bool ok = m_session.Remote()->Delete(dir, name, path, file).Ok();
    m_session.HideAbortButton();
    const QString outcome = ok ? " Remote " + kind + " deletion complete."
                               : " Problem deleting remote " + kind + " " + name;
    m_ui.StatusBarGeneral(outcome);
    m_ui.LogText(outcome);
    return ok;
}

void RemoteOperations::DeleteRemoteActions(const std::vector<int>& selectedRows) {
    if (!MayStart()) {
        return;
    }
    const std::vector<RemoteItem> items = m_pane.SaveSelectedRemoteItems(selectedRows);
    if (items.empty()) {
        m_ui.ShowColorMsg("No remote files have been selected for deletion");
        return;
    }
    const BusyScope busy(m_ui, &m_run.batchTransferRunning);
    bool yesToAll = false;
    bool anyDeleted = false;
    const QString dir = QuotedNameIfMVS(Zos(), m_session.currentRemoteDir);
    for (const RemoteItem& item : items) {
        if (item.type == 'L') {
            m_ui.ShowColorMsg("Cannot delete a remote link such as " + item.name);
            continue;
        }
        if (item.type == 'D' && item.name == "..") {
            m_ui.ShowColorMsg("Cannot delete containing directory (\"..\")");
            continue;
        }
        if (item.type != 'F' && item.type != 'D') {
            continue;
        }
        if (!yesToAll) {
            const ModalResult answer = m_ui.ColorMsgDlg(
                QString("Delete remote %1 named %2?")
                    .arg(item.type == 'F' ? "file" : "directory", item.name),
                MsgDlgType::Confirmation, MsgDlgBtn::Yes | MsgDlgBtn::No | MsgDlgBtn::YesToAll);
            if (answer == ModalResult::YesToAll) {
                yesToAll = true;
            } else if (answer != ModalResult::Yes) {
                continue;
            }
        }
        const FolderDeletion folder =
            item.type == 'D' && !Zos() ? DeleteFolderTree(dir, item.name) : FolderDeletion::Empty;
        if (folder == FolderDeletion::Kept) {
            continue;
        }
        if (folder == FolderDeletion::Empty) {
            RemoteDelete(dir, item.name, QString(item.type));
        }
        if (!m_session.requestErrorList.isEmpty()) {
            m_ui.ShowColorMsg("Possible error deleting " + item.name + " error code " +
                              m_session.requestErrorList);
            m_ui.StatusBarGeneral(" Problem deleting " + item.name);
            continue;
        }
        auto& list = item.type == 'F' ? m_pane.listing.files : m_pane.listing.dirs;
        const auto found = std::find_if(list.begin(), list.end(),
                                        [&](const RemoteEntry& e) { return e.name == item.name; });
        if (found != list.end()) {
            const int index = int(found - list.begin());
            if (item.type == 'F') {
                RemoteArrayDel(m_pane.listing, index, m_pane.cache, Zos(),
                               m_session.currentRemoteDir);
            } else {
                RemoteArrayDirDel(m_pane.listing, index, m_pane.cache, Zos(),
                                  m_session.currentRemoteDir);
            }
        }
        anyDeleted = true;
        m_ui.StatusBarGeneral(" Deletion of remote " + item.name + " complete.");
    }
    if (anyDeleted) {
        m_pane.SortRemoteArraysAndPopulateListview();
        m_ui.StatusBarGeneral(" Finished deleting.");
    } else {
        m_ui.StatusBarGeneral(" Finished, no remote files or directories were deleted.");
    }
}

RemoteOperations::FolderDeletion RemoteOperations::DeleteFolderTree(const QString& dir,
                                                                    const QString& name) {
    const QString top = JoinRemotePath(false, dir, name);
    // Breadth first, so that the folders deleted in reverse order go deepest first.
    QStringList folders{top};
    QStringList files;
    bool listed = true;
    for (qsizetype i = 0; listed && i < folders.size(); ++i) {
        listed = m_pane.EnterRemoteDirectory(folders[i], true);
        if (!listed) {
            break;
        }
        const RemoteListing& listing = m_pane.listing;
        for (const auto* list : {&listing.dirs, &listing.files}) {
            for (const RemoteEntry& entry : *list) {
                const QString path = JoinRemotePath(false, folders[i], entry.name);
                const bool folder = list == &listing.dirs && !entry.permissions.startsWith('l');
                (folder ? folders : files).append(path);
            }
        }
    }
    // Back where the person was before anything is deleted: a server may refuse to remove its
    // working directory, and the list shows the folder asked about.
    m_pane.EnterRemoteDirectory(dir, true);
    if (!listed && folders.size() == 1) {
        return FolderDeletion::Empty;  // not to be looked into: the server decides alone
    }
    if (!listed) {
        m_ui.ShowColorMsg("Cannot list the folder " + top + ", so it was not deleted.");
        return FolderDeletion::Kept;
    }
    const qsizetype subfolders = folders.size() - 1;
    if (files.isEmpty() && subfolders == 0) {
        return FolderDeletion::Empty;
    }
    auto counted = [](qsizetype files, qsizetype folders) {
        return QStringLiteral("%1 file%2 and %3 folder%4")
            .arg(files)
            .arg(files == 1 ? "" : "s")
            .arg(folders)
            .arg(folders == 1 ? "" : "s");
    };
    const QString counts = counted(files.size(), subfolders);
    if (m_ui.ColorMsgDlg("The folder " + name + " is not empty: delete it with its " + counts + "?",
                         MsgDlgType::Confirmation,
                         MsgDlgBtn::Yes | MsgDlgBtn::No) != ModalResult::Yes) {
        return FolderDeletion::Kept;
    }
    auto remove = [this](const QString& path, const char* type) {
        const qsizetype cut = path.lastIndexOf('/');
        return RemoteDelete(cut > 0 ? path.left(cut) : "/", path.mid(cut + 1), type);
    };
    qsizetype filesLeft = files.size();
    qsizetype foldersLeft = folders.size();
    QString failed;
    for (const QString& path : files) {
        if (!remove(path, "F")) {
            failed = path;
            break;
        }
        --filesLeft;
    }
    for (qsizetype i = folders.size() - 1; failed.isEmpty() && i >= 0; --i) {
        if (!remove(folders[i], "D")) {
            failed = folders[i];
            break;
        }
        m_pane.cache.RemoveRemDirFromCache(false, folders[i]);
        --foldersLeft;
    }
    m_pane.EnterRemoteDirectory(dir, true);
    if (!failed.isEmpty()) {
        const QString text =
            "Deleting the folder " + top + " stopped: " + failed +
            " could not be deleted. Left on the server: " + counted(filesLeft, foldersLeft) +
            " (the folder itself included).";
        m_ui.LogText(text);
        m_ui.ShowColorMsg(text);
        return FolderDeletion::Kept;
    }
    m_session.requestErrorList.clear();
    m_ui.LogText("Deleted the folder " + top + " with its " + counts);
    return FolderDeletion::Deleted;
}

// ---- Rename --------------------------------------------------------------------------------

bool RemoteOperations::RenameRemoteFileOrDir(const QString& oldName, const QString& newName,
                                             const QString& dir) {
    if (!m_session.CheckConnection()) {
        return false;
    }
    m_session.requestErrorList.clear();
    m_ui.StatusBarGeneral(" Renaming remote file " + oldName + " to " + newName);
    m_ui.LogText("ren " + oldName + " " + newName);
    const bool ok = m_session.Remote()->Rename(dir, oldName, newName).Ok();
    if (!ok) {
        const QString text = "  Problem renaming remote file " + oldName + " to " + newName;
        m_ui.StatusBarGeneral(text);
        m_ui.LogText(text);
    }
    return ok;
}

void RemoteOperations::RemoteRenameActions(const std::vector<int>& selectedRows) {
    if (!MayStart()) {
        return;
    }
    m_pane.AddRemDirToCmbx(m_session.currentRemoteDir, false);
    const std::vector<RemoteItem> items = m_pane.SaveSelectedRemoteItems(selectedRows);
    if (items.empty()) {
        m_ui.ShowColorMsg("No remote file selected for rename.");
        m_ui.StatusBarGeneral("Finished, no remote files renamed.");
        return;
    }
    const BusyScope busy(m_ui, &m_run.batchTransferRunning);
    m_pane.ReenterCurrentDir();
    bool anyRenamed = false;
    auto findIn = [](std::vector<RemoteEntry>& list, const QString& name) {
        return std::find_if(list.begin(), list.end(),
                            [&](const RemoteEntry& e) { return e.name == name; });
    };
    for (const RemoteItem& item : items) {
        QString newName = item.name;
        if (!m_ui.InputQuery("Remote file rename", "Please supply new name for " + item.name + " :",
                             newName) ||
            !m_session.CheckConnection()) {
            break;
        }
        RemoteListing& listing = m_pane.listing;
        const bool fileThere = findIn(listing.files, newName) != listing.files.end();
        const bool dirThere = findIn(listing.dirs, newName) != listing.dirs.end();
        bool overwrite = false;
        QString refusal;
        if (newName == item.name) {
            refusal = "Cannot rename a file or directory to the name it already has.";
        } else if (fileThere && item.type == 'D') {
            refusal = "Cannot rename a directory to " + newName +
                      " since a file with the same name is present in the same directory";
        } else if (fileThere && item.type == 'F') {
            if (m_ui.ColorMsgDlg(
                    "Existing file called " + newName +
                        " will be overwritten, press OK to proceed or CANCEL to abort.",
                    MsgDlgType::Confirmation,
                    MsgDlgBtn::OK | MsgDlgBtn::Cancel) != ModalResult::OK) {
                break;
            }
            overwrite = true;
        } else if (dirThere) {
            refusal = item.type == 'D'
                          ? "Directory rename to " + newName +
                                " not carried out since a directory with the same name is present."
                          : "File rename to " + newName +
                                " not carried out since a directory with the same name is present "
                                "in the same directory.";
        } else if (item.type == 'D' && item.name == "..") {
            refusal = "Cannot rename a directory named ..";
        } else if (item.type == 'L') {
            refusal = "Cannot rename a remote link such as " + item.name;
        }
        if (!refusal.isEmpty()) {
            m_ui.ShowColorMsg(refusal);
            break;
        }
        if (newName.trimmed().isEmpty()) {
            m_ui.ShowColorMsg("Cannot rename " + item.name +
                              " because no new name was supplied for it");
            continue;
        }
        const bool ok = RenameRemoteFileOrDir(item.name, newName, m_session.currentRemoteDir);
        if (!m_session.Connected()) {
            m_ui.ShowColorMsg("Connection lost, rename not done.");
            break;
        }
        if (ok) {
            auto& list = item.type == 'F' ? listing.files : listing.dirs;
            if (overwrite) {
                const auto old = findIn(listing.files, newName);
                if (old != listing.files.end()) {
                    RemoteArrayDel(listing, int(old - listing.files.begin()), m_pane.cache, Zos(),
                                   m_session.currentRemoteDir);
                }
            }
            const auto entry = findIn(list, item.name);
            if (entry != list.end()) {
                entry->name = newName;
                entry->extension = RemoteExtension(newName);
            }
            m_pane.cache.RemoveRemDirFromCache(Zos(), m_session.currentRemoteDir);
            anyRenamed = true;
            m_ui.StatusBarGeneral(" Rename of remote file " + item.name + " to " + newName +
                                  " completed.");
        } else {
            m_ui.StatusBarGeneral("Problem with rename of remote file " + item.name + " to " +
                                  newName);
        }
    }
    if (anyRenamed) {
        m_pane.SortRemoteArraysAndPopulateListview();
    }
}

// ---- Directories ---------------------------------------------------------------------------

bool RemoteOperations::MakeRemoteDirectory(const QString& name) {
    if (!m_session.CheckConnection()) {
        return false;
    }
    m_pane.ReenterCurrentDir();
    m_session.requestErrorList.clear();
    m_ui.LogText("mkdir " + name);
    m_session.ShowAbortButton("Cancel");
    const bool ok = m_session.Remote()->MakeDirectory(name).Ok();
    if (!ok) {
        m_ui.LogText("Error with  mkdir " + name);
    }
    m_session.HideAbortButton();
    return ok;
}

void RemoteOperations::btnMkdirClick() {
    if (!MayStart()) {
        return;
    }
    m_store.UpdateSettings();
    QString name;
    if (m_ui.InputQuery("Create Directory", "Enter Directory Name", name) &&
        !name.trimmed().isEmpty()) {
        const BusyScope busy(m_ui, &m_run.batchTransferRunning);
        m_ui.StatusBarGeneral(" Creating remote directory");
        MakeRemoteDirectory(name.trimmed());
        m_pane.cacheUse = false;
        m_pane.RefreshRemoteDirectoryList();
    }
    m_ui.StatusBarGeneral(" Remote directory creation process has finished.");
}

// ---- Permissions ---------------------------------------------------------------------------

bool RemoteOperations::SetPermissionsInListviewOfNamedFile(const QString& name,
                                                           const QString& permissions) {
    RemoteListing& listing = m_pane.listing;
    for (auto* list : {&listing.dirs, &listing.files}) {  // the rows show directories first
        for (RemoteEntry& entry : *list) {
            if (entry.name == name) {
                entry.permissions = permissions;
                const int slot = m_pane.cache.GetCacheIndex(Zos(), m_session.currentRemoteDir);
                if (slot >= 0) {
                    m_pane.cache.CacheCurrentRemoteArrays(slot, Zos(), m_session.currentRemoteDir,
                                                          listing);
                }
                m_ui.RefreshRemoteList();
                return true;
            }
        }
    }
    return false;
}

void RemoteOperations::ChmodActions(const std::vector<int>& selectedRows) {
    if (!MayStart()) {
        return;
    }
    const std::vector<RemoteItem> items = m_pane.SaveSelectedRemoteItems(selectedRows);
    m_store.UpdateSettings();
    if (items.empty()) {
        m_ui.ShowColorMsg("No remote file selected for CHMOD.");
        m_ui.StatusBarGeneral(" Finished, no remote file permissions changed");
        return;
    }
    const BusyScope busy(m_ui, &m_run.batchTransferRunning);
    m_pane.ReenterCurrentDir();
    for (const RemoteItem& item : items) {
        const std::optional<PermissionBoxes> boxes = m_ui.AskPermissions(
            "Set permissions for " + item.name, InitialPermissionBoxes(item.permissions));
        if (!boxes) {
            m_ui.ShowColorMsg("No revised permissions supplied, CHMOD not done.");
            break;
        }
        const QString octal = OctalFromBoxes(*boxes);
        const QString text = PermissionTextFromBoxes(*boxes);
        m_ui.LogText("Numeric permissions value for " + item.name + " is " + octal);
        if (!m_session.CheckConnection()) {
            break;
        }
        m_ui.StatusBarGeneral(" Changing file permissions for " + item.name);
        m_session.ShowAbortButton("Cancel");
        m_session.requestErrorList.clear();
        const bool ok = m_session.Remote()->ChangeMode(item.name, octal, ModeFromOctal(octal)).Ok();
        m_session.HideAbortButton();
        if (ok) {
            const QChar type = item.type == 'D' ? 'D' : 'F';
            m_pane.permissions.Remember(item.name, m_session.currentRemoteDir, type + text);
            m_ui.StatusBarGeneral(" Remote file permissions changed");
            // Shown in the Unix form the listing uses.
            SetPermissionsInListviewOfNamedFile(item.name, (item.type == 'D' ? "d" : "-") + text);
        } else {
            m_ui.StatusBarGeneral(" Problem changinging remote file permissions");
        }
    }
}
