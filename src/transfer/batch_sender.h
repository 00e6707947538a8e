#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

class SettingsStore;
struct RunState;
class UserInterface;
class Session;

// One file of a batch that moves several at once.
struct BatchJob {
    bool upload = true;
    QString remotePath;  // full path on the server
    QString localPath;
    qint64 size = 0;
    QDateTime time;      // the copy takes it where it can (invalid: the copy's own time)
    bool ascii = false;  // line ends converted on the way
    int tag = 0;         // the caller's own
};

// Several files of one batch at once, as many as "Simultaneous transfers" allows: FTP over extra
// logged-in connections to the site (FtpWorkers), SFTP with several files in flight inside its
// one session. What cannot go this way goes one by one over the session, as the caller does it.
class BatchSender {
public:
    BatchSender(SettingsStore& store, RunState& run, UserInterface& ui, Session& session);

    // How many of Count files would move at once on this session (1: one after the other).
    int Width(int count) const;
    // Called as each file ends, in the order they end: ok, or why not.
    using Ended = std::function<void(const BatchJob& job, bool ok, const QString& text)>;
    // Moves Jobs several at once with the whole batch's progress (files, bytes, rate, time
    // left). Returns the jobs that never ended: all of them when no other connection could be
    // made, those Cancel stopped (each named in the log) or the connection took with it.
    std::vector<BatchJob> Send(const std::vector<BatchJob>& jobs, const Ended& ended);

private:
    SettingsStore& m_store;
    RunState& m_run;
    UserInterface& m_ui;
    Session& m_session;
};
