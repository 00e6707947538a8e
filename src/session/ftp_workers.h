#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "session/remote_session.h"

class CancelToken;
class TFtpClient;
class QEventLoop;

// Extra logged-in FTP connections to the session's site that move a list of files at once, one
// file per connection, while the session's own connection stays as it was. Driven by the
// engines' events; Run waits in an event loop (the window stays alive, Cancel works).
class FtpWorkers : public QObject {
    Q_OBJECT
public:
    struct Job {
        bool upload = true;
        QString remotePath;  // full path on the server
        QString localPath;
        qint64 size = 0;
        QDateTime time;      // an upload's copy takes it where the server can (MFMT)
        bool ascii = false;  // TYPE A: line ends converted on the way
        int tag = 0;         // the caller's own
    };
    struct Result {
        Job job;
        bool ok = false;
        QString text;  // why it failed
    };

    // Log receives one line per event worth a line (a refused connection, a retry, a loss).
    FtpWorkers(const CancelToken& cancel, std::function<void(const QString&)> log);
    ~FtpWorkers() override;

    // Opens up to Count connections like Target, at once; returns how many logged in. A server
    // that refuses some (421, 530, a refused socket) is no error: the rest carry the files.
    // SetsTimes: the server takes MFMT (the session's FEAT said so).
    int Open(const LoginTarget& target, int count, bool setsTimes);
    // Moves Jobs, each on the first free connection, a failed one tried twice more on its
    // connection while it lives, one whose connection was lost put back for the others.
    // Finished is called as each ends, in completion order; Progress with the bytes moved of
    // all. Returns the jobs that never ended (Cancel, or every connection gone).
    std::vector<Job> Run(const std::vector<Job>& jobs,
                         const std::function<void(const Result&)>& finished,
                         const std::function<void(qint64 done, qint64 total)>& progress);

private:
    struct Worker;
    // Waits in the event loop until Done holds, Cancel is pressed or the program closes.
    void WaitUntil(const std::function<bool()>& done);
    // Takes the next file of the queue, if any.
    void Start(Worker& w);
    // Starts Worker's file (after a TYPE when the file needs another than the connection's).
    void Send(Worker& w);
    void Drop(Worker& w);
    // Gives the queue's files to the connections standing idle.
    void Dispatch();
    void Done(Worker& w, quint16 code);
    void Lost(Worker& w);
    void Finish(Worker& w, bool ok, const QString& text);
    void Wake();
    int Alive() const;

    const CancelToken& m_cancel;
    std::function<void(const QString&)> m_log;
    std::vector<std::unique_ptr<Worker>> m_workers;
    std::vector<std::unique_ptr<TFtpClient>> m_dropped;
    std::deque<Job> m_queue;
    std::function<void(const Result&)> m_finished;
    std::function<void(qint64, qint64)> m_progress;
    qint64 m_doneBytes = 0;
    qint64 m_totalBytes = 0;
    bool m_setsTimes = false;
    bool m_running = false;
    QEventLoop* m_wait = nullptr;
};

// Sets an engine up for Target's login: security, proxy or SOCKS, passive mode, time-out, host,
// port, user and password.
void ConfigureFtpClient(TFtpClient& c, const LoginTarget& target);
