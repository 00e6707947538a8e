#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <map>
#include <memory>
#include <vector>

class QSocketNotifier;
struct RunState;
class RemotePane;
class Session;
class SettingsStore;
class Transfers;
class UserInterface;

// Editing remote files in place: each file is fetched into a private folder and opened in the
// favoured editor; every save (watched, not polled) is offered for upload, after a check that the
// server's copy has not changed since it was fetched. The copies live until the editor ends with
// nothing left to send, or until the program closes.
class RemoteEdits : public QObject {
    Q_OBJECT
public:
    RemoteEdits(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                RemotePane& pane, Transfers& transfers);
    ~RemoteEdits() override;

    // Edits the files (not folders or links) among the remote list's rows (indexes of
    // RemotePane::Row); a file already open is handed to the editor again.
    void Edit(const std::vector<int>& rows);

    // The names of the edited files whose last saved state has not reached the server.
    QStringList UnsentChanges() const;
    // Before the program closes: asks what to do with unsent changes (upload them, drop them,
    // or stay). False when the program should stay open.
    bool ConfirmClose();

    // The local copy of an open edit (tests write it as an editor would save it); empty when
    // the file is not open.
    QString LocalCopy(const QString& remoteDir, const QString& name) const;
    int OpenCount() const { return int(m_edits.size()); }

    // An editor that ends sooner than this handed the file to a window already open: its copy
    // is watched until the program closes (tests lower it).
    int editorQuickReturnMs = 2000;
    // How long saves settle before the copy is looked at (editors write in several steps).
    int settleMs = 300;

private:
    struct OpenEdit {
        QString site;  // the site it was fetched from
        QString remoteDir;
        QString name;
        QString localPath;
        // The server's copy as last fetched or sent: listing size and time, exact time if known.
        qint64 remoteSize = 0;
        QString remoteModified;
        QDateTime remoteExact;
        // The local copy's state that is on the server, and the one last looked at.
        QByteArray sentHash;
        QByteArray declinedHash;  // a state the person chose to keep here
        bool always = false;
        bool editorEnded = false;
        QSocketNotifier* editorEnd = nullptr;
        int editorHandle = -1;
    };

    // The id of the open edit of Name in RemoteDir on this site; 0 when there is none.
    int Find(const QString& remoteDir, const QString& name) const;
    bool StartEditor(int id);
    // Fetches Name of the current remote directory into a new private folder.
    bool Fetch(const QString& name, qint64 size, const QString& modified);
    // Reads what the server has now into Size, Modified and Exact; false when it is gone.
    bool ServerState(const OpenEdit& edit, qint64& size, QString& modified, QDateTime& exact);
    void Changed();
    // Looks at every open copy once nothing else is running, uploads what was saved, and drops
    // the edits whose editor has ended with nothing left to send.
    void Sweep();
    // Sends Edit's copy after the checks; true when it reached the server.
    bool Send(OpenEdit& edit, bool asked);
    void Close(int id);
    QString SiteName() const;

    SettingsStore& m_store;
    RunState& m_run;
    UserInterface& m_ui;
    Session& m_session;
    RemotePane& m_pane;
    Transfers& m_transfers;
    std::unique_ptr<QTemporaryDir> m_folder;
    QFileSystemWatcher m_watcher;
    QTimer m_sweep;
    std::map<int, OpenEdit> m_edits;
    int m_nextId = 1;
    bool m_working = false;  // a fetch or a sweep is in progress
};
