#include "support/memory_remote.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "config/scrambling.h"
#include "session/session.h"
#include "support/headless_program.h"

MemoryRemote::MemoryRemote(Session& session) : m_session(session) {
    m_session.ReplaceRemote(this);
}

MemoryRemote::~MemoryRemote() {
    m_session.ReplaceRemote(nullptr);
}

QString MemoryRemote::Full(const QString& dir, const QString& name) const {
    if (name.startsWith('/')) {
        return name;
    }
    return (dir.endsWith('/') ? dir : dir + "/") + name;
}

bool MemoryRemote::Login(const LoginTarget& target) {
    requests << "LOGIN " + target.user;
    if (target.password != password) {
        m_session.loginRefused = true;
        m_session.AppendRequestError(530);
        m_session.SetState(ConnectionState::Disconnected);
        return false;
    }
    up = true;
    m_session.homeDir = home;
    m_session.currentRemoteDir = home;
    m_session.lastQuotedDir = home;
    m_session.SetState(ConnectionState::Connected);
    return true;
}

void MemoryRemote::Drop() {
    up = false;
    m_session.SessionClosed();
}

void MemoryRemote::Logout() {
    requests << "QUIT";
    if (up) {
        up = false;
        m_session.SessionClosed();
    }
}

bool MemoryRemote::ChangeDirectory(const QString& target) {
    requests << "CWD " + target;
    if (!up || !dirs.contains(target)) {
        m_session.AppendRequestError(550);
        return false;
    }
    m_session.currentRemoteDir = target;
    return true;
}

bool MemoryRemote::FetchListing(QStringList& lines) {
    const QString dir = m_session.currentRemoteDir;
    requests << "LIST " + dir;
    if (!up) {
        return false;
    }
    const QString prefix = dir.endsWith('/') ? dir : dir + "/";
    auto child = [&prefix](const QString& path) {
        return path.startsWith(prefix) && path.size() > prefix.size() &&
               !path.mid(prefix.size()).contains('/');
    };
    lines.clear();
    for (const QString& path : dirs) {
        if (child(path)) {
            lines << "drwxr-xr-x 2 u u 4096 Jan  1  2024 " + path.mid(prefix.size());
        }
    }
    for (auto it = links.begin(); it != links.end(); ++it) {
        if (child(it.key())) {
            lines << "lrwxrwxrwx 1 u u 4 Jan  1  2024 " + it.key().mid(prefix.size()) + " -> " +
                         it.value();
        }
    }
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (child(it.key())) {
            lines << QString("-rw-r--r-- 1 u u %1 Jan  1  2024 %2")
                         .arg(it.value().size())
                         .arg(it.key().mid(prefix.size()));
        }
    }
    m_session.remoteListingLines = lines;
    m_session.listingLoaded = true;
    m_session.listingReceived = true;
    return true;
}

RemoteResult MemoryRemote::Change(const QString& request, const QString& path) {
    requests << request + " " + path;
    if (!up) {
        m_session.AppendRequestError(421);
        return {RemoteErrorKind::ConnectionLost, 421, "Not connected"};
    }
    if (refused.contains(path)) {
        m_session.AppendRequestError(550);
        return {RemoteErrorKind::Refused, 550, "Permission denied"};
    }
    return {};
}

RemoteResult MemoryRemote::Delete(const QString& dir, const QString& name, const QString& path,
                                  bool file) {
    (void)path;
    const QString full = Full(dir, name);
    RemoteResult result = Change(file ? "DELE" : "RMD", full);
    auto inside = [&](const QString& path) { return path.startsWith(full + "/"); };
    const bool holds = std::any_of(dirs.begin(), dirs.end(), inside) ||
                       std::any_of(files.keyBegin(), files.keyEnd(), inside) ||
                       std::any_of(links.keyBegin(), links.keyEnd(), inside);
    if (result.Ok() && !file && holds) {
        m_session.AppendRequestError(550);
        return {RemoteErrorKind::Refused, 550, "Directory not empty"};
    }
    if (result.Ok()) {
        if (!file) {
            dirs.remove(full);
        } else if (!files.remove(full)) {
            links.remove(full);
        }
    }
    return result;
}

RemoteResult MemoryRemote::Rename(const QString& dir, const QString& oldName,
                                  const QString& newName) {
    const QString from = Full(dir, oldName);
    RemoteResult result = Change("RNFR", from);
    if (result.Ok() && files.contains(from)) {
        files.insert(Full(dir, newName), files.take(from));
    }
    return result;
}

RemoteResult MemoryRemote::MakeDirectory(const QString& name) {
    const QString full = Full(m_session.currentRemoteDir, name);
    RemoteResult result = Change("MKD", full);
    if (result.Ok()) {
        dirs.insert(full);
    }
    return result;
}

RemoteResult MemoryRemote::ChangeMode(const QString& name, const QString& octal, int mode) {
    (void)mode;
    return Change("SITE CHMOD " + octal, Full(m_session.currentRemoteDir, name));
}

void MemoryRemote::SetTransferMode(bool toAscii) {
    ascii = toAscii;
    requests << (ascii ? "TYPE A" : "TYPE I");
}

RemoteResult MemoryRemote::Transfer(const QString& request, const QString& path,
                                    const std::function<void(bool half)>& move) {
    requests << request + " " + path;
    m_session.lastRequestFailed = false;
    if (!up) {
        m_session.lastRequestFailed = true;
        m_session.AppendRequestError(421);
        return {RemoteErrorKind::ConnectionLost, 421, "Not connected"};
    }
    if (timeOutDuring.contains(path)) {
        m_session.SetState(ConnectionState::Disconnected);
        m_session.timedOut = true;
        Drop();
        m_session.lastRequestFailed = true;
        return {RemoteErrorKind::TimedOut, 0, "Timed out"};
    }
    if (dropDuring.contains(path)) {
        move(true);
        Drop();
        m_session.lastRequestFailed = true;
        m_session.AppendRequestError(426);
        return {RemoteErrorKind::ConnectionLost, 426, "Connection closed"};
    }
    if (failures.value(path) > 0) {
        --failures[path];
        m_session.lastRequestFailed = true;
        m_session.AppendRequestError(426);
        return {RemoteErrorKind::ConnectionLost, 426, "Transfer aborted"};
    }
    move(false);
    return {};
}

RemoteResult MemoryRemote::Get(const FileTransfer& transfer) {
    const QString path = transfer.remoteDir.isEmpty()
                             ? transfer.remoteName
                             : Full(transfer.remoteDir, transfer.remoteName);
    if (!files.contains(path)) {
        requests << "RETR " + path;
        m_session.lastRequestFailed = true;
        m_session.AppendRequestError(550);
        return {RemoteErrorKind::Refused, 550, "No such file"};
    }
    return Transfer(transfer.resume ? "REST+RETR" : "RETR", path, [&](bool half) {
        QFile local(transfer.localPath);
        const QByteArray& data = files[path];
        const qint64 from = transfer.resume ? QFileInfo(local).size() : 0;
        local.open(transfer.resume ? QIODevice::Append : QIODevice::WriteOnly);
        const QByteArray rest = data.mid(from);
        local.write(half ? rest.left(rest.size() / 2) : rest);
        if (transfer.progress) {
            transfer.progress(half ? rest.size() / 2 : rest.size(), 0);
        }
    });
}

RemoteResult MemoryRemote::Put(const FileTransfer& transfer) {
    const QString path =
        Full(transfer.remoteDir.isEmpty() ? m_session.currentRemoteDir : transfer.remoteDir,
             transfer.remoteName);
    QFile local(transfer.localPath);
    if (!local.open(QIODevice::ReadOnly)) {
        return {RemoteErrorKind::LocalFile, 0, "Cannot read " + transfer.localPath};
    }
    const QByteArray data = local.readAll();
    return Transfer(transfer.resume ? "REST+STOR" : "STOR", path, [&](bool half) {
        const qint64 from = transfer.resume ? transfer.resumeAt : 0;
        const QByteArray rest = data.mid(from);
        files[path] = files.value(path).left(from) + (half ? rest.left(rest.size() / 2) : rest);
        if (transfer.progress) {
            transfer.progress(half ? rest.size() / 2 : rest.size(), 0);
        }
    });
}

QDateTime MemoryRemote::ModificationTime(const QString& dir, const QString& name) {
    return times.value(Full(dir.isEmpty() ? m_session.currentRemoteDir : dir, name));
}

RemoteResult MemoryRemote::Command(const QString& line) {
    requests << line;
    return {};
}

MemorySubjects::MemorySubjects() {
    session.SetRemotePane(&pane);
    SiteProfile& site = store.settings.site;
    site.siteName = "Mem";
    site.domain = "127.0.0.1:21";
    site.userid = "u";
    site.autoReconnect = true;
    StorePassword("right");
}

void MemorySubjects::StorePassword(const QString& password) {
    store.settings.site.sessionPassword =
        QString::fromLatin1(scrambling::ComplexEncrypt(password.toUtf8()));
}

std::vector<int> MemorySubjects::Rows(const QStringList& names) const {
    return RowsNamed(pane, names);
}
