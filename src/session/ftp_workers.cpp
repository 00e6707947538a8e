#include "session/ftp_workers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <optional>

#include "ftp/ftp_client.h"
#include "runtime/cancel_token.h"

void ConfigureFtpClient(TFtpClient& c, const LoginTarget& t) {
    c.Security = FtpSecurityFromKey(QString::number(t.ftpTls));
    c.TrustedFingerprint = t.tlsFingerprint;
    c.Passive = t.passive;
    c.ProxyServer.clear();
    c.SocksServer.clear();
    c.SocksUserCode.clear();
    c.SocksPassword.clear();
    c.ConnectionType = ftpDirect;
    switch (t.connectionIndex) {
        case 1:
            c.ConnectionType = ftpProxy;
            c.ProxyServer = t.proxyHost;
            c.ProxyPort = t.proxyPort.isEmpty() ? QStringLiteral("21") : t.proxyPort;
            break;
        case 2:
        case 3:
        case 4:
            c.ConnectionType = t.connectionIndex == 2   ? ftpSocks4
                               : t.connectionIndex == 3 ? ftpSocks4A
                                                        : ftpSocks5;
            c.SocksServer = t.proxyHost;
            c.SocksPort = t.proxyPort.isEmpty() ? QStringLiteral("1080") : t.proxyPort;
            c.SocksUserCode = t.proxyUser;
            c.SocksPassword = t.proxyPassword;
            break;
        default:
            break;
    }
    if (c.ConnectionType != ftpDirect) {
        c.Passive = true;  // proxies and SOCKS only carry passive transfers
    }
    c.Timeout = t.timeoutSeconds;
    c.Binary = true;
    c.HostDirName.clear();
    c.HostName = t.host;
    c.Port = t.port == "?" ? DefaultFtpPort(c.Security) : t.port;
    c.UserName = t.user;
    c.PassWord = t.password;
}

struct FtpWorkers::Worker {
    enum class Phase { Connecting, Idle, Type, Transfer, Time, Gone };
    std::unique_ptr<TFtpClient> client;
    Phase phase = Phase::Connecting;
    std::optional<Job> job;
    int tries = 0;
    int number = 0;
    std::optional<bool> ascii;  // the TYPE the connection is in, once one was sent
    qint64 budgetMs = 0;
    QElapsedTimer quiet;  // since the engine last moved
    bool Busy() const {
        return phase == Phase::Type || phase == Phase::Transfer || phase == Phase::Time;
    }
};

FtpWorkers::FtpWorkers(const CancelToken& cancel, std::function<void(const QString&)> log)
    : m_cancel(cancel), m_log(std::move(log)) {}

FtpWorkers::~FtpWorkers() = default;

void FtpWorkers::Wake() {
    if (m_wait) {
        m_wait->quit();
    }
}

int FtpWorkers::Alive() const {
    return int(std::count_if(m_workers.begin(), m_workers.end(),
                             [](const auto& w) { return w->phase != Worker::Phase::Gone; }));
}

void FtpWorkers::Drop(Worker& w) {
    w.phase = Worker::Phase::Gone;
    if (!w.client) {
        return;
    }
    // Its late reports must reach nothing; it is destroyed with this object, never inside one
    // of its own calls.
    w.client->OnRequestDone = nullptr;
    w.client->OnSessionClosed = nullptr;
    w.client->disconnect(this);
    w.client->Abort();
    m_dropped.push_back(std::move(w.client));
}

int FtpWorkers::Open(const LoginTarget& target, int count, bool setsTimes) {
    m_setsTimes = setsTimes;
    for (int i = 0; i < count; ++i) {
        auto w = std::make_unique<Worker>();
        w->number = i + 1;
        w->client = std::make_unique<TFtpClient>();
        ConfigureFtpClient(*w->client, target);
        // A failed data connection costs this connection alone: the time-out drops it and
        // the file goes to another.
        w->client->EarlyTransferCommand = true;
        w->budgetMs = qint64(target.timeoutSeconds) * 1000 - 5000;
        Worker* raw = w.get();
        w->client->OnRequestDone = [this, raw](TFtpClient*, TFtpRequest, quint16 code) {
            Done(*raw, code);
        };
        w->client->OnSessionClosed = [this, raw](TFtpClient*) { Lost(*raw); };
        connect(w->client.get(), &TFtpClient::Progress, this, [this, raw] {
            raw->quiet.restart();
            Wake();
        });
        w->quiet.start();
        w->client->ConnectAsync();
        m_workers.push_back(std::move(w));
    }
    WaitUntil([this] {
        return std::none_of(m_workers.begin(), m_workers.end(),
                            [](const auto& w) { return w->phase == Worker::Phase::Connecting; });
    });
    return Alive();
}

void FtpWorkers::WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer shown;
    shown.start();
    while (!done() && !m_cancel.Requested() && !QCoreApplication::closingDown()) {
        for (const auto& w : m_workers) {
            // A connection that has stood still past the site's time-out is given up; its file
            // goes to another.
            if (w->phase != Worker::Phase::Idle && w->phase != Worker::Phase::Gone &&
                w->quiet.elapsed() > w->budgetMs) {
                m_log(QStringLiteral("Connection %1 timed out").arg(w->number));
                if (w->job) {
                    m_queue.push_front(*w->job);
                    w->job.reset();
                }
                Drop(*w);
                Dispatch();
            }
        }
        if (m_progress && shown.elapsed() >= 100) {
            qint64 moving = 0;
            for (const auto& w : m_workers) {
                if (w->phase == Worker::Phase::Transfer && w->client) {
                    moving += w->client->ByteCount();
                }
            }
            m_progress(m_doneBytes + moving, m_totalBytes);
            shown.restart();
        }
        // Woken by the engines; the timer only looks at the time-outs and Cancel.
        QEventLoop loop;
        m_wait = &loop;
        QTimer::singleShot(250, &loop, &QEventLoop::quit);
        loop.exec();
        m_wait = nullptr;
    }
}

void FtpWorkers::Start(Worker& w) {
    if (!m_running || m_queue.empty() || m_cancel.Requested() || !w.client) {
        w.phase = w.client ? Worker::Phase::Idle : Worker::Phase::Gone;
        return;
    }
    w.job = m_queue.front();
    m_queue.pop_front();
    w.tries = 1;
    w.quiet.restart();
    Send(w);
}

void FtpWorkers::Send(Worker& w) {
    TFtpClient& c = *w.client;
    if (w.ascii != w.job->ascii) {
        w.phase = Worker::Phase::Type;
        c.Binary = !w.job->ascii;
        c.TypeSetAsync();
        return;
    }
    c.HostFileName = w.job->remotePath;
    c.LocalFileName = w.job->localPath;
    w.phase = Worker::Phase::Transfer;
    if (w.job->upload) {
        c.PutAsync();
    } else {
        c.GetAsync();
    }
}

void FtpWorkers::Done(Worker& w, quint16 code) {
    TFtpClient& c = *w.client;
    w.quiet.restart();
    switch (w.phase) {
        case Worker::Phase::Connecting:
            c.PassWord.fill(QChar(' '));  // held no longer than the login
            c.PassWord.clear();
            if (code == 0 && c.Connected()) {
                w.phase = Worker::Phase::Idle;
            } else {
                m_log(QStringLiteral("Another connection to the server was not made (%1): the "
                                     "files go over the connections there are")
                          .arg(code != 0 ? QString::number(code) + " " + c.LastResponse().trimmed()
                                         : QStringLiteral("refused")));
                Drop(w);
            }
            break;
        case Worker::Phase::Type:
            if (code != 0 && !c.Connected()) {
                Lost(w);  // the file never started: another connection takes it
                break;
            }
            if (code != 0) {
                Finish(w, false, c.LastResponse().trimmed());
                break;
            }
            w.ascii = w.job->ascii;
            Send(w);
            break;
        case Worker::Phase::Transfer:
            if (code == 0) {
                if (w.job->upload && m_setsTimes && w.job->time.isValid()) {
                    w.phase = Worker::Phase::Time;
                    c.LocalFileName = "MFMT " + w.job->time.toUTC().toString("yyyyMMddHHmmss") +
                                      " " + w.job->remotePath;
                    c.QuoteAsync();
                    break;
                }
                Finish(w, true, {});
            } else if (!c.Connected()) {
                Lost(w);
            } else if (w.tries < 3 && !m_cancel.Requested()) {
                ++w.tries;
                m_log(QStringLiteral("Error with transfer of %1 but still connected - retrying "
                                     "(%2)")
                          .arg(w.job->remotePath)
                          .arg(w.tries - 1));
                Send(w);
            } else {
                Finish(w, false, c.LastResponse().trimmed());
            }
            break;
        case Worker::Phase::Time:
            Finish(w, true, {});  // a server that refuses the time still has the file
            break;
        case Worker::Phase::Idle:
        case Worker::Phase::Gone:
            break;
    }
    Wake();
}

void FtpWorkers::Lost(Worker& w) {
    if (w.phase == Worker::Phase::Gone) {
        return;
    }
    QString what;
    if (w.job) {
        what = ": " + w.job->remotePath + " is tried again" +
               (w.job->upload ? QString() : " (a part may be in " + w.job->localPath + ")");
    }
    m_log(QStringLiteral("Connection %1 to the server was lost").arg(w.number) + what);
    if (w.job) {
        m_queue.push_front(*w.job);
        w.job.reset();
    }
    Drop(w);
    Dispatch();  // a connection that went idle meanwhile takes the file back
    Wake();
}

void FtpWorkers::Dispatch() {
    for (const auto& w : m_workers) {
        if (w->phase == Worker::Phase::Idle && !m_queue.empty()) {
            Start(*w);
        }
    }
}

void FtpWorkers::Finish(Worker& w, bool ok, const QString& text) {
    const Job job = *w.job;
    w.job.reset();
    if (ok) {
        m_doneBytes += job.size;
    }
    if (m_finished) {
        m_finished({job, ok, text});
    }
    Start(w);
}

std::vector<FtpWorkers::Job> FtpWorkers::Run(const std::vector<Job>& jobs,
                                             const std::function<void(const Result&)>& finished,
                                             const std::function<void(qint64, qint64)>& progress) {
    m_queue.assign(jobs.begin(), jobs.end());
    m_totalBytes = 0;
    for (const Job& j : jobs) {
        m_totalBytes += j.size;
    }
    m_doneBytes = 0;
    m_finished = finished;
    m_progress = progress;
    m_running = true;
    Dispatch();
    WaitUntil([this] {
        const bool busy = std::any_of(m_workers.begin(), m_workers.end(),
                                      [](const auto& w) { return w->Busy(); });
        return (m_queue.empty() && !busy) || Alive() == 0;
    });
    m_running = false;
    std::vector<Job> left(m_queue.begin(), m_queue.end());
    m_queue.clear();
    for (const auto& w : m_workers) {
        if (w->job) {
            // Stopped by Cancel in the middle: the log names what may be left half-written.
            m_log("Stopped while moving " + w->job->remotePath + ": " +
                  (w->job->upload ? "the server may hold part of it"
                                  : "a part is kept in " + w->job->localPath));
            left.push_back(*w->job);
            w->job.reset();
            Drop(*w);
        }
    }
    m_finished = nullptr;
    m_progress = nullptr;
    return left;
}
