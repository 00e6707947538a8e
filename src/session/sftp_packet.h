#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

#include "platform/line_ends.h"
#include "session/sftp_connection.h"

// SFTP version 3 wire format, apart from what the packets mean: a decoder that cuts the byte
// stream into packets whatever pieces it arrives in, a reader and a builder for the fields, and
// one encoder per request. Nothing here trusts a length from the wire: every field is checked
// against the bytes at hand, and a packet longer than the limit breaks the stream instead of
// being allocated.
namespace sftp {

enum PacketType : quint8 {
    kInit = 1,
    kVersion = 2,
    kOpen = 3,
    kClose = 4,
    kRead = 5,
    kWrite = 6,
    kLstat = 7,
    kFstat = 8,
    kSetstat = 9,
    kFsetstat = 10,
    kOpendir = 11,
    kReaddir = 12,
    kRemove = 13,
    kMkdir = 14,
    kRmdir = 15,
    kRealpath = 16,
    kStat = 17,
    kRename = 18,
    kStatus = 101,
    kHandle = 102,
    kData = 103,
    kName = 104,
    kAttrs = 105,
    kExtended = 200,
    kExtendedReply = 201,
};

enum OpenFlags : quint32 {
    kOpenRead = 0x01,
    kOpenWrite = 0x02,
    kOpenAppend = 0x04,
    kOpenCreate = 0x08,
    kOpenTruncate = 0x10,
    kOpenExclusive = 0x20,
};

enum StatusCode : quint32 {
    kOk = 0,
    kEof = 1,
    kNoSuchFile = 2,
    kPermissionDenied = 3,
    kFailure = 4,
    kBadMessage = 5,
    kNoConnection = 6,
    kConnectionLost = 7,
    kOpUnsupported = 8,
};

// Large enough for a DATA reply of the largest read we ever ask for (1 MiB) and for a NAME reply
// of a big directory; OpenSSH itself stays below 256 KiB.
constexpr quint32 kMaxPacketLength = 2 * 1024 * 1024;

struct Packet {
    quint8 type = 0;
    QByteArray body;  // everything after the type byte
};

// Cuts a byte stream into packets. Feed any pieces; Next returns complete packets in order.
// A zero or over-long length breaks the stream for good (HasError).
class PacketDecoder {
public:
    explicit PacketDecoder(quint32 maxLength = kMaxPacketLength) : m_maxLength(maxLength) {}

    void Feed(const char* data, qsizetype size);
    void Feed(const QByteArray& data) { Feed(data.constData(), data.size()); }
    std::optional<Packet> Next();
    bool HasError() const { return !m_error.isEmpty(); }
    QString Error() const { return m_error; }
    qsizetype Buffered() const { return m_buffer.size() - m_pos; }

private:
    quint32 m_maxLength;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    QString m_error;
};

// Reads fields from a packet body; any read past the end makes Ok() false for good.
class Reader {
public:
    explicit Reader(const QByteArray& body) : m_data(body) {}

    quint8 U8();
    quint32 U32();
    quint64 U64();
    QByteArray String();
    SftpAttributes Attributes();
    bool Ok() const { return m_ok; }
    bool AtEnd() const { return m_pos == m_data.size(); }
    qsizetype Remaining() const { return m_data.size() - m_pos; }

private:
    bool Need(qsizetype n);

    const QByteArray& m_data;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

// Builds one packet: length, type, then fields.
class Builder {
public:
    explicit Builder(quint8 type, qsizetype reserve = 64);
    Builder& U8(quint8 value);
    Builder& U32(quint32 value);
    Builder& U64(quint64 value);
    Builder& String(const char* data, qsizetype size);
    Builder& String(const QByteArray& value) { return String(value.constData(), value.size()); }
    Builder& Attributes(const SftpAttributes& attributes);
    QByteArray Finish();

private:
    QByteArray m_data;
};

QByteArray EncodeInit(quint32 version);
QByteArray EncodeOpen(quint32 id, const QByteArray& path, quint32 flags,
                      const SftpAttributes& attributes = {});
QByteArray EncodeClose(quint32 id, const QByteArray& handle);
QByteArray EncodeRead(quint32 id, const QByteArray& handle, quint64 offset, quint32 length);
QByteArray EncodeWrite(quint32 id, const QByteArray& handle, quint64 offset, const char* data,
                       qsizetype size);
QByteArray EncodeOpenDir(quint32 id, const QByteArray& path);
QByteArray EncodeReadDir(quint32 id, const QByteArray& handle);
QByteArray EncodeStat(quint32 id, const QByteArray& path);
QByteArray EncodeLstat(quint32 id, const QByteArray& path);
QByteArray EncodeFstat(quint32 id, const QByteArray& handle);
QByteArray EncodeSetStat(quint32 id, const QByteArray& path, const SftpAttributes& attributes);
QByteArray EncodeFSetStat(quint32 id, const QByteArray& handle, const SftpAttributes& attributes);
QByteArray EncodeRealPath(quint32 id, const QByteArray& path);
QByteArray EncodeRemove(quint32 id, const QByteArray& path);
QByteArray EncodeMakeDir(quint32 id, const QByteArray& path, const SftpAttributes& attributes = {});
QByteArray EncodeRemoveDir(quint32 id, const QByteArray& path);
QByteArray EncodeRename(quint32 id, const QByteArray& from, const QByteArray& to);
// posix-rename@openssh.com: a rename that replaces an existing target, as FTP's does.
QByteArray EncodePosixRename(quint32 id, const QByteArray& from, const QByteArray& to);
QByteArray EncodeLimitsRequest(quint32 id);

// The server's VERSION packet.
struct Version {
    quint32 version = 0;
    QList<QPair<QByteArray, QByteArray>> extensions;
    bool Has(const QByteArray& name) const;
    QByteArray Value(const QByteArray& name) const;
};
std::optional<Version> ParseVersion(const QByteArray& body);

// The reply of limits@openssh.com (0 means: no limit stated).
struct Limits {
    quint64 maxPacketLength = 0;
    quint64 maxReadLength = 0;
    quint64 maxWriteLength = 0;
    quint64 maxOpenHandles = 0;
};
std::optional<Limits> ParseLimits(Reader& reader);

// A NAME reply after its id; nullopt if malformed. The count is checked against the bytes
// present before anything is reserved.
std::optional<QList<SftpNameEntry>> ParseNames(Reader& reader);

}  // namespace sftp

// The text for the person for a result code of SftpConnection: the SFTP status codes and the
// transport codes.
QString SftpCodeText(int code);
