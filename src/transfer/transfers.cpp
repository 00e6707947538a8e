#include "transfer/transfers.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "config/words.h"
#include "listing/zos_listing.h"
#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "platform/platform.h"
#include "runtime/busy_scope.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"
#include "session/session.h"
#include "transfer/batch_sender.h"
#include "transfer/remote_operations.h"
#include "transfer/transfer_rules.h"

namespace {

// How often the FTP progress display is refreshed while bytes move.
constexpr qint64 kProgressIntervalMs = 100;

QString ModeWord(int modeIndex) {
    return modeIndex == 1 ? QStringLiteral("ASCII") : QStringLiteral("binary");
}

}  // namespace

Transfers::Transfers(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                     RemotePane& pane, LocalPane& local, RemoteOperations& operations,
                     BatchSender& batches)
    : m_store(store),
      m_run(run),
      m_session(session),
      m_pane(pane),
      m_local(local),
      m_operations(operations),
      m_batches(batches),
      m_ui(ui) {}

namespace {

// A listing's "YYYY-MM-DD   HH:MM" as this machine's time; invalid for any other form.
QDateTime ListingTime(const QString& modified) {
    return QDateTime::fromString(modified.simplified(), "yyyy-MM-dd HH:mm");
}

}  // namespace

bool Transfers::Zos() const {
    return m_store.settings.zosMode;
}

QString Transfers::LocalPathFor(const QString& name) const {
    if (platform::IsRootedLocalPath(name)) {
        return name;
    }
    return QDir(m_local.CurrentDir()).filePath(name);
}

// ---- Mode ------------------------------------------------------------------------------------

bool Transfers::SeeIfAscii(const QString& fileName) const {
    return ::SeeIfAscii(fileName, m_store.settings.common.asciiFiletypes);
}

bool Transfers::AsciiFor(const QString& fileName) const {
    const int choice = m_ui.TransferModeIndex();
    return choice == 1 || (choice == 0 && SeeIfAscii(fileName));
}

void Transfers::SetXferModeFromRgrp(const QString& fileName) {
    if (AsciiFor(fileName)) {
        SetXferModeAscii();
    } else {
        SetXferModeBinary();
    }
}

void Transfers::SetXferModeAscii() {
    m_session.Remote()->SetTransferMode(true);
}

void Transfers::SetXferModeBinary() {
    m_session.Remote()->SetTransferMode(false);
}

// ---- One file ------------------------------------------------------------------------------

void Transfers::UploadFile(const QString& remoteName, const QString& localPath, bool silent) {
    UploadFileKeepingCase(m_store.settings.site.lcUpload ? remoteName.toLower() : remoteName,
                          localPath, silent);
}

void Transfers::UploadFileKeepingCase(const QString& remoteName, const QString& localPath,
                                      bool silent) {
    m_session.requestErrorList.clear();
    lastTransferOk = false;
    m_ui.SetProgress(0);
    UploadFileNoCaseCheck(remoteName, localPath, silent);
}

void Transfers::UploadFileNoCaseCheck(QString remoteName, QString localPath, bool silent) {
    const bool zos = Zos();
    currentTransferFile = remoteName;
    m_pane.ReenterCurrentDir();
    const QChar separator = zos ? '.' : '/';
    const qsizetype cut = remoteName.lastIndexOf(separator);
    m_pane.cache.RemoveRemDirFromCache(zos,
                                       cut > 0 ? remoteName.left(cut) : m_session.currentRemoteDir);
    if (!m_session.CheckConnection()) {
        return;
    }
    transferStart = platform::TickCount();
    localPath = LocalPathFor(localPath);
    if (zos) {
        remoteName = GetLegalMVSName(m_ui, InPDS(m_pane.state), remoteName);
        if (remoteName == "?") {
            return;
        }
    }
    RemoteSession& remote = *m_session.Remote();
    if (!remote.Rules().programResumes) {
        UploadFileSSHNoCaseCheck(remoteName, localPath, silent);
        return;
    }
    if (zos && remote.Rules().allocatesDatasets && !InPDS(m_pane.state) &&
        !FoundFileInCurrentRemoteDirectory(m_pane.listing, remoteName)) {
        if (!m_ui.AskAllocation("File Allocation Attributes for file " + remoteName, allocation)) {
            return;
        }
        for (const QString& line : AllocationCommands(allocation)) {
            m_session.requestErrorList.clear();
            remote.Command(line);
        }
    }
    if (!QFileInfo(localPath).isFile()) {
        const QString text = "Cannot upload file " + localPath + " because it does not exist.";
        if (silent) {
            m_ui.LogText(text);
        } else {
            m_ui.ShowColorMsg(text);
        }
        return;
    }
    m_pending = {QString(), remoteName, localPath, false, 0, {}};
    m_ui.LogText("put " + localPath + " " + remoteName);
    XferAsyncPlus("Put", transferSize);
    uploadDone = true;
}

void Transfers::UploadFileSSHNoCaseCheck(const QString& remoteName, const QString& localPath,
                                         bool silent) {
    downloading = false;
    if (!silent) {
        m_ui.LogText("put " + localPath + " " + remoteName);
    }
    m_session.ShowAbortButton("Cancel");
    m_lastPercent = 0;
    const RemoteResult result =
        m_session.Remote()->Put({QString(), remoteName, localPath, m_ui.ResumeTicked(), 0,
                                 ProgressShown("Up", currentTransferFile, 0, 0)});
    m_ui.SetResumeTicked(false);
    if (!result.Ok()) {
        m_ui.LogText("Error uploading " + localPath);
    } else {
        uploadDone = true;
        lastTransferOk = true;
    }
    m_session.HideAbortButton();
}

void Transfers::DownloadFile(const QString& remoteName, const QString& localName,
                             const QString& remoteDir) {
    lastTransferOk = false;
    if (!m_session.CheckConnection()) {
        return;
    }
    m_pane.ReenterCurrentDir();
    const QString dir = remoteDir.isEmpty() ? m_session.currentRemoteDir : remoteDir;
    const QString localPath = LocalPathFor(localName);
    m_ui.LogText("get " + remoteName + " " + localPath);
    transferStart = platform::TickCount();
    currentTransferFile = remoteName;
    m_session.ShowAbortButton("Cancel");
    if (!m_session.Remote()->Rules().programResumes) {
        DownloadFileSSH(JoinRemotePath(Zos(), dir, remoteName), localPath);
    } else {
        m_pending = {dir, remoteName, localPath, false, 0, {}};
        XferAsyncPlus("Get", transferSize);
    }
    if (!m_session.requestErrorList.isEmpty()) {
        LogPartialKept(localPath);
    }
    m_session.HideAbortButton();
}

void Transfers::DownloadFileSSH(const QString& remotePath, const QString& localPath) {
    m_session.requestErrorList.clear();
    downloading = true;
    m_ui.SetProgress(0);
    m_lastPercent = 0;
    const RemoteResult result =
        m_session.Remote()->Get({QString(), remotePath, localPath, m_ui.ResumeTicked(), 0,
                                 ProgressShown("Down", currentTransferFile, 0, 0)});
    m_ui.SetResumeTicked(false);
    lastTransferOk = result.Ok();
    m_ui.HideProgress();
}

std::function<void(qint64, qint64)> Transfers::ProgressShown(const QString& direction,
                                                             const QString& file, qint64 total,
                                                             qint64 intervalMs) {
    // Shown as bytes move, at most every IntervalMs, while the request waits in its event loop;
    // a total the engine knows wins over the one the batch guessed.
    return [this, direction, file, total, intervalMs, shownAt = -intervalMs](qint64 done,
                                                                             qint64 known) mutable {
        const qint64 now = platform::TickCount();
        if (now - shownAt >= intervalMs) {
            shownAt = now;
            DisplayTransferProgress(direction, file, known > 0 ? known : total, done);
        }
    };
}

bool Transfers::RemoteChangedSince(const QString& remoteDir, const QString& remoteName,
                                   const QFileInfo& partial) {
    if (!partial.exists() || partial.size() == 0) {
        return false;
    }
    const QDateTime remote = m_session.Remote()->ModificationTime(remoteDir, remoteName);
    return remote.isValid() && remote > partial.lastModified().toUTC();
}

void Transfers::XferAsyncPlus(const QString& kind, qint64 size) {
    const int aborts = m_run.cancel.Mark();
    XferAsyncPlusAction(kind, size);
    for (int retry = 1; retry <= 2; ++retry) {
        if (!m_session.lastRequestFailed || !m_session.Remote()->Connected() ||
            m_run.cancel.CancelledSince(aborts)) {
            return;
        }
        m_ui.LogText(
            QStringLiteral("Error with transfer but still connected - retrying (%1)").arg(retry));
        // The retry's outcome is the transfer's: the failure before it is in the log line above.
        m_session.requestErrorList.clear();
        XferAsyncPlusAction(kind, size);
    }
}

void Transfers::XferAsyncPlusAction(const QString& kind, qint64 size) {
    RemoteSession& remote = *m_session.Remote();
    if (!m_session.Connected() || !remote.Connected()) {
        return;
    }
    const bool get = kind.trimmed().compare("get", Qt::CaseInsensitive) == 0;
    const QString noun = get ? "Download" : "Upload";
    const QString direction = get ? "Down" : "Up";
    const bool possibly = get && zosDownload;
    m_ui.SetStatusPanel(StatusPanel::CallType, kind);
    m_ui.StatusBarGeneral(" " + noun + "ing " + currentTransferFile);
    m_session.ShowAbortButton("Cancel");
    FileTransfer transfer = m_pending;
    const QString file = transfer.remoteName;
    qint64 total = size;
    bool attempted = true;
    m_session.lastRequestFailed = false;

    if (get && m_ui.ResumeTicked()) {
        if (m_ui.ColorMsgDlg("You have checked \"Resume Interrupted Transfer\" - this will restart "
                             "an interrupted download from the point it reached previously. Is "
                             "this what you want to do?",
                             MsgDlgType::Confirmation,
                             MsgDlgBtn::Yes | MsgDlgBtn::No) != ModalResult::Yes) {
            m_ui.SetResumeTicked(false);
        }
        if (m_ui.ResumeTicked()) {
            m_ui.SetResumeTicked(false);
            const QFileInfo local(transfer.localPath);
            if (RemoteChangedSince(transfer.remoteDir, file, local)) {
                // Its start and its end would come from two different versions of the file.
                m_ui.LogText("The remote file " + file +
                             " has changed since the partial copy was made: downloading it whole "
                             "instead of resuming");
            } else {
                if (local.exists() && local.size() < size) {
                    total = size - local.size();
                }
                transfer.resume = true;
            }
        }
    } else if (!get && m_ui.ResumeTicked()) {
        if (remote.AsciiMode()) {
            m_ui.ShowColorMsg(
                "Resumption of interrupted standard FTP upload can only be done for "
                "a binary transfer - this is Ascii - upload cannot proceed.");
            m_ui.SetResumeTicked(false);
            attempted = false;
        } else if (m_ui.ColorMsgDlg("You have checked \"Resume Interrupted Transfer\" - this will "
                                    "restart an interrupted upload from the point it reached "
                                    "previously. Is this what you want to do?",
                                    MsgDlgType::Confirmation,
                                    MsgDlgBtn::Yes | MsgDlgBtn::No) != ModalResult::Yes) {
            m_ui.SetResumeTicked(false);
            attempted = false;
        } else {
            m_ui.StatusBarGeneral(
                " Refreshing remote directory list to determine bytes already uploaded");
            m_pane.watchedName = file;
            m_pane.watchedSizeText.clear();
            m_pane.RefreshRemoteDirectoryList();
            m_pane.watchedName.clear();
            SetXferModeBinary();
            const qint64 position = m_pane.watchedSizeText.toLongLong();
            if (position <= 0) {
                m_ui.ShowColorMsg(
                    "No partially uploaded data found in current remote directory, "
                    "cannot resume upload");
                attempted = false;
            } else {
                total = size - position;
                transfer.resumeAt = position;
                transfer.resume = true;
            }
            m_ui.SetResumeTicked(false);
        }
    }

    m_ui.SetProgress(0);
    m_lastPercent = 0;
    const int aborts = m_run.cancel.Mark();
    if (attempted) {
        transfer.progress = ProgressShown(direction, file, total, kProgressIntervalMs);
        if (get) {
            remote.Get(transfer);
        } else {
            remote.Put(transfer);
        }
    }
    if (m_run.cancel.CancelledSince(aborts)) {
        m_ui.StatusBarGeneral(" " + noun + " of " + file + " cancelled.");
        m_ui.StatusBarGeneral("Connection to remote site terminated");
    } else {
        m_ui.SetProgress(100);
        // A failed transfer says so; it is never shown as completed.
        if (attempted && m_session.lastRequestFailed) {
            m_ui.StatusBarGeneral(" " + noun + " of " + file + " failed.");
        } else {
            m_ui.StatusBarGeneral(" " + noun + " of " + file + " " +
                                  CompletedSizes(total, possibly) +
                                  (attempted ? " completed." : " not attempted."));
        }
    }
    lastTransferOk = attempted && !m_session.lastRequestFailed &&
                     !m_run.cancel.CancelledSince(aborts) && m_session.requestErrorList.isEmpty();
    m_ui.HideProgress();
    m_session.HideAbortButton();
}

void Transfers::DisplayTransferProgress(const QString& direction, const QString& file, qint64 total,
                                        qint64 done) {
    const TransferProgressText text = DescribeTransferProgress(
        direction, file, total, done, double(platform::TickCount() - transferStart),
        direction == "Down" && zosDownload);
    if (!text.duration.isEmpty()) {
        m_ui.SetStatusPanel(StatusPanel::Duration, text.duration);
    }
    m_ui.StatusBarGeneral(text.status);
    if (text.percent > m_lastPercent) {  // the bar only moves forwards
        m_lastPercent = text.percent;
        m_ui.SetProgress(text.percent);
    }
    m_ui.ProcessMessages();
}

// ---- Batches -------------------------------------------------------------------------------

bool Transfers::ConfirmModeForDirectories() {
    const QString mode = ModeWord(m_ui.TransferModeIndex());
    return m_ui.ColorMsgDlg("Transfer type is " + mode +
                                " - you should only proceed if all files within directories "
                                "require " +
                                mode + " transfer",
                            MsgDlgType::Confirmation,
                            MsgDlgBtn::OK | MsgDlgBtn::Cancel) == ModalResult::OK;
}

void Transfers::btnUploadClickActions(const QStringList& selectedLocal) {
    m_local.AddLocDirToCmbx(m_local.CurrentDir(), false);
    QStringList names = selectedLocal;
    names.removeAll("..");
    if (names.isEmpty()) {
        m_ui.ShowColorMsg("No files have been selected for upload");
    } else if (m_session.RedLightDisconnectedState()) {
        m_ui.ShowColorMsg("Please try again after a connection is established.");
    } else {
        UploadFiles(names);
    }
}

void Transfers::UploadFiles(const QStringList& selectedLocal) {
    if (m_run.batchTransferRunning) {
        return;
    }
    const BusyScope busy(m_ui, &m_run.batchTransferRunning);
    m_store.UpdateSettings();
    m_batchChoice.reset();
    uploadDone = false;
    zosDownload = false;
    const bool zos = Zos();
    const QString startLocal = m_local.CurrentDir();
    const QString startRemote = m_session.currentRemoteDir;

    QStringList files;
    QStringList dirs;
    for (const QString& name : selectedLocal) {
        const QFileInfo info(LocalPathFor(name));
        if (info.isDir()) {
            dirs << info.absoluteFilePath();
        } else {
            files << info.absoluteFilePath();
        }
    }
    // Several files at once where the session can: each file is chosen, named and its existing
    // target settled as the tree is walked (questions included), then the chosen ones move
    // together. A file to resume keeps the one-by-one path.
    const bool together = BatchWidth(2) > 1;
    Chosen batch;
    // One file up, as the batch does it; false when the connection is gone.
    auto upload = [&](const QString& path) {
        const QFileInfo info(path);
        QString name = info.fileName();
        const QString remoteName = m_store.settings.site.lcUpload ? name.toLower() : name;
        // z/OS datasets keep their own rules (allocation, replacement).
        const RemoteEntry* target =
            zos ? nullptr : RemoteEntryNamed(m_pane.listing.files, remoteName);
        if (target) {
            const std::optional<QString> chosen = NameWhenTargetExists(
                {remoteName, true, info.size(), info.lastModified(), target->size,
                 ListingTime(target->modified), target->size < info.size()},
                [&](const QString& n) {
                    return RemoteEntryNamed(m_pane.listing.files, n) ||
                           RemoteEntryNamed(m_pane.listing.dirs, n);
                });
            if (!chosen) {
                return true;
            }
            name = *chosen;
        }
        transferSize = info.size();
        if (together && !m_ui.ResumeTicked()) {
            const QString sendAs = m_store.settings.site.lcUpload ? name.toLower() : name;
            batch.Add({true,
                       JoinRemotePath(false, m_session.currentRemoteDir, sendAs),
                       path,
                       info.size(),
                       {},
                       AsciiFor(info.fileName())},
                      m_session.currentRemoteDir, name);
            return true;
        }
        SetXferModeFromRgrp(info.fileName());
        UploadFile(name, path, false);
        if (!m_session.Connected()) {
            m_session.NotifyUserConnectionLost();
            return false;
        }
        return true;
    };
    const bool walked = WalkUpload(files, dirs, startRemote, upload);
    SendChosen(batch);
    if (!walked) {
        return;
    }
    if (NormalisedRemoteDir(zos, m_session.currentRemoteDir) !=
        NormalisedRemoteDir(zos, startRemote)) {
        m_pane.EnterRemoteDirectory(startRemote);
    } else if (uploadDone && m_store.settings.site.autoRefresh) {
        m_pane.RefreshRemoteDirectoryList();
    }
    if (m_local.CurrentDir() != startLocal) {
        m_local.SelectDirectory(startLocal);
    }
    m_ui.StatusBarGeneral("Uploading complete");
}

bool Transfers::WalkUpload(const QStringList& files, const QStringList& dirs,
                           const QString& startRemote,
                           const std::function<bool(const QString&)>& upload) {
    const bool zos = Zos();
    for (const QString& path : files) {
        if (!upload(path)) {
            return false;
        }
    }
    if (!dirs.isEmpty() && m_ui.TransferModeIndex() != 0 && !ConfirmModeForDirectories()) {
        m_ui.ShowColorMsg("Abandoning file transfers");
        return false;
    }
    const QChar separator = zos ? '.' : '/';
    for (const QString& top : dirs) {
        workDirs = {WorkDir{top, false}};
        workListLocal = true;
        while (std::any_of(workDirs.begin(), workDirs.end(),
                           [](const WorkDir& d) { return !d.done; })) {
            CollectDirs();
        }
        const QString base = QFileInfo(top).absolutePath();
        const std::vector<WorkDir> tree = workDirs;
        for (const WorkDir& dir : tree) {
            QString relative = QDir(base).relativeFilePath(dir.path);
            if (zos) {
                relative.replace('/', separator);
            }
            const QString target = JoinRemotePath(zos, startRemote, ValidRemoteName(zos, relative));
            if (NormalisedRemoteDir(zos, target) !=
                NormalisedRemoteDir(zos, m_session.currentRemoteDir)) {
                if (!m_session.CheckConnection()) {
                    m_session.NotifyUserConnectionLost();
                    return false;
                }
                const QString parent = m_pane.ContainingRemoteDirectory(target);
                const QString name = QFileInfo(dir.path).fileName();
                m_pane.cache.RemoveRemDirFromCache(zos, parent);
                m_pane.EnterRemoteDirectory(parent);
                const bool listed =
                    std::any_of(m_pane.listing.dirs.begin(), m_pane.listing.dirs.end(),
                                [&](const RemoteEntry& e) { return e.name == name; });
                if (!listed) {
                    m_operations.MakeRemoteDirectory(name);
                }
                if (!m_pane.EnterRemoteDirectory(target)) {
                    m_ui.LogText("Could not enter remote directory " + target +
                                 "; its files are not uploaded");
                    continue;
                }
            }
            const QFileInfoList entries = QDir(dir.path).entryInfoList(
                QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
            for (const QFileInfo& entry : entries) {
                if (!upload(entry.absoluteFilePath())) {
                    return false;
                }
            }
        }
    }
    return true;
}

void Transfers::Chosen::Add(BatchJob job, const QString& dir, const QString& name) {
    job.tag = int(jobs.size());
    jobs.push_back(std::move(job));
    places.push_back({dir, name});
}

void Transfers::SendChosen(Chosen& chosen) {
    if (chosen.jobs.empty() || !m_session.Connected()) {
        return;
    }
    const int mark = m_run.cancel.Mark();
    if (chosen.jobs.front().upload) {  // the folders' listings change
        QSet<QString> dirs;
        for (const auto& place : chosen.places) {
            dirs.insert(place.first);
        }
        for (const QString& dir : dirs) {
            m_pane.cache.RemoveRemDirFromCache(false, dir);
        }
    }
    const std::vector<BatchJob> left = SendTogether(chosen.jobs, nullptr);
    if (!m_session.Connected()) {  // Cancel ends an SFTP session; so does a lost one
        m_session.NotifyUserConnectionLost();
        chosen = {};
        return;
    }
    // What could not go together goes one by one, as the batch always did.
    for (const BatchJob& job : left) {
        if (m_run.cancel.CancelledSince(mark)) {
            break;
        }
        if (!m_session.CheckConnection()) {
            m_session.NotifyUserConnectionLost();
            break;
        }
        const auto& [dir, name] = chosen.places[size_t(job.tag)];
        transferSize = job.size;
        m_session.Remote()->SetTransferMode(job.ascii);  // as the walk chose it
        if (!job.upload) {
            DownloadFile(name, job.localPath, dir);
            continue;
        }
        if (NormalisedRemoteDir(false, m_session.currentRemoteDir) !=
                NormalisedRemoteDir(false, dir) &&
            !m_pane.EnterRemoteDirectory(dir)) {
            m_ui.LogText("Could not enter remote directory " + dir + "; " + job.localPath +
                         " is not uploaded");
            continue;
        }
        UploadFile(name, job.localPath, false);
    }
    chosen = {};
}

int Transfers::BatchWidth(int count) const {
    return m_batches.Width(count);
}

std::vector<BatchJob> Transfers::SendTogether(
    const std::vector<BatchJob>& jobs, const std::function<void(const BatchJob&, bool)>& ended) {
    return m_batches.Send(jobs, [&](const BatchJob& job, bool ok, const QString& text) {
        const QString failure = ok || text.isEmpty() ? QString() : ": " + text;
        if (job.upload) {
            m_ui.LogText("put " + job.localPath + " " + job.remotePath);
            if (!ok) {
                m_ui.LogText("Error uploading " + job.localPath + failure);
            }
            uploadDone = uploadDone || ok;
        } else {
            m_ui.LogText("get " + job.remotePath + " " + job.localPath);
            if (!ok) {
                m_ui.LogText("Error downloading " + job.remotePath + failure);
                LogPartialKept(job.localPath);
            }
        }
        if (ended) {
            ended(job, ok);
        }
    });
}

void Transfers::LogPartialKept(const QString& localPath) {
    const QFileInfo partial(localPath);
    if (partial.exists() && partial.size() > 0) {
        m_ui.LogText(QStringLiteral("Partial file %1 kept (%2 bytes); tick \"Resume Interrupted "
                                    "Xfer\" to continue it")
                         .arg(localPath, GroupThousands(partial.size())));
    }
}

std::optional<QString> Transfers::NameWhenTargetExists(
    const ExistingFileQuery& query, const std::function<bool(const QString&)>& taken) {
    std::optional<ExistingChoice> choice = m_batchChoice;
    if (!choice) {
        switch (ExistingFilesFrom(m_store.settings.common.existingFiles)) {
            case ExistingFiles::Overwrite:
                choice = ExistingChoice::Overwrite;
                break;
            case ExistingFiles::OverwriteIfNewer:
                choice = ExistingChoice::OverwriteIfNewer;
                break;
            case ExistingFiles::Skip:
                choice = ExistingChoice::Skip;
                break;
            case ExistingFiles::Ask: {
                const ExistingFileAnswer answer = m_ui.AskExistingFile(query);
                choice = answer.choice;
                if (answer.applyToAll) {
                    m_batchChoice = answer.choice;
                }
                break;
            }
        }
    }
    const QString where = query.upload ? "on the server" : "here";
    switch (ExistingActionFor(*choice, query)) {
        case ExistingAction::Skip:
            m_ui.LogText("Skipped " + query.name + ": it exists " + where +
                         (*choice == ExistingChoice::OverwriteIfNewer ? " and is not older" : ""));
            return std::nullopt;
        case ExistingAction::Rename: {
            const QString newName = FreeName(query.name, taken);
            m_ui.LogText(query.name + " exists " + where + ": it is " +
                         (query.upload ? "uploaded" : "downloaded") + " as " + newName);
            return newName;
        }
        case ExistingAction::Resume:
            m_ui.SetResumeTicked(true);
            break;
        case ExistingAction::Transfer:
            break;
    }
    return query.name;
}

void Transfers::CollectDirs() {
    const auto next =
        std::find_if(workDirs.begin(), workDirs.end(), [](const WorkDir& d) { return !d.done; });
    if (next == workDirs.end()) {
        return;
    }
    next->done = true;
    const QString path = next->path;  // the list may grow below
    bool limitShown = false;
    auto add = [&](const QString& dir) {
        if (int(workDirs.size()) < maxDirs) {
            workDirs.push_back(WorkDir{dir, false});
        } else if (!limitShown) {
            limitShown = true;
            m_ui.ShowColorMsg(QStringLiteral("Reached limit of %1 %2")
                                  .arg(maxDirs)
                                  .arg(workListLocal ? "local directories to upload"
                                                     : "remote directories to download"));
        }
    };
    if (workListLocal) {
        // Links to folders are not followed: a loop would never end.
        for (const QFileInfo& entry : QDir(path).entryInfoList(
                 QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
            if (!entry.isSymLink()) {
                add(entry.absoluteFilePath());
            }
        }
        return;
    }
    if (!m_session.CheckConnection()) {
        m_ui.ShowColorMsg("Connection lost.");
        return;
    }
    if (!m_pane.EnterRemoteDirectory(path)) {
        return;
    }
    // A copy: Add may show a message, and a listing may be refreshed while it is open.
    const std::vector<RemoteEntry> dirs = m_pane.listing.dirs;
    for (const RemoteEntry& entry : dirs) {
        if (!entry.permissions.startsWith('l')) {  // links are never followed
            add(JoinRemotePath(Zos(), m_session.currentRemoteDir, entry.name));
        }
    }
}

void Transfers::btnDownloadClickActions(const std::vector<int>& selectedRemoteRows) {
    const bool zos = Zos();
    m_pane.AddRemDirToCmbx(m_session.currentRemoteDir, false);
    const QString startLocal = m_local.CurrentDir();
    const QString startRemote = NoMVSQuotes(zos, m_session.currentRemoteDir);
    const std::vector<RemoteItem> items = m_pane.SaveSelectedRemoteItems(selectedRemoteRows);
    if (items.empty()) {
        m_ui.ShowColorMsg("No files have been selected for download");
        return;
    }
    if (m_run.batchTransferRunning) {
        return;
    }
    m_local.AddLocDirToCmbx(startLocal, false);
    const BusyScope busy(m_ui, &m_run.batchTransferRunning);
    m_store.UpdateSettings();
    m_batchChoice.reset();
    zosDownload = zos;
    const bool anyDir = std::any_of(items.begin(), items.end(), [](const RemoteItem& i) {
        return i.type == 'D' && i.name != "..";
    });
    if (anyDir && m_ui.TransferModeIndex() != 0 && !ConfirmModeForDirectories()) {
        m_session.requestErrorList.clear();
        return;
    }
    bool downloaded = false;
    const bool together = !zos && BatchWidth(2) > 1;  // as in the upload batch
    Chosen batch;
    // One file down into LocalDir; false when the connection is gone.
    auto download = [&](const QString& name, qint64 size, const QString& modified,
                        const QString& remoteDir, const QString& localDir) {
        QString localName = name;
        const QFileInfo target(QDir(localDir).filePath(name));
        if (!zos && target.exists()) {
            const std::optional<QString> chosen =
                NameWhenTargetExists({name, false, size, ListingTime(modified), target.size(),
                                      target.lastModified(), target.size() < size},
                                     [&](const QString& n) { return QDir(localDir).exists(n); });
            if (!chosen) {
                return true;
            }
            localName = *chosen;
        }
        transferSize = size;
        downloaded = true;
        if (together && !m_ui.ResumeTicked()) {
            batch.Add({false,
                       JoinRemotePath(false, remoteDir, name),
                       QDir(localDir).filePath(localName),
                       size,
                       {},
                       AsciiFor(name)},
                      remoteDir, name);
            return true;
        }
        SetXferModeFromRgrp(name);
        DownloadFile(name, QDir(localDir).filePath(localName), remoteDir);
        if (!m_session.Connected()) {
            m_session.NotifyUserConnectionLost();
            return false;
        }
        return true;
    };
    const bool walked = WalkDownload(items, startRemote, startLocal, download);
    SendChosen(batch);
    if (!walked) {
        return;
    }
    if (NormalisedRemoteDir(zos, m_session.currentRemoteDir) !=
        NormalisedRemoteDir(zos, startRemote)) {
        m_pane.EnterRemoteDirectory(startRemote);
    }
    if (downloaded || m_local.CurrentDir() != startLocal) {
        m_local.SelectDirectory(startLocal);
    }
    m_ui.StatusBarGeneral(items.size() > 1 ? " Download of all files completed."
                                           : " Download completed.");
}

bool Transfers::WalkDownload(const std::vector<RemoteItem>& items, const QString& startRemote,
                             const QString& startLocal, const DownloadOne& download) {
    const bool zos = Zos();
    for (const RemoteItem& item : items) {
        if (item.type == 'F') {
            if (!download(item.name, item.size, item.modified, startRemote, startLocal)) {
                return false;
            }
        } else if (item.type == 'L') {
            m_ui.ShowColorMsg("Cannot download a remote link such as " + item.name);
        }
    }
    for (const RemoteItem& item : items) {
        if (item.type != 'D') {
            continue;
        }
        if (item.name == "..") {
            m_ui.ShowColorMsg("Request to download containing directory (\"..\") ignored");
            continue;
        }
        workDirs = {WorkDir{JoinRemotePath(zos, startRemote, item.name), false}};
        workListLocal = false;
        while (m_session.Connected() && std::any_of(workDirs.begin(), workDirs.end(),
                                                    [](const WorkDir& d) { return !d.done; })) {
            CollectDirs();
        }
        const QString base = DirWithTrailingSeparator(zos, startRemote);
        const std::vector<WorkDir> tree = workDirs;
        for (const WorkDir& dir : tree) {
            QString relative = DirWithTrailingSeparator(zos, dir.path).mid(base.size());
            if (zos) {
                relative.replace('.', '/');
            }
            const QString localDir = QDir::cleanPath(QDir(startLocal).filePath(relative));
            if (!QDir().mkpath(localDir)) {
                m_ui.ShowColorMsg("Cannot create local folder " + localDir);
                continue;
            }
            if (!m_session.CheckConnection()) {
                m_session.NotifyUserConnectionLost();
                return false;
            }
            if (!m_pane.EnterRemoteDirectory(dir.path)) {
                continue;
            }
            const std::vector<RemoteEntry> files = m_pane.listing.files;
            for (const RemoteEntry& file : files) {
                if (file.permissions.startsWith('l')) {
                    continue;  // links are never downloaded
                }
                const qint64 size =
                    zos ? ZosSizeEstimate(file.size, file.modified == "Migrated") : file.size;
                if (!download(file.name, size, file.modified, m_session.currentRemoteDir,
                              localDir)) {
                    return false;
                }
            }
        }
    }
    return true;
}
