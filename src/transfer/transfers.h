#pragma once

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

#include "listing/zos_names.h"
#include "session/remote_session.h"
#include "transfer/batch_sender.h"
#include "transfer/existing_files.h"

class RemoteOperations;
struct RemoteItem;
class SettingsStore;
struct RunState;
class LocalPane;
class RemotePane;
class Session;
class UserInterface;

// Moving files: one file up or down over FTP or SFTP (mode, retries, resume, progress), and the
// batches of the Upload and Download buttons and of drag and drop, which expand directories
// breadth-first. Speaks to the person through UserInterface only.
class Transfers {
public:
    static constexpr int kMaxDirs = 20000;
    // The bound of the directory work list (tests lower it).
    int maxDirs = kMaxDirs;

    Transfers(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
              RemotePane& pane, LocalPane& local, RemoteOperations& operations,
              BatchSender& batches);

    // ---- One file ----
    void UploadFile(const QString& remoteName, const QString& localPath, bool silent);
    // UploadFile under RemoteName as it is, whatever the lower-casing setting (a file that came
    // from the server goes back under its own name).
    void UploadFileKeepingCase(const QString& remoteName, const QString& localPath, bool silent);
    void UploadFileNoCaseCheck(QString remoteName, QString localPath, bool silent);
    void UploadFileSSHNoCaseCheck(const QString& remoteName, const QString& localPath, bool silent);
    // RemoteDir empty: the current remote directory.
    void DownloadFile(const QString& remoteName, const QString& localName,
                      const QString& remoteDir = QString());
    void DownloadFileSSH(const QString& remotePath, const QString& localPath);
    // The mode a file travels in: the window's choice, or by its type (AsciiFiletypes).
    bool AsciiFor(const QString& fileName) const;
    void SetXferModeFromRgrp(const QString& fileName);
    void SetXferModeAscii();
    void SetXferModeBinary();
    bool SeeIfAscii(const QString& fileName) const;
    // Kind "Put" or "Get" (anything but "get" uploads): the file UploadFileNoCaseCheck or
    // DownloadFile named.
    void XferAsyncPlus(const QString& kind, qint64 size);
    void XferAsyncPlusAction(const QString& kind, qint64 size);
    // True when the server gives the remote file's exact time and it is later than the partial
    // local copy: that copy belongs to an older version of the file.
    bool RemoteChangedSince(const QString& remoteDir, const QString& remoteName,
                            const QFileInfo& partial);
    void DisplayTransferProgress(const QString& direction, const QString& file, qint64 total,
                                 qint64 done);

    // ---- Batches ----
    // Several files at once where the session can (BatchSender), one log line per file as it
    // ends ("put ..."/"get ...", then why it failed); Ended follows each file's lines. Returns
    // the files that did not go: the caller sends them one by one, unless Cancel was pressed.
    std::vector<BatchJob> SendTogether(const std::vector<BatchJob>& jobs,
                                       const std::function<void(const BatchJob&, bool ok)>& ended);
    // How many files would move at once on this session (1: one after the other).
    int BatchWidth(int count) const;
    // The names of the selected local rows; the window passes them in.
    void btnUploadClickActions(const QStringList& selectedLocal);
    void UploadFiles(const QStringList& selectedLocal);
    // The selected rows of the remote list (indexes of RemotePane::Row).
    void btnDownloadClickActions(const std::vector<int>& selectedRemoteRows);
    // Expands the first directory of the work list not yet done.
    void CollectDirs();
    // Drops: a drop on the local list downloads, on the remote list uploads; refused while a
    // batch runs. At is the pointer's distance from the target list's left edge.
    static bool AcceptsDrop(int at) { return at >= 17; }

    // ---- State other subjects read ----
    QString currentTransferFile;
    qint64 transferStart = 0;  // tick count, ms
    qint64 transferSize = 0;
    bool downloading = false;
    bool uploadDone = false;
    // The last UploadFile or DownloadFile moved the whole file (not skipped, refused, cancelled
    // or failed): what a script checks before it deletes the source.
    bool lastTransferOk = false;
    bool zosDownload = false;  // totals are estimates (" of possibly ")
    AllocationAttributes allocation;

    // The directory work list: paths with their done flags; local (upload) or remote.
    struct WorkDir {
        QString path;
        bool done = false;
    };
    std::vector<WorkDir> workDirs;
    bool workListLocal = true;

private:
    // The files a batch chose to send together, with the remote folder and name each would take
    // one by one.
    struct Chosen {
        std::vector<BatchJob> jobs;
        std::vector<std::pair<QString, QString>> places;  // by tag
        void Add(BatchJob job, const QString& dir, const QString& name);
    };
    // Sends Chosen several at once, one log line per file in the order they end; what cannot go
    // that way goes one by one. Empties Chosen.
    void SendChosen(Chosen& chosen);
    // The upload batch's walk: the loose files, then each folder's tree (folders created
    // first); Upload takes each file. False when it ended early.
    bool WalkUpload(const QStringList& files, const QStringList& dirs, const QString& startRemote,
                    const std::function<bool(const QString&)>& upload);
    // The download batch's walk: the selected files, then each selected folder's tree (local
    // folders made first); Download takes each file. False when it ended early.
    using DownloadOne =
        std::function<bool(const QString& name, qint64 size, const QString& modified,
                           const QString& remoteDir, const QString& localDir)>;
    bool WalkDownload(const std::vector<RemoteItem>& items, const QString& startRemote,
                      const QString& startLocal, const DownloadOne& download);
    // "Partial file ... kept" where a download left part of a file.
    void LogPartialKept(const QString& localPath);
    bool Zos() const;
    QString LocalPathFor(const QString& name) const;
    // The "Transfer type is" question for directories; false when cancelled.
    bool ConfirmModeForDirectories();
    // What a batch does with a file whose target exists, by the batch's "apply to all", the
    // setting or the person's answer: the name to send it as (a renamed one is one Taken does
    // not know; a resumed one ticks resume), or nothing to skip it, with its log line.
    std::optional<QString> NameWhenTargetExists(const ExistingFileQuery& query,
                                                const std::function<bool(const QString&)>& taken);
    // The progress callback of one transfer, shown at most every IntervalMs.
    std::function<void(qint64, qint64)> ProgressShown(const QString& direction, const QString& file,
                                                      qint64 total, qint64 intervalMs);

    SettingsStore& m_store;
    RunState& m_run;
    Session& m_session;
    RemotePane& m_pane;
    LocalPane& m_local;
    RemoteOperations& m_operations;
    BatchSender& m_batches;
    UserInterface& m_ui;
    int m_lastPercent = 0;
    // The file the next XferAsyncPlus moves.
    FileTransfer m_pending;
    // The choice "apply to all in this batch" made, for the rest of the batch.
    std::optional<ExistingChoice> m_batchChoice;
};
