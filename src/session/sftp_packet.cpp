#include "session/sftp_packet.h"

#include <QCoreApplication>
#include <QtEndian>

namespace sftp {

void PacketDecoder::Feed(const char* data, qsizetype size) {
    if (HasError() || size <= 0) {
        return;
    }
    // Drop what was handed out before growing, so the buffer stays about one packet long.
    if (m_pos > 0 && (m_pos == m_buffer.size() || m_pos > 256 * 1024)) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    m_buffer.append(data, size);
}

std::optional<Packet> PacketDecoder::Next() {
    if (HasError()) {
        return std::nullopt;
    }
    const qsizetype available = m_buffer.size() - m_pos;
    if (available < 4) {
        return std::nullopt;
    }
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + m_pos);
    if (length == 0) {
        m_error = QStringLiteral("empty SFTP packet");
        return std::nullopt;
    }
    if (length > m_maxLength) {
        m_error = QStringLiteral("SFTP packet of %1 bytes is longer than the limit of %2")
                      .arg(length)
                      .arg(m_maxLength);
        return std::nullopt;
    }
    if (available - 4 < static_cast<qsizetype>(length)) {
        return std::nullopt;
    }
    Packet packet;
    packet.type = static_cast<quint8>(m_buffer.at(m_pos + 4));
    packet.body = m_buffer.mid(m_pos + 5, length - 1);
    m_pos += 4 + static_cast<qsizetype>(length);
    if (m_pos == m_buffer.size()) {
        m_buffer.clear();
        m_pos = 0;
    }
    return packet;
}

bool Reader::Need(qsizetype n) {
    if (!m_ok || n < 0 || m_data.size() - m_pos < n) {
        m_ok = false;
        return false;
    }
    return true;
}

quint8 Reader::U8() {
    if (!Need(1)) {
        return 0;
    }
    return static_cast<quint8>(m_data.at(m_pos++));
}

quint32 Reader::U32() {
    if (!Need(4)) {
        return 0;
    }
    const quint32 value = qFromBigEndian<quint32>(m_data.constData() + m_pos);
    m_pos += 4;
    return value;
}

quint64 Reader::U64() {
    if (!Need(8)) {
        return 0;
    }
    const quint64 value = qFromBigEndian<quint64>(m_data.constData() + m_pos);
    m_pos += 8;
    return value;
}

QByteArray Reader::String() {
    const quint32 length = U32();
    if (!Need(static_cast<qsizetype>(length))) {
        return {};
    }
    QByteArray value = m_data.mid(m_pos, length);
    m_pos += length;
    return value;
}

SftpAttributes Reader::Attributes() {
    SftpAttributes attributes;
    const quint32 flags = U32();
    if (flags & 0x01) {
        attributes.size = U64();
    }
    if (flags & 0x02) {
        attributes.uid = U32();
        attributes.gid = U32();
    }
    if (flags & 0x04) {
        attributes.permissions = U32();
    }
    if (flags & 0x08) {
        attributes.accessTime = U32();
        attributes.modificationTime = U32();
    }
    if (flags & 0x80000000u) {
        const quint32 count = U32();
        for (quint32 i = 0; i < count && Ok(); ++i) {
            String();
            String();
        }
    }
    if (!Ok()) {
        return {};
    }
    return attributes;
}

Builder::Builder(quint8 type, qsizetype reserve) {
    m_data.reserve(reserve + 5);
    m_data.append(4, '\0');
    m_data.append(static_cast<char>(type));
}

Builder& Builder::U8(quint8 value) {
    m_data.append(static_cast<char>(value));
    return *this;
}

Builder& Builder::U32(quint32 value) {
    char bytes[4];
    qToBigEndian(value, bytes);
    m_data.append(bytes, 4);
    return *this;
}

Builder& Builder::U64(quint64 value) {
    char bytes[8];
    qToBigEndian(value, bytes);
    m_data.append(bytes, 8);
    return *this;
}

Builder& Builder::String(const char* data, qsizetype size) {
    U32(static_cast<quint32>(size));
    m_data.append(data, size);
    return *this;
}

Builder& Builder::Attributes(const SftpAttributes& a) {
    quint32 flags = 0;
    if (a.size) {
        flags |= 0x01;
    }
    if (a.uid && a.gid) {
        flags |= 0x02;
    }
    if (a.permissions) {
        flags |= 0x04;
    }
    if (a.accessTime && a.modificationTime) {
        flags |= 0x08;
    }
    U32(flags);
    if (flags & 0x01) {
        U64(*a.size);
    }
    if (flags & 0x02) {
        U32(*a.uid);
        U32(*a.gid);
    }
    if (flags & 0x04) {
        U32(*a.permissions);
    }
    if (flags & 0x08) {
        U32(*a.accessTime);
        U32(*a.modificationTime);
    }
    return *this;
}

QByteArray Builder::Finish() {
    qToBigEndian(static_cast<quint32>(m_data.size() - 4), m_data.data());
    return std::move(m_data);
}

namespace {
QByteArray OneString(quint8 type, quint32 id, const QByteArray& value) {
    return Builder(type, 8 + value.size()).U32(id).String(value).Finish();
}
}  // namespace

QByteArray EncodeInit(quint32 version) {
    return Builder(kInit).U32(version).Finish();
}

QByteArray EncodeOpen(quint32 id, const QByteArray& path, quint32 flags,
                      const SftpAttributes& attributes) {
    return Builder(kOpen, 40 + path.size())
        .U32(id)
        .String(path)
        .U32(flags)
        .Attributes(attributes)
        .Finish();
}

QByteArray EncodeClose(quint32 id, const QByteArray& handle) {
    return OneString(kClose, id, handle);
}

QByteArray EncodeRead(quint32 id, const QByteArray& handle, quint64 offset, quint32 length) {
    return Builder(kRead, 24 + handle.size())
        .U32(id)
        .String(handle)
        .U64(offset)
        .U32(length)
        .Finish();
}

QByteArray EncodeWrite(quint32 id, const QByteArray& handle, quint64 offset, const char* data,
                       qsizetype size) {
    return Builder(kWrite, 24 + handle.size() + size)
        .U32(id)
        .String(handle)
        .U64(offset)
        .String(data, size)
        .Finish();
}

QByteArray EncodeOpenDir(quint32 id, const QByteArray& path) {
    return OneString(kOpendir, id, path);
}
QByteArray EncodeReadDir(quint32 id, const QByteArray& handle) {
    return OneString(kReaddir, id, handle);
}
QByteArray EncodeStat(quint32 id, const QByteArray& path) {
    return OneString(kStat, id, path);
}
QByteArray EncodeLstat(quint32 id, const QByteArray& path) {
    return OneString(kLstat, id, path);
}
QByteArray EncodeFstat(quint32 id, const QByteArray& handle) {
    return OneString(kFstat, id, handle);
}

QByteArray EncodeSetStat(quint32 id, const QByteArray& path, const SftpAttributes& attributes) {
    return Builder(kSetstat, 40 + path.size()).U32(id).String(path).Attributes(attributes).Finish();
}

QByteArray EncodeFSetStat(quint32 id, const QByteArray& handle, const SftpAttributes& attributes) {
    return Builder(kFsetstat, 40 + handle.size())
        .U32(id)
        .String(handle)
        .Attributes(attributes)
        .Finish();
}

QByteArray EncodeRealPath(quint32 id, const QByteArray& path) {
    return OneString(kRealpath, id, path);
}
QByteArray EncodeRemove(quint32 id, const QByteArray& path) {
    return OneString(kRemove, id, path);
}

QByteArray EncodeMakeDir(quint32 id, const QByteArray& path, const SftpAttributes& attributes) {
    return Builder(kMkdir, 40 + path.size()).U32(id).String(path).Attributes(attributes).Finish();
}

QByteArray EncodeRemoveDir(quint32 id, const QByteArray& path) {
    return OneString(kRmdir, id, path);
}

QByteArray EncodeRename(quint32 id, const QByteArray& from, const QByteArray& to) {
    return Builder(kRename, 16 + from.size() + to.size()).U32(id).String(from).String(to).Finish();
}

QByteArray EncodePosixRename(quint32 id, const QByteArray& from, const QByteArray& to) {
    return Builder(kExtended, 48 + from.size() + to.size())
        .U32(id)
        .String(QByteArrayLiteral("posix-rename@openssh.com"))
        .String(from)
        .String(to)
        .Finish();
}

QByteArray EncodeLimitsRequest(quint32 id) {
    return Builder(kExtended).U32(id).String(QByteArrayLiteral("limits@openssh.com")).Finish();
}

bool Version::Has(const QByteArray& name) const {
    for (const auto& extension : extensions) {
        if (extension.first == name) {
            return true;
        }
    }
    return false;
}

QByteArray Version::Value(const QByteArray& name) const {
    for (const auto& extension : extensions) {
        if (extension.first == name) {
            return extension.second;
        }
    }
    return {};
}

std::optional<Version> ParseVersion(const QByteArray& body) {
    Reader reader(body);
    Version version;
    version.version = reader.U32();
    while (reader.Ok() && !reader.AtEnd()) {
        QByteArray name = reader.String();
        QByteArray value = reader.String();
        if (reader.Ok()) {
            version.extensions.append({name, value});
        }
    }
    if (!reader.Ok()) {
        return std::nullopt;
    }
    return version;
}

std::optional<Limits> ParseLimits(Reader& reader) {
    Limits limits;
    limits.maxPacketLength = reader.U64();
    limits.maxReadLength = reader.U64();
    limits.maxWriteLength = reader.U64();
    limits.maxOpenHandles = reader.U64();
    if (!reader.Ok()) {
        return std::nullopt;
    }
    return limits;
}

std::optional<QList<SftpNameEntry>> ParseNames(Reader& reader) {
    const quint32 count = reader.U32();
    // Every entry takes at least 12 bytes (two empty strings and the attribute flags).
    if (!reader.Ok() || count > reader.Remaining() / 12) {
        return std::nullopt;
    }
    QList<SftpNameEntry> entries;
    entries.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        SftpNameEntry entry;
        entry.filename = QString::fromUtf8(reader.String());
        entry.longname = QString::fromUtf8(reader.String());
        entry.attributes = reader.Attributes();
        if (!reader.Ok()) {
            return std::nullopt;
        }
        entries.append(std::move(entry));
    }
    return entries;
}

}  // namespace sftp

QString SftpCodeText(int code) {
    switch (code) {
        case 0:
            return QCoreApplication::translate("Sftp", "Done");
        case 1:
            return QCoreApplication::translate("Sftp", "End of file");
        case 2:
            return QCoreApplication::translate("Sftp", "No such file or directory");
        case 3:
            return QCoreApplication::translate("Sftp", "Permission denied");
        case 4:
            return QCoreApplication::translate("Sftp", "The server reported a failure");
        case 5:
            return QCoreApplication::translate("Sftp", "The server did not understand the request");
        case 6:
            return QCoreApplication::translate("Sftp", "No connection");
        case 7:
            return QCoreApplication::translate("Sftp", "The connection was lost");
        case 8:
            return QCoreApplication::translate("Sftp",
                                               "The server does not support this operation");
        case SftpConnection::kPasswordRefused:
            return QCoreApplication::translate("Sftp",
                                               "The server refused the user name, password or key");
        case SftpConnection::kConnectFailed:
            return QCoreApplication::translate("Sftp", "Could not connect to the server");
        case SftpConnection::kHandshakeFailed:
            return QCoreApplication::translate("Sftp", "The SSH connection could not be set up");
        case SftpConnection::kConnectionLost:
            return QCoreApplication::translate("Sftp", "The connection to the server was lost");
        case SftpConnection::kTimedOut:
            return QCoreApplication::translate("Sftp", "The server did not answer in time");
        case SftpConnection::kAborted:
            return QCoreApplication::translate("Sftp", "Aborted");
        case SftpConnection::kLocalFileError:
            return QCoreApplication::translate("Sftp", "A local file could not be read or written");
        case SftpConnection::kProtocolError:
            return QCoreApplication::translate("Sftp", "The server broke the SFTP protocol");
        case SftpConnection::kHostKeyRefused:
            return QCoreApplication::translate("Sftp", "The server's host key was not accepted");
        case SftpConnection::kHostKeyChanged:
            return QCoreApplication::translate("Sftp",
                                               "The server's host key differs from the known one");
        default:
            return QCoreApplication::translate("Sftp", "Unknown SFTP error %1").arg(code);
    }
}
