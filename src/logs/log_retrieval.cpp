#include "logs/log_retrieval.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>

#include "config/words.h"
#include "listing/listing_parser.h"
#include "listing/zos_names.h"
#include "logs/log_names.h"
#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "platform/platform.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"
#include "session/session.h"
#include "transfer/remote_operations.h"
#include "transfer/transfers.h"

namespace {

constexpr int kMaxUnzipFolders = 1000;
constexpr int kBinaryMode = 2;

QString CounterLine(int n, const QString& text) {
    return "   " + QString::number(n) + text;
}

}  // namespace

LogRetrieval::LogRetrieval(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                           RemotePane& pane, LocalPane& local, Transfers& transfers,
                           RemoteOperations& operations)
    : m_store(store),
      m_run(run),
      m_ui(ui),
      m_session(session),
      m_pane(pane),
      m_local(local),
      m_transfers(transfers),
      m_operations(operations) {}

bool LogRetrieval::Aborted() const {
    return m_run.logRetrievalCancel || m_run.cancel.Requested();
}

void LogRetrieval::GetLogs() {
    const QString folder = m_store.settings.site.localLogdir;
    if (folder.size() <= 1 || !platform::IsRootedLocalPath(folder)) {
        m_ui.Warning("Log directory " + folder +
                     " does not exist, please correct using Options -> Settings.");
        return;
    }
    if (!QFileInfo(folder).isDir()) {
        if (!m_ui.ConfirmYesNo("Log directory " + folder +
                               " does not exist, do you want to create it?")) {
            return;
        }
        if (!platform::EnsureFolder(folder)) {
            m_ui.Warning("Log directory " + folder + " could not be created.");
            return;
        }
    }
    if (m_store.settings.zosMode) {
        m_ui.Warning("Log file download not supported with this type of server");
        return;
    }
    const ModalResult leave = m_ui.ColorMsgDlg(
        "Do you want to leave the downloaded logfiles on the server after they have been "
        "downloaded?",
        MsgDlgType::Confirmation, MsgDlgBtn::Yes | MsgDlgBtn::No | MsgDlgBtn::Cancel);
    if (leave != ModalResult::Yes && leave != ModalResult::No) {
        m_ui.EnableGridsEtc();
        return;
    }
    const bool remove = leave == ModalResult::No;
    m_run.logRetrievalCancel = false;
    m_ui.LogText("Commencing download from standard log directory");
    const bool standardDone =
        GetLogsFromRemDir(m_store.settings.site.remLogdir, remove, false) || !Aborted();
    const QString alternate = m_store.settings.site.remLogdirAlt.trimmed();
    if (alternate.isEmpty()) {
        m_ui.StatusBarGeneral(" Log download processing has finished.");
        m_ui.LogText(" Log download processing has finished.");
        m_ui.LogText(CounterLine(counters.downloaded, " files downloaded"));
        m_ui.LogText(CounterLine(counters.alreadyRetrieved, " files bypassed (already retrieved)"));
        m_ui.LogText(CounterLine(counters.zeroSize, " files bypassed (file size zero)"));
        m_ui.LogText(CounterLine(counters.deleted, " files deleted from server"));
        return;
    }
    if (!standardDone) {
        return;
    }
    const Counters standard = counters;
    m_ui.LogText("Commencing download from alternate log directory");
    GetLogsFromRemDir(alternate, remove, true);
    m_ui.StatusBarGeneral(" Log download processing has finished.");
    m_ui.LogText(" Log download processing has finished.");
    m_ui.LogText(CounterLine(standard.downloaded, " standard directory files downloaded"));
    m_ui.LogText(CounterLine(standard.alreadyRetrieved,
                             " standard directory files bypassed (already retrieved)"));
    m_ui.LogText(
        CounterLine(standard.zeroSize, " standard directory files bypassed (file size zero)"));
    m_ui.LogText(CounterLine(standard.deleted, " standard directory files deleted from server"));
    m_ui.LogText(CounterLine(counters.downloaded, " alt directory files downloaded"));
    m_ui.LogText(CounterLine(counters.alreadyRetrieved,
                             " alt directory files bypassed (already retrieved)"));
    m_ui.LogText(CounterLine(counters.zeroSize, " alt directory files bypassed (file size zero)"));
    m_ui.LogText(CounterLine(counters.deleted, " alt directory files deleted from server"));
}

bool LogRetrieval::GetLogsFromRemDir(const QString& dir, bool deleteAfterDownload, bool alternate) {
    counters = {};
    m_unzipFolders.clear();
    m_filesDeleted = false;
    if (!m_session.CheckConnection()) {
        return false;
    }
    m_ui.DisableGridsEtc();
    m_store.UpdateSettings();
    const int savedMode = m_ui.TransferModeIndex();
    m_run.batchTransferRunning = true;

    const QString gzip = m_store.settings.common.gzipPath;
    if (!QFileInfo(gzip).isFile() &&
        !m_ui.ConfirmYesNo("No valid path to gzip.exe specified in options - decompression not "
                           "available - continue anyway?")) {
        Finish(savedMode);
        return false;
    }

    m_ui.StatusBarGeneral(" Getting list of log file names from server.");
    const QString home = m_session.homeDir;
    const QString target = QDir::isAbsolutePath(dir) ? dir : JoinRemotePath(false, home, dir);
    m_session.nextDir = target;
    m_pane.cacheUse = false;
    m_pane.ChangeRemoteDirectoryAndRefreshList();
    if (m_pane.listingFailed || NormalisedRemoteDir(false, m_session.currentRemoteDir) !=
                                    NormalisedRemoteDir(false, target)) {
        m_ui.ShowColorMsg("Error - problem accessing remote log directory " + target);
        Finish(savedMode);
        return false;
    }
    const QString localRoot = m_store.settings.site.localLogdir;
    if (!platform::IsRootedLocalPath(localRoot) || !m_local.SelectDirectory(localRoot)) {
        m_ui.ShowColorMsg("Error - problem accessing local log directory " + localRoot);
        Finish(savedMode);
        return false;
    }

    struct LogFile {
        QString name;
        QString sizeText;
        QString month;
    };
    QList<LogFile> logs;
    ListingState state = m_pane.state;
    for (const QString& line : m_session.remoteListingLines) {
        ParsedEntry entry;
        if (line.size() < state.minLineLength || !Parse_Dir_Entry(state, line, entry) ||
            entry.isDirectory || entry.permissions.startsWith('l')) {
            continue;
        }
        const QString month = LogMonth(entry.name);
        if (month != "0") {
            logs.append({entry.name, entry.sizeText, month});
        }
    }
    m_ui.SetTransferModeIndex(kBinaryMode);
    if (logs.isEmpty()) {
        m_ui.ShowColorMsg("No logfiles were obtained from remote directory " + target);
        m_ui.StatusBarGeneral(" Failed to get list of log file names from server.");
        Finish(savedMode);
        return false;
    }
    const QString found =
        QString::number(logs.size()) + " logfile names obtained from remote dir " + target;
    m_ui.LogText(found);
    m_ui.StatusBarGeneral(found);

    QString previousFolder;
    bool folderHasGz = false;
    auto noteForUnzip = [this](const QString& folder) {
        if (!m_unzipFolders.contains(folder) && m_unzipFolders.size() < kMaxUnzipFolders) {
            m_unzipFolders << folder;
        }
    };
    bool lastTransferFailed = false;
    int seen = 0;
    for (const LogFile& log : logs) {
        if (Aborted()) {
            EndAborted(savedMode);
            return false;
        }
        if (!m_session.Connected()) {
            break;
        }
        bool numeric = !log.sizeText.isEmpty();
        for (const QChar c : log.sizeText) {
            numeric = numeric && c.isDigit();
        }
        if (!numeric) {
            continue;
        }
        const qint64 remoteSize = log.sizeText.toLongLong();
        QString folder = QDir(localRoot).filePath(log.month);
        if (alternate) {
            folder = QDir(folder).filePath("Alt");
        }
        platform::EnsureFolder(folder);
        if (folder != previousFolder) {
            if (folderHasGz && !previousFolder.isEmpty()) {
                noteForUnzip(previousFolder);
            }
            folderHasGz = false;
            previousFolder = folder;
            m_local.SelectDirectory(folder);
        }
        ++seen;
        const QString base = LogBaseName(log.name);
        const QString localPath = QDir(folder).filePath(log.name);
        const QFileInfo already(QDir(folder).filePath(base));
        if (already.isFile() && already.size() >= remoteSize) {
            const QString text =
                " Bypassing download of log file previously downloaded: " + log.name;
            m_ui.StatusBarGeneral(text);
            m_ui.LogText(text);
            ++counters.alreadyRetrieved;
            if (deleteAfterDownload && m_session.Connected()) {
                DeleteIfSafe(log.name, remoteSize, already.filePath(), true);
            }
            continue;
        }
        ShowLogProgress(QString::number(seen) + " of " + QString::number(logs.size()) + " logs");
        if (log.name.contains(".gz")) {
            folderHasGz = true;
        }
        if (remoteSize == 0) {
            m_ui.LogText(log.name + " not downloaded - zero bytes");
            ++counters.zeroSize;
            if (deleteAfterDownload && m_session.Connected() && !lastTransferFailed) {
                DeleteIfSafe(log.name, 0, QString(), true);
            }
            continue;
        }
        ++counters.downloaded;
        m_transfers.transferSize = remoteSize;
        m_transfers.SetXferModeBinary();
        m_transfers.DownloadFile(log.name, localPath);
        if (!m_transfers.lastTransferOk && m_session.Connected() && !Aborted()) {
            m_transfers.DownloadFile(log.name, localPath);
        }
        lastTransferFailed = !m_transfers.lastTransferOk;
        if (deleteAfterDownload && m_session.Connected() && m_transfers.lastTransferOk) {
            DeleteIfSafe(log.name, remoteSize, localPath, false);
        } else if (deleteAfterDownload && lastTransferFailed) {
            m_ui.LogText(log.name + " kept on the server: its download did not complete");
        }
    }
    ShowLogProgress(QString());
    if (folderHasGz && !previousFolder.isEmpty()) {
        noteForUnzip(previousFolder);
    }
    // A copy: the decompression waits, and a new retrieval would clear the member.
    const QStringList folders = m_unzipFolders;
    for (const QString& folder : folders) {
        UnzipFolderFilesWithGzip(folder);
    }
    m_ui.StatusBarGeneral(" Decompression complete for compressed logs");
    m_ui.LogText(" Decompression complete for compressed logs");
    if (!previousFolder.isEmpty()) {
        m_local.SelectDirectory(previousFolder);
    }
    m_ui.StatusBarGeneral(" Refreshing directory lists.");
    if (m_session.Connected() && m_filesDeleted) {
        m_pane.cacheUse = false;
        m_pane.RefreshRemoteDirectoryList();
    }
    if (!m_session.Connected()) {
        m_ui.ShowColorMsg("A problem was encountered, please logoff and restart the FTP program.");
    }
    Finish(savedMode);
    return true;
}

bool LogRetrieval::DeleteIfSafe(const QString& name, qint64 remoteSize, const QString& localPath,
                                bool bypassed) {
    // A log leaves the server only when the whole of it is here.
    if (!localPath.isEmpty()) {
        const QFileInfo local(localPath);
        const bool whole =
            local.isFile() && (bypassed ? local.size() >= remoteSize : local.size() == remoteSize);
        if (!whole) {
            m_ui.LogText(name + " kept on the server: the local copy " + localPath +
                         " does not have its " + GroupThousands(remoteSize) + " bytes");
            return false;
        }
    }
    if (!m_operations.RemoteDelete(m_session.currentRemoteDir, name, "F")) {
        return false;
    }
    ++counters.deleted;
    m_filesDeleted = true;
    return true;
}

void LogRetrieval::ShowLogProgress(const QString& text) {
    m_ui.SetStatusPanel(StatusPanel::LogInfo, text);
    m_run.logRetrievalShown = !text.isEmpty();
}

void LogRetrieval::EndAborted(int savedMode) {
    m_ui.StatusBarGeneral(" Aborting log download at user's request.");
    m_ui.LogText("Aborting log download at user's request");
    ShowLogProgress(QString());
    m_ui.SetTransferModeIndex(savedMode);
    if (m_session.Connected()) {
        m_pane.cacheUse = false;
        m_pane.RefreshRemoteDirectoryList();
    }
    m_ui.StatusBarGeneral(" Log download was aborted at user's request.");
    Finish(savedMode);
}

void LogRetrieval::Finish(int savedMode) {
    m_ui.SetTransferModeIndex(savedMode);
    m_run.batchTransferRunning = false;
    m_local.RefreshLocal();
    m_ui.RefreshLocalList();
    m_ui.EnableGridsEtc();
}

void LogRetrieval::UnzipFolderFilesWithGzip(const QString& folder) {
    const QString gzip = m_store.settings.common.gzipPath;
    if (!QFileInfo(gzip).isFile()) {
        m_ui.Warning(
            "No valid path to gzip.exe specified in options - decompression will not be "
            "attempted.");
        return;
    }
    const QString text = " Decompressing logs in folder " + folder;
    m_ui.StatusBarGeneral(text);
    m_ui.LogText(text);
    // The files are named here rather than by a "*.gz" a shell would expand; one whose
    // decompressed name is taken is left alone (gzip would stop to ask or refuse it).
    QStringList files;
    for (const QString& name : QDir(folder).entryList({"*.gz"}, QDir::Files, QDir::Name)) {
        if (QFileInfo::exists(QDir(folder).filePath(name.chopped(3)))) {
            m_ui.LogText(name + " not decompressed: " + name.chopped(3) + " already exists");
            continue;
        }
        files << name;
    }
    if (files.isEmpty()) {
        return;
    }
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    QEventLoop loop;
    bool failedToStart = false;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            failedToStart = true;
            loop.quit();
        }
    });
    process.start(gzip, QStringList{"-d", "--"} + files);
    if (!failedToStart && process.state() != QProcess::NotRunning) {
        loop.exec();
    }
    if (failedToStart) {
        m_ui.ShowColorMsg("Error decompessing files for " + folder);
        return;
    }
    // gzip goes on past a damaged file and names it; its words go into the log.
    for (const QString& line : QString::fromLocal8Bit(process.readAll()).split('\n')) {
        if (!line.trimmed().isEmpty()) {
            m_ui.LogText(line.trimmed());
        }
    }
}
