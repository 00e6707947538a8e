#include "session/sftp_connection.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include "session/sftp_engine.h"
#include "session/ssh_transport.h"

// The session glue: the transport (the system's ssh) carries the bytes, the engine speaks SFTP, and
// one timer watches that whatever we wait for makes progress.
class SftpConnection::Private {
public:
    enum class Phase { Idle, Connecting, Connected };

    explicit Private(SftpConnection* owner) : q(owner) {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, q, [this] { OnTimeout(); });
        NewEngine();
    }
    ~Private() { Drop(); }

    void NewEngine() {
        if (engine) {
            engine->disconnect(q);
            engine->send = nullptr;
            engine->deleteLater();
        }
        engine = new SftpEngine;
        engine->send = [this](QByteArray bytes) {
            if (transport) {
                transport->Send(std::move(bytes));
            }
        };
        QObject::connect(engine, &SftpEngine::ready, q, [this] {
            phase = Phase::Connected;
            Rearm();
            emit q->connected(0, SftpCodeText(0));
        });
        QObject::connect(engine, &SftpEngine::broken, q,
                         [this](int code, const QString& text) { Lost(code, text); });
        QObject::connect(engine, &SftpEngine::realPath, q, &SftpConnection::realPath);
        QObject::connect(engine, &SftpEngine::listed, q, &SftpConnection::listed);
        QObject::connect(engine, &SftpEngine::attributes, q, &SftpConnection::attributes);
        QObject::connect(engine, &SftpEngine::progress, q, &SftpConnection::progress);
        QObject::connect(engine, &SftpEngine::done, q,
                         [this](quint32 id, int code, const QString& text) {
                             QPointer<SftpConnection> alive(q);
                             emit q->done(id, code, text);
                             if (alive) {
                                 Rearm();
                             }
                         });
    }

    // Closes the transport without a word; it is deleted from the event loop, since this may
    // run inside one of its own callbacks.
    void Drop() {
        timer.stop();
        if (transport) {
            transport->Close();
            transport->deleteLater();
            transport = nullptr;
        }
        if (engine) {
            engine->disconnect(q);
            engine->send = nullptr;
            engine->deleteLater();
            engine = nullptr;
        }
    }

    void Rearm() {
        if (phase == Phase::Connecting || (engine && engine->HasRequests())) {
            timer.start(timeoutMs);
        } else {
            timer.stop();
        }
    }

    void OnTimeout() {
        if (phase == Phase::Idle) {
            return;
        }
        if (transport && transport->Asking()) {
            // A person is answering one of ssh's questions: their time is not the server's.
            timer.start(timeoutMs);
            return;
        }
        const QString text = SftpCodeText(kTimedOut);
        if (phase == Phase::Connecting) {
            ConnectFailed(kTimedOut, text);
        } else {
            Lost(kTimedOut, text);
        }
    }

    void ConnectFailed(int code, const QString& text) {
        phase = Phase::Idle;
        SftpEngine* old = engine;
        Drop();
        Q_UNUSED(old);
        NewEngine();
        emit q->connected(code, text);
    }

    // The session ended under running requests: each ends with code, then disconnected.
    void Lost(int code, const QString& text) {
        if (phase == Phase::Connecting) {
            ConnectFailed(code, text);
            return;
        }
        if (phase == Phase::Idle) {
            return;
        }
        phase = Phase::Idle;
        timer.stop();
        if (transport) {
            transport->Close();
            transport->deleteLater();
            transport = nullptr;
        }
        QPointer<SftpConnection> alive(q);
        if (engine) {
            engine->FailAll(code, text);
        }
        if (!alive) {
            return;
        }
        Drop();
        NewEngine();
        emit q->disconnected(text);
    }

    SftpConnection* q;
    Phase phase = Phase::Idle;
    SshTransport* transport = nullptr;
    SftpEngine* engine = nullptr;
    QTimer timer;
    int timeoutMs = 25000;
    QString fingerprint;
    quint32 nextId = 1;
};

SftpConnection::SftpConnection(QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(this)) {}

SftpConnection::~SftpConnection() = default;

void SftpConnection::Connect(const SftpConnectOptions& options) {
    if (d->phase != Private::Phase::Idle) {
        Disconnect();
    }
    d->Drop();
    d->NewEngine();
    d->fingerprint.clear();
    d->timeoutMs = std::max(1, options.timeoutSeconds) * 1000;
    d->phase = Private::Phase::Connecting;
    auto* transport = new SshTransport;
    d->transport = transport;
    transport->onHostKey = [this](const QString& fingerprint) {
        d->fingerprint = fingerprint;
        emit hostKey(fingerprint);
    };
    transport->onReady = [this] {
        if (d->engine) {
            d->engine->Begin();
        }
    };
    transport->onData = [this](const char* data, qsizetype size) {
        if (d->engine) {
            d->engine->Feed(data, size);
        }
    };
    transport->onActivity = [this] {
        if (d->timer.isActive()) {
            d->timer.start(d->timeoutMs);
        }
    };
    transport->onFailed = [this](int code, const QString& text) { d->Lost(code, text); };
    d->Rearm();
    transport->Start(options);
}

void SftpConnection::Disconnect() {
    const Private::Phase phase = d->phase;
    if (phase == Private::Phase::Idle) {
        return;
    }
    QPointer<SftpConnection> alive(this);
    const QString text = SftpCodeText(kAborted);
    if (phase == Private::Phase::Connecting) {
        d->ConnectFailed(kAborted, text);
        if (alive) {
            emit disconnected(QCoreApplication::translate("Sftp", "Disconnected"));
        }
        return;
    }
    d->phase = Private::Phase::Idle;
    if (d->transport) {
        d->transport->Close();
    }
    if (d->engine) {
        d->engine->FailAll(kAborted, text);
    }
    if (!alive) {
        return;
    }
    d->Drop();
    d->NewEngine();
    emit disconnected(QCoreApplication::translate("Sftp", "Disconnected"));
}

bool SftpConnection::IsConnected() const {
    return d->phase == Private::Phase::Connected;
}

QString SftpConnection::HostFingerprint() const {
    return d->fingerprint;
}

#define SFTP_REQUEST(call)          \
    const quint32 id = d->nextId++; \
    d->engine->call;                \
    d->Rearm();                     \
    return id

quint32 SftpConnection::RealPath(const QString& path) {
    SFTP_REQUEST(RealPath(id, path));
}
quint32 SftpConnection::ListDir(const QString& path) {
    SFTP_REQUEST(ListDir(id, path));
}
quint32 SftpConnection::Stat(const QString& path) {
    SFTP_REQUEST(Stat(id, path));
}
quint32 SftpConnection::SetStat(const QString& path, const SftpAttributes& attributes) {
    SFTP_REQUEST(SetStat(id, path, attributes));
}
quint32 SftpConnection::Remove(const QString& path) {
    SFTP_REQUEST(Remove(id, path));
}
quint32 SftpConnection::RemoveDir(const QString& path) {
    SFTP_REQUEST(RemoveDir(id, path));
}
quint32 SftpConnection::MakeDir(const QString& path) {
    SFTP_REQUEST(MakeDir(id, path));
}
quint32 SftpConnection::Rename(const QString& from, const QString& to) {
    SFTP_REQUEST(Rename(id, from, to));
}
quint32 SftpConnection::Download(const QString& remote, const QString& local, bool resume,
                                 bool textMode) {
    SFTP_REQUEST(Download(id, remote, local, resume, textMode));
}
quint32 SftpConnection::Upload(const QString& local, const QString& remote, bool resume,
                               bool textMode, std::optional<quint32> modificationTime) {
    SFTP_REQUEST(Upload(id, local, remote, resume, textMode, modificationTime));
}

#undef SFTP_REQUEST

void SftpConnection::Abort() {
    if (d->engine) {
        d->engine->AbortAll();
    }
}
