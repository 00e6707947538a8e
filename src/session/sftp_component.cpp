#include "session/sftp_component.h"

#include <QDateTime>
#include <QEventLoop>

#include <unordered_map>

#include "session/sftp_packet.h"

SftpComponent::SftpComponent(QObject* parent) : QObject(parent) {
    connect(&m_connection, &SftpConnection::hostKey, this, [this](const QString& fingerprint) {
        bool accept = true;
        if (OnHostFingerprint) {
            OnHostFingerprint(fingerprint, accept);
        }
        if (!accept) {
            m_connection.Disconnect();
        }
    });
    connect(&m_connection, &SftpConnection::connected, this, [this](int code, const QString& text) {
        m_code = code;
        m_connectEnded = true;
        if (OnConnected) {
            OnConnected(code, text);
        }
        if (m_loop) {
            m_loop->quit();
        }
    });
    connect(&m_connection, &SftpConnection::disconnected, this, [this](const QString&) {
        if (OnDisconnected) {
            OnDisconnected();
        }
        if (m_loop) {
            m_loop->quit();
        }
    });
    connect(&m_connection, &SftpConnection::realPath, this, [this](quint32, const QString& path) {
        if (OnListItems) {
            OnListItems(path);
        }
    });
    connect(&m_connection, &SftpConnection::listed, this,
            [this](quint32, const QList<SftpNameEntry>& entries) {
                for (const SftpNameEntry& entry : entries) {
                    if (entry.attributes.modificationTime) {
                        ListedTimes.insert(entry.filename, *entry.attributes.modificationTime);
                    }
                }
                if (!OnListItems) {
                    return;
                }
                const qint64 now = QDateTime::currentSecsSinceEpoch();
                QString text;
                for (const SftpNameEntry& entry : entries) {
                    text += SftpListingLine(entry, now) + '\n';
                }
                OnListItems(text);
            });
    connect(&m_connection, &SftpConnection::attributes, this,
            [this](quint32, const SftpAttributes& a) {
                if (OnAttributes) {
                    OnAttributes(qint64(a.size.value_or(0)), a.uid.value_or(0), a.gid.value_or(0),
                                 a.permissions.value_or(0), a.accessTime.value_or(0),
                                 a.modificationTime.value_or(0));
                }
            });
    connect(&m_connection, &SftpConnection::progress, this,
            [this](quint32, qint64 position, qint64 total) {
                if (OnProgress) {
                    OnProgress(position, total);
                }
            });
    connect(&m_connection, &SftpConnection::done, this, &SftpComponent::Finished);
}

SftpComponent::~SftpComponent() {
    OnConnected = nullptr;
    OnHostFingerprint = nullptr;
    OnPrompt = nullptr;
    OnDone = nullptr;
    OnListItems = nullptr;
    OnProgress = nullptr;
    OnAttributes = nullptr;
    OnDisconnected = nullptr;
}

int SftpComponent::Connect() {
    SftpConnectOptions options;
    options.host = Hostname;
    options.port = quint16(Port > 0 && Port < 65536 ? Port : 0);
    options.user = Login;
    options.password = Password;
    options.keyFile = KeyFile;
    options.knownHostsFile = KnownHostsFile;
    options.answer = OnPrompt;
    options.timeoutSeconds = Timeout;
    if (ProxyType >= 1 && ProxyType <= 4) {
        SocksSettings proxy;
        proxy.level = ProxyType == 1   ? SocksLevel::HttpConnect
                      : ProxyType == 2 ? SocksLevel::Socks4
                      : ProxyType == 3 ? SocksLevel::Socks4A
                                       : SocksLevel::Socks5;
        proxy.server = ProxyHostname;
        proxy.port = quint16(ProxyPort > 0 && ProxyPort < 65536 ? ProxyPort
                             : ProxyType == 1                   ? 80
                                                                : 1080);
        proxy.user = ProxyLogin;
        proxy.password = ProxyPassword;
        options.socks = proxy;
    }
    m_connecting = true;
    m_connectEnded = false;
    m_code = 0;
    m_connection.Connect(options);
    options.password.fill(QChar(' '));
    // Waits for the connect's own result; the connection bounds it by the time-out.
    while (!m_connectEnded) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
        if (!m_connection.IsConnected() && !m_connectEnded) {
            // Disconnected before the login ended (a refused host key, Abort).
            m_code = SftpConnection::kAborted;
            break;
        }
    }
    m_connecting = false;
    return m_code;
}

void SftpComponent::Disconnect() {
    m_connection.Disconnect();
}

int SftpComponent::Run(const std::function<quint32()>& start) {
    if (!m_connection.IsConnected()) {
        m_code = SftpConnection::kConnectionLost;
        if (OnDone) {
            OnDone(m_code, "Not connected");
        }
        return m_code;
    }
    m_finished = false;
    m_running = start();
    while (!m_finished) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
        if (!m_finished && !m_connection.IsConnected()) {
            // The connection ended without the request's own end: it is not coming.
            m_code = SftpConnection::kConnectionLost;
            break;
        }
    }
    m_running = 0;
    return m_code;
}

void SftpComponent::Finished(quint32 id, int code, const QString& text) {
    if (m_batchEnded && m_batchEnded(id, code, text)) {
        return;
    }
    if (id != m_running || m_finished) {
        return;
    }
    m_finished = true;
    m_code = code;
    if (OnDone) {
        OnDone(code, text);
    }
    if (m_loop) {
        m_loop->quit();
    }
}

int SftpComponent::RealPath(const QString& path) {
    return Run([&] { return m_connection.RealPath(path); });
}

int SftpComponent::ListDir(const QString& directory) {
    ListedTimes.clear();
    return Run([&] { return m_connection.ListDir(directory); });
}

int SftpComponent::PutFile(const QString& localPath, const QString& remotePath) {
    return Run(
        [&] { return m_connection.Upload(localPath, remotePath, Resume, TransferMode == 1); });
}

int SftpComponent::GetFile(const QString& localPath, const QString& remotePath) {
    return Run(
        [&] { return m_connection.Download(remotePath, localPath, Resume, TransferMode == 1); });
}

int SftpComponent::DeleteFile(const QString& path) {
    return Run([&] { return m_connection.Remove(path); });
}

int SftpComponent::RemoveDir(const QString& path) {
    return Run([&] { return m_connection.RemoveDir(path); });
}

int SftpComponent::MakeDir(const QString& path) {
    return Run([&] { return m_connection.MakeDir(path); });
}

int SftpComponent::Rename(const QString& newPath) {
    return Run([&] { return m_connection.Rename(RemotePath, newPath); });
}

int SftpComponent::GetAttributes(const QString& path) {
    return Run([&] { return m_connection.Stat(path); });
}

int SftpComponent::SetAttr(const QString& path, int owner, int permissions, int group) {
    SftpAttributes attributes;
    if (owner >= 0 && group >= 0) {
        attributes.uid = quint32(owner);
        attributes.gid = quint32(group);
    }
    if (permissions >= 0) {
        attributes.permissions = quint32(permissions);
    }
    return Run([&] { return m_connection.SetStat(path, attributes); });
}

int SftpComponent::SetTimes(const QString& path, qint64 seconds) {
    SftpAttributes attributes;
    attributes.accessTime = quint32(seconds);
    attributes.modificationTime = quint32(seconds);
    return Run([&] { return m_connection.SetStat(path, attributes); });
}

void SftpComponent::Abort() {
    m_connection.Abort();
}

std::vector<int> SftpComponent::TransferMany(
    const std::vector<BatchFile>& files, int inFlight,
    const std::function<void(int index, int code, const QString& text)>& ended,
    const std::function<void(qint64 bytes)>& progress) {
    std::unordered_map<quint32, int> running;  // request id -> index
    std::unordered_map<quint32, qint64> position;
    qint64 endedBytes = 0;
    int next = 0;
    bool stop = false;
    auto start = [&] {
        while (!stop && next < int(files.size()) && int(running.size()) < std::max(1, inFlight) &&
               m_connection.IsConnected()) {
            const BatchFile& file = files[size_t(next)];
            const quint32 id = file.upload ? m_connection.Upload(file.localPath, file.remotePath,
                                                                 false, file.text, file.time)
                                           : m_connection.Download(file.remotePath, file.localPath,
                                                                   false, file.text);
            running.emplace(id, next++);
        }
    };
    const QMetaObject::Connection moved =
        connect(&m_connection, &SftpConnection::progress, this, [&](quint32 id, qint64 at, qint64) {
            if (running.count(id) != 0) {
                position[id] = at;
                qint64 sum = endedBytes;
                for (const auto& [_, bytes] : position) {
                    sum += bytes;
                }
                progress(sum);
            }
        });
    // Its own loop, not m_loop: a call made while the batch waits must not end the batch's wait.
    QEventLoop loop;
    const QMetaObject::Connection gone =
        connect(&m_connection, &SftpConnection::disconnected, &loop, &QEventLoop::quit);
    m_batchEnded = [&](quint32 id, int code, const QString& text) {
        const auto it = running.find(id);
        if (it == running.end()) {
            return false;  // another call's
        }
        const int index = it->second;
        running.erase(it);
        endedBytes += position[id];
        position.erase(id);
        stop = stop || code == SftpConnection::kAborted;
        ended(index, code, text);
        start();
        if (running.empty()) {
            loop.quit();
        }
        return true;
    };
    start();
    while (!running.empty() && m_connection.IsConnected()) {
        loop.exec();
    }
    // What the connection took with it ends here, so every started file is answered once.
    for (const auto& [id, index] : running) {
        ended(index, SftpConnection::kConnectionLost,
              SftpCodeText(SftpConnection::kConnectionLost));
    }
    m_batchEnded = nullptr;
    disconnect(moved);
    disconnect(gone);
    std::vector<int> left;
    for (int i = next; i < int(files.size()); ++i) {
        left.push_back(i);
    }
    return left;
}
