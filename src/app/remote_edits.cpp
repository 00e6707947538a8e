#include "app/remote_edits.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QThread>

#include "config/words.h"
#include "listing/remote_listing.h"
#include "panes/remote_pane.h"
#include "platform/platform.h"
#include "runtime/busy_scope.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"
#include "script/script_text.h"
#include "session/session.h"
#include "transfer/transfers.h"

namespace {

// The content's fingerprint: a save that leaves the bytes as they were is not a change.
QByteArray Hash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;

}  // namespace

RemoteEdits::RemoteEdits(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                         RemotePane& pane, Transfers& transfers)
    : m_store(store),
      m_run(run),
      m_ui(ui),
      m_session(session),
      m_pane(pane),
      m_transfers(transfers) {
    m_sweep.setSingleShot(true);
    connect(&m_sweep, &QTimer::timeout, this, &RemoteEdits::Sweep);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &RemoteEdits::Changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &RemoteEdits::Changed);
}

RemoteEdits::~RemoteEdits() {
    for (auto& [id, edit] : m_edits) {
        delete edit.editorEnd;
        platform::CloseProcessEndHandle(edit.editorHandle);
    }
    // The private folder and every copy in it go with m_folder.
}

QString RemoteEdits::SiteName() const {
    const SiteProfile& site = m_store.settings.site;
    return site.userid + "@" + site.domain + " (" + site.siteName + ")";
}

int RemoteEdits::Find(const QString& remoteDir, const QString& name) const {
    for (const auto& [id, edit] : m_edits) {
        if (edit.site == SiteName() && edit.remoteDir == remoteDir && edit.name == name) {
            return id;
        }
    }
    return 0;
}

QString RemoteEdits::LocalCopy(const QString& remoteDir, const QString& name) const {
    for (const auto& [id, edit] : m_edits) {
        if (edit.remoteDir == remoteDir && edit.name == name) {
            return edit.localPath;
        }
    }
    return {};
}

void RemoteEdits::Edit(const std::vector<int>& rows) {
    if (m_working || m_run.batchTransferRunning || m_run.scriptRunning) {
        return;
    }
    std::vector<RemoteItem> files;
    for (const RemoteItem& item : m_pane.SaveSelectedRemoteItems(rows)) {
        if (item.type == 'F') {
            files.push_back(item);
        }
    }
    if (files.empty()) {
        m_ui.ShowColorMsg("Please select a remote file to edit");
        return;
    }
    if (m_store.settings.common.favoredEditor.trimmed().isEmpty()) {
        m_ui.ShowColorMsg(
            "No favoured editor is set: choose one in Options > Settings, then "
            "try again.");
        return;
    }
    if (m_session.RedLightDisconnectedState()) {
        m_ui.ShowColorMsg("Please try again after a connection is established.");
        return;
    }
    m_working = true;
    const auto done = qScopeGuard([this] { m_working = false; });
    const BusyScope busy(m_ui);
    const QString dir = m_session.currentRemoteDir;
    for (const RemoteItem& item : files) {
        if (const int open = Find(dir, item.name)) {
            m_ui.LogText(item.name + " is already open for editing");
            StartEditor(open);
        } else if (!Fetch(item.name, item.size, item.modified) && !m_session.Connected()) {
            break;
        }
    }
}

bool RemoteEdits::Fetch(const QString& name, qint64 size, const QString& modified) {
    if (!m_folder) {
        // Owner-only: the copies may hold what the site keeps private.
        m_folder = std::make_unique<QTemporaryDir>(
            QDir(platform::TempFolder()).filePath("vorlen-edit-XXXXXX"));
        if (!m_folder->isValid() || !QFile::setPermissions(m_folder->path(), kOwnerOnly)) {
            m_ui.ShowColorMsg("Cannot create a private folder for the edited files in " +
                              platform::TempFolder());
            m_folder.reset();
            return false;
        }
    }
    const int id = m_nextId++;
    const QString folder = m_folder->filePath(QString::number(id));
    if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, kOwnerOnly)) {
        m_ui.ShowColorMsg("Cannot create the folder " + folder);
        return false;
    }
    OpenEdit edit;
    edit.site = SiteName();
    edit.remoteDir = m_session.currentRemoteDir;
    edit.name = name;
    edit.localPath = QDir(folder).filePath(name);
    edit.remoteSize = size;
    edit.remoteModified = modified;
    edit.remoteExact = m_session.Remote()->ModificationTime(edit.remoteDir, name);
    m_ui.SetResumeTicked(false);  // an edit starts from the whole file
    m_transfers.transferSize = size;
    m_transfers.SetXferModeFromRgrp(name);
    m_transfers.DownloadFile(name, edit.localPath, edit.remoteDir);
    if (!m_transfers.lastTransferOk || !QFileInfo(edit.localPath).isFile()) {
        QDir(folder).removeRecursively();
        m_ui.LogText(name + " could not be fetched for editing");
        return false;
    }
    edit.sentHash = Hash(edit.localPath);
    m_watcher.addPath(edit.localPath);
    m_watcher.addPath(folder);  // editors that save by replacing the file
    m_ui.LogText("Editing " + JoinRemotePath(m_session.Zos(), edit.remoteDir, name) +
                 " in a private copy: each save is offered for upload");
    m_edits.emplace(id, std::move(edit));
    if (!StartEditor(id)) {
        Close(id);  // nothing can change the copy
        return false;
    }
    return true;
}

bool RemoteEdits::StartEditor(int id) {
    OpenEdit& edit = m_edits.at(id);
    const QString editor = m_store.settings.common.favoredEditor.trimmed();
    // As in the recipe's edit cycle: the setting may carry switches, unless it names a file.
    QStringList parts = QFileInfo::exists(editor) ? QStringList{editor} : ProgramArguments(editor);
    if (parts.isEmpty()) {
        return false;
    }
    const QString program = parts.takeFirst();
    qint64 pid = 0;
    // Detached: the editor and its unsaved work outlive this program if it closes first.
    if (!QProcess::startDetached(program, parts + EditorArguments(program, edit.localPath),
                                 QString(), &pid)) {
        m_ui.ShowColorMsg("The editor " + program +
                          " could not be started: choose one in Options > Settings "
                          "(Preferred Text Editor).");
        return false;
    }
    delete edit.editorEnd;
    edit.editorEnd = nullptr;
    platform::CloseProcessEndHandle(edit.editorHandle);
    edit.editorEnded = false;
    edit.editorHandle = platform::ProcessEndHandle(pid);
    if (edit.editorHandle >= 0) {
        edit.editorEnd = new QSocketNotifier(edit.editorHandle, QSocketNotifier::Read, this);
        QElapsedTimer started;
        started.start();
        connect(edit.editorEnd, &QSocketNotifier::activated, this, [this, id, started] {
            const auto it = m_edits.find(id);
            if (it == m_edits.end()) {
                return;
            }
            it->second.editorEnd->setEnabled(false);
            // Many editors hand the file to a window already open and return at once: such a
            // copy stays watched until the program closes.
            if (started.elapsed() >= editorQuickReturnMs) {
                it->second.editorEnded = true;
                m_sweep.start(settleMs);
            }
        });
    }
    return true;
}

void RemoteEdits::Changed() {
    // An editor that saves by writing a new file and renaming it ends the old file's watch.
    const QStringList watched = m_watcher.files();
    for (const auto& [id, edit] : m_edits) {
        if (!watched.contains(edit.localPath) && QFileInfo::exists(edit.localPath)) {
            m_watcher.addPath(edit.localPath);
        }
    }
    m_sweep.start(settleMs);
}

void RemoteEdits::Sweep() {
    // Nothing starts inside another command's wait or a dialog: the sweep comes back later.
    if (m_working || m_run.batchTransferRunning || m_run.scriptRunning ||
        QThread::currentThread()->loopLevel() > 1) {
        m_sweep.start(1000);
        return;
    }
    m_working = true;
    const auto done = qScopeGuard([this] { m_working = false; });
    std::vector<int> finished;
    for (auto& [id, edit] : m_edits) {
        const QByteArray now = Hash(edit.localPath);
        if (!now.isEmpty() && now != edit.sentHash && now != edit.declinedHash) {
            Send(edit, true);
        }
        if (edit.editorEnded && Hash(edit.localPath) == edit.sentHash) {
            finished.push_back(id);
        }
    }
    for (const int id : finished) {
        Close(id);
    }
}

bool RemoteEdits::ServerState(const OpenEdit& edit, qint64& size, QString& modified,
                              QDateTime& exact) {
    if (!m_pane.EnterRemoteDirectory(edit.remoteDir, true)) {
        return false;
    }
    const RemoteEntry* entry = RemoteEntryNamed(m_pane.listing.files, edit.name);
    if (!entry) {
        return false;
    }
    size = entry->size;
    modified = entry->modified;
    exact = m_session.Remote()->ModificationTime(edit.remoteDir, edit.name);
    return true;
}

bool RemoteEdits::Send(OpenEdit& edit, bool ask) {
    const QByteArray hash = Hash(edit.localPath);
    const QString path = JoinRemotePath(m_session.Zos(), edit.remoteDir, edit.name);
    auto keep = [&](const QString& why) {
        edit.declinedHash = hash;
        m_ui.LogText("The changes to " + edit.name + " stay on this machine" + why);
        return false;
    };
    if (ask && !edit.always) {
        switch (m_ui.AskUploadEdited(edit.name)) {
            case EditedUpload::Keep:
                return keep(QString());
            case EditedUpload::Always:
                edit.always = true;
                break;
            case EditedUpload::Upload:
                break;
        }
    }
    if (edit.site != SiteName()) {
        m_ui.ShowColorMsg(edit.name + " was opened from " + edit.site +
                          ", which is not the site logged in to: it is not uploaded.");
        return keep(QString());
    }
    if (m_session.RedLightDisconnectedState()) {
        m_ui.ShowColorMsg("Please try again after a connection is established.");
        return keep(": not connected");
    }
    const BusyScope busy(m_ui);
    const QString userDir = m_session.currentRemoteDir;
    const auto back = qScopeGuard([&] {
        if (m_session.Connected() && NormalisedRemoteDir(m_session.Zos(), userDir) !=
                                         NormalisedRemoteDir(m_session.Zos(), edit.remoteDir)) {
            m_pane.EnterRemoteDirectory(userDir);
        }
    });
    qint64 size = 0;
    QString modified;
    QDateTime exact;
    if (!ServerState(edit, size, modified, exact)) {
        if (!m_session.Connected()) {
            return keep(": the connection is lost");
        }
        if (!m_ui.ConfirmYesNo("The file " + path +
                               " is no longer on the server. Upload the edited copy?")) {
            return keep(QString());
        }
    } else if (size != edit.remoteSize ||
               (exact.isValid() && edit.remoteExact.isValid() ? exact != edit.remoteExact
                                                              : modified != edit.remoteModified)) {
        // Someone else changed it since it was fetched: their work would be lost silently.
        if (m_ui.ColorMsgDlg("The file " + path +
                                 " has changed on the server since it was opened for editing "
                                 "(now " +
                                 GroupThousands(size) + " bytes, " + modified +
                                 ").\r\n\r\nOverwrite it with the edited copy?",
                             MsgDlgType::Warning,
                             MsgDlgBtn::Yes | MsgDlgBtn::No) != ModalResult::Yes) {
            return keep(": the server's copy changed");
        }
    }
    m_ui.SetResumeTicked(false);  // the whole edited file replaces the server's
    m_transfers.transferSize = QFileInfo(edit.localPath).size();
    m_transfers.SetXferModeFromRgrp(edit.name);
    m_transfers.UploadFileKeepingCase(edit.name, edit.localPath, false);
    if (!m_transfers.lastTransferOk) {
        m_ui.LogText("The edited file " + path + " was not uploaded");
        return false;
    }
    edit.sentHash = hash;
    edit.declinedHash.clear();
    if (!ServerState(edit, edit.remoteSize, edit.remoteModified, edit.remoteExact)) {
        edit.remoteExact = QDateTime();
    }
    m_ui.LogText("Uploaded the edited file " + path);
    return true;
}

void RemoteEdits::Close(int id) {
    const auto it = m_edits.find(id);
    if (it == m_edits.end()) {
        return;
    }
    OpenEdit& edit = it->second;
    delete edit.editorEnd;
    platform::CloseProcessEndHandle(edit.editorHandle);
    const QString folder = QFileInfo(edit.localPath).absolutePath();
    m_watcher.removePaths({edit.localPath, folder});
    QDir(folder).removeRecursively();
    m_ui.LogText("Finished editing " + edit.name + ": its temporary copy is removed");
    m_edits.erase(it);
}

QStringList RemoteEdits::UnsentChanges() const {
    QStringList names;
    for (const auto& [id, edit] : m_edits) {
        const QByteArray now = Hash(edit.localPath);
        if (!now.isEmpty() && now != edit.sentHash) {
            names << edit.name;
        }
    }
    return names;
}

bool RemoteEdits::ConfirmClose() {
    QStringList names = UnsentChanges();
    if (m_working || names.isEmpty()) {
        return true;
    }
    const bool one = names.size() == 1;
    const ModalResult answer = m_ui.ColorMsgDlg(
        QString(one ? "The edited file %1 has changes" : "The edited files %1 have changes")
                .arg(names.join(", ")) +
            " that are not on the server.\r\n\r\nUpload them before closing?",
        MsgDlgType::Confirmation, MsgDlgBtn::Yes | MsgDlgBtn::No | MsgDlgBtn::Cancel);
    if (answer == ModalResult::Cancel) {
        return false;
    }
    if (answer != ModalResult::Yes) {
        return true;
    }
    m_working = true;
    const auto done = qScopeGuard([this] { m_working = false; });
    for (auto& [id, edit] : m_edits) {
        if (names.contains(edit.name) && Hash(edit.localPath) != edit.sentHash) {
            Send(edit, false);
        }
    }
    names = UnsentChanges();
    return names.isEmpty() ||
           m_ui.ConfirmYesNo("Not uploaded: " + names.join(", ") + ". Close all the same?");
}
