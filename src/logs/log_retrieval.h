#pragma once

#include <QString>
#include <QStringList>

class RemoteOperations;
class SettingsStore;
struct RunState;
class LocalPane;
class RemotePane;
class Session;
class Transfers;
class UserInterface;

// Tools > Log File Retrieval: every dated access log of the remote log folders that is not yet
// here is brought into a local folder per month (and its Alt subfolder for the alternate
// folder), optionally removed from the server once it is safely here, and decompressed with
// gzip. Over the current FTP or SFTP session; reaches the person through UserInterface.
class LogRetrieval {
public:
    LogRetrieval(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                 RemotePane& pane, LocalPane& local, Transfers& transfers,
                 RemoteOperations& operations);

    // The menu command.
    void GetLogs();
    // One remote log folder (relative to the home directory). False when it stopped early
    // (no connection, no logs, a folder that cannot be entered, an abort).
    bool GetLogsFromRemDir(const QString& dir, bool deleteAfterDownload, bool alternate);
    // Decompresses the ".gz" files of Folder with the external gzip.
    void UnzipFolderFilesWithGzip(const QString& folder);

    struct Counters {
        int downloaded = 0;
        int alreadyRetrieved = 0;
        int zeroSize = 0;
        int deleted = 0;
    };
    Counters counters;

private:
    bool Aborted() const;
    void EndAborted(int savedMode);
    // The status bar's "N of M logs", and the run state's note that it shows.
    void ShowLogProgress(const QString& text);
    void Finish(int savedMode);
    bool DeleteIfSafe(const QString& name, qint64 remoteSize, const QString& localPath,
                      bool bypassed);

    SettingsStore& m_store;
    RunState& m_run;
    UserInterface& m_ui;
    Session& m_session;
    RemotePane& m_pane;
    LocalPane& m_local;
    Transfers& m_transfers;
    RemoteOperations& m_operations;
    QStringList m_unzipFolders;
    bool m_filesDeleted = false;
};
