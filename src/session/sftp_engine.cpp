#include "session/sftp_engine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>

#include <algorithm>
#include <deque>
#include <limits>

#include "session/transfer_pacer.h"

using namespace sftp;

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("Sftp", text);
}

QString StatusText(quint32 code, const QString& path) {
    return path.isEmpty() ? SftpCodeText(int(code))
                          : QStringLiteral("%1: %2").arg(SftpCodeText(int(code)), path);
}

// Bytes in flight for one download: the pacer's floor keeps a short link busy, its cap bounds
// memory on the longest ones.
constexpr quint64 kMinDownloadWindow = 1024ull * 1024;
constexpr quint64 kMaxDownloadWindow = 24ull * 1024 * 1024;
// Uploads: the window starts small and grows by what each reply brings, like TCP's slow start.
constexpr quint64 kMaxUploadWindow = 16ull * 1024 * 1024;
constexpr int kProgressIntervalMs = 100;

struct Status {
    quint32 code = 0;
    QString message;
};

std::optional<Status> ReadStatus(Reader& reader) {
    Status status;
    status.code = reader.U32();
    status.message = QString::fromUtf8(reader.String());
    if (!reader.Ok()) {
        return std::nullopt;
    }
    return status;
}

// Which conversion text mode needs, if any: only CR LF against LF is converted.
std::optional<LineEndConverter::Direction> TextDirection(const QByteArray& from,
                                                         const QByteArray& to) {
    if (from == to) {
        return std::nullopt;
    }
    if (from == "\r\n" && to == "\n") {
        return LineEndConverter::Direction::ToLf;
    }
    if (from == "\n" && to == "\r\n") {
        return LineEndConverter::Direction::ToCrLf;
    }
    return std::nullopt;
}

}  // namespace

// One request of the caller, with the wire requests it needs.
class SftpEngine::Operation {
public:
    Operation(SftpEngine* engine, quint32 id) : e(engine), id(id) {}
    virtual ~Operation() = default;
    virtual void Start() = 0;
    virtual void Reply(const Wire& wire, quint8 type, Reader& reader) = 0;
    // The request ends from outside (abort, lost connection): release handles and files.
    virtual void Abandon() {}

    quint32 Send(int tag, const std::function<QByteArray(quint32)>& encode, quint64 offset = 0,
                 quint32 length = 0) {
        return e->SendRequest(this, tag, offset, length, encode);
    }
    void Finish(int code, const QString& text = QString()) {
        if (!finished) {
            e->Finish(this, code, text);
        }
    }
    void ProtocolError(const QString& text) { e->Break(text); }
    // Any reply but the expected one: a STATUS ends the request with its code (success where
    // data was due counts as failure); anything else, or a malformed one, breaks the session.
    void FailWithReply(quint8 type, Reader& reader, const QString& path) {
        if (type != kStatus) {
            ProtocolError(Tr("unexpected SFTP reply of type %1").arg(type));
            return;
        }
        const auto status = ReadStatus(reader);
        if (!status) {
            ProtocolError(Tr("malformed SFTP status reply"));
            return;
        }
        EndWithStatus(status->code == kOk ? quint32(kFailure) : status->code, path);
    }
    void EndWithStatus(quint32 code, const QString& path) {
        Abandon();
        Finish(int(code), StatusText(code, path));
    }
    void CloseHandle(const QByteArray& handle) {
        if (!handle.isEmpty() && e->m_phase == Phase::Ready) {
            // The answer is not waited for: the handle is gone either way.
            const quint32 wire = Send(0, [&](quint32 w) { return EncodeClose(w, handle); });
            e->m_wires[wire].operation = nullptr;
        }
    }

    SftpEngine* e;
    quint32 id;
    bool finished = false;
};

namespace {

// A request answered by one STATUS.
class StatusOperation : public SftpEngine::Operation {
public:
    StatusOperation(SftpEngine* e, quint32 id, QString path,
                    std::function<QByteArray(quint32)> encode)
        : Operation(e, id), m_path(std::move(path)), m_encode(std::move(encode)) {}
    void Start() override { Send(0, m_encode); }
    void Reply(const SftpEngine::Wire&, quint8 type, Reader& reader) override {
        if (type != kStatus) {
            FailWithReply(type, reader, m_path);
            return;
        }
        const auto status = ReadStatus(reader);
        if (!status) {
            ProtocolError(Tr("malformed SFTP status reply"));
        } else if (status->code == kOk) {
            Finish(0);
        } else {
            EndWithStatus(status->code, m_path);
        }
    }

private:
    QString m_path;
    std::function<QByteArray(quint32)> m_encode;
};

class RealPathOperation : public SftpEngine::Operation {
public:
    RealPathOperation(SftpEngine* e, quint32 id, QString path)
        : Operation(e, id), m_path(std::move(path)) {}
    void Start() override {
        const QByteArray path = m_path.toUtf8();
        Send(0, [&](quint32 w) { return EncodeRealPath(w, path); });
    }
    void Reply(const SftpEngine::Wire&, quint8 type, Reader& reader) override {
        if (type != kName) {
            FailWithReply(type, reader, m_path);
            return;
        }
        const auto names = ParseNames(reader);
        if (!names || names->isEmpty()) {
            ProtocolError(Tr("malformed SFTP name reply"));
            return;
        }
        emit e->realPath(id, names->first().filename);
        Finish(0);
    }

private:
    QString m_path;
};

class StatOperation : public SftpEngine::Operation {
public:
    StatOperation(SftpEngine* e, quint32 id, QString path)
        : Operation(e, id), m_path(std::move(path)) {}
    void Start() override {
        const QByteArray path = m_path.toUtf8();
        Send(0, [&](quint32 w) { return EncodeStat(w, path); });
    }
    void Reply(const SftpEngine::Wire&, quint8 type, Reader& reader) override {
        if (type != kAttrs) {
            FailWithReply(type, reader, m_path);
            return;
        }
        const SftpAttributes attributes = reader.Attributes();
        if (!reader.Ok()) {
            ProtocolError(Tr("malformed SFTP attributes reply"));
            return;
        }
        emit e->attributes(id, attributes);
        Finish(0);
    }

private:
    QString m_path;
};

class ListDirOperation : public SftpEngine::Operation {
public:
    ListDirOperation(SftpEngine* e, quint32 id, QString path)
        : Operation(e, id), m_path(std::move(path)) {}
    void Start() override {
        const QByteArray path = m_path.toUtf8();
        Send(kOpendir, [&](quint32 w) { return EncodeOpenDir(w, path); });
    }
    void Reply(const SftpEngine::Wire& wire, quint8 type, Reader& reader) override {
        if (wire.tag == kOpendir) {
            if (type != kHandle) {
                FailWithReply(type, reader, m_path);
                return;
            }
            m_handle = reader.String();
            if (!reader.Ok()) {
                ProtocolError(Tr("malformed SFTP handle reply"));
                return;
            }
            ReadNext();
            return;
        }
        if (type == kName) {
            const auto names = ParseNames(reader);
            if (!names) {
                ProtocolError(Tr("malformed SFTP name reply"));
                return;
            }
            ReadNext();  // asked before the entries are handed out, to keep the server busy
            emit e->listed(id, *names);
            return;
        }
        if (type == kStatus) {
            Reader copy = reader;
            const auto status = ReadStatus(copy);
            if (status && status->code == kEof) {
                // Every entry is here: the close is sent but not waited for, as for a file
                // read to its end.
                CloseHandle(m_handle);
                m_handle.clear();
                Finish(0);
                return;
            }
        }
        FailWithReply(type, reader, m_path);
    }
    void Abandon() override {
        CloseHandle(m_handle);
        m_handle.clear();
    }

private:
    void ReadNext() {
        const QByteArray handle = m_handle;
        Send(kReaddir, [&](quint32 w) { return EncodeReadDir(w, handle); });
    }

    QString m_path;
    QByteArray m_handle;
};

// Reads from the server with many READs in flight. Binary data is written at its offset as
// it comes, whatever the order; text that needs converting is put back in order first.
class DownloadOperation : public SftpEngine::Operation {
    static constexpr int kProbe = 1000;  // a read at or past the size the server gave

public:
    DownloadOperation(SftpEngine* e, quint32 id, QString remote, QString local, bool resume,
                      std::optional<LineEndConverter::Direction> conversion)
        : Operation(e, id),
          m_remote(std::move(remote)),
          m_file(local),
          m_resume(resume && !conversion),
          m_conversion(conversion) {
        if (conversion) {
            m_converter.emplace(*conversion);
        }
    }

    void Start() override {
        const QByteArray path = m_remote.toUtf8();
        Send(kOpen, [&](quint32 w) { return EncodeOpen(w, path, kOpenRead); });
    }

    void Reply(const SftpEngine::Wire& wire, quint8 type, Reader& reader) override {
        switch (wire.tag) {
            case kOpen:
            case kFstat:
                m_pacer.RoundTrip(e->NowNs() - wire.sentAt);
                break;
            default:
                break;
        }
        switch (wire.tag) {
            case kOpen:
                if (type != kHandle) {
                    FailWithReply(type, reader, m_remote);
                    return;
                }
                m_handle = reader.String();
                if (!reader.Ok()) {
                    ProtocolError(Tr("malformed SFTP handle reply"));
                    return;
                }
                Send(kFstat, [&](quint32 w) { return EncodeFstat(w, m_handle); });
                return;
            case kFstat:
                if (type == kAttrs) {
                    m_total = reader.Attributes().size;
                    if (!reader.Ok()) {
                        ProtocolError(Tr("malformed SFTP attributes reply"));
                        return;
                    }
                }
                // Without a size (some servers cannot tell) the reads go on until EOF.
                Begin();
                return;
            case kRead:
            case kProbe:
                OnRead(wire, type, reader);
                return;
            default:
                return;
        }
    }

    void Abandon() override {
        CloseHandle(m_handle);
        m_handle.clear();
        KeepWhatArrived();
    }

private:
    void Begin() {
        // Opened without truncating: an existing file is only replaced once data arrives.
        if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
            LocalError();
            return;
        }
        m_start = m_resume ? quint64(m_file.size()) : 0;
        m_truncatePending = !m_resume;
        if (m_resume && m_total && m_start > *m_total) {
            Abandon();
            Finish(SftpConnection::kLocalFileError,
                   Tr("The local file %1 is larger than the remote file; nothing was resumed")
                       .arg(m_file.fileName()));
            return;
        }
        m_next = m_start;
        m_contiguous = m_start;
        m_writeAt = m_start;
        m_clock.start();
        IssueReads();
    }

    void IssueReads() {
        const quint32 chunk = m_pacer.Chunk(e->ReadSize());
        while (!finished && m_outstanding < m_pacer.Window()) {
            quint64 offset;
            quint32 length;
            bool beyondRead = false;
            if (!m_gaps.empty()) {
                offset = m_gaps.front().first;
                length = m_gaps.front().second;
                m_gaps.pop_front();
            } else if (m_eof) {
                break;
            } else {
                // Past the size the server gave, one read at a time finds the end (or growth)
                // without a flood of reads that can only answer EOF.
                const bool beyond = m_total && m_next >= *m_total;
                if (beyond && m_beyond > 0) {
                    break;
                }
                offset = m_next;
                length = chunk;
                if (m_total && !beyond && *m_total - m_next < length) {
                    length = quint32(*m_total - m_next);
                }
                m_next += length;
                if (beyond) {
                    ++m_beyond;
                    beyondRead = true;
                }
            }
            m_outstanding += length;
            Send(
                beyondRead ? kProbe : int(kRead),
                [&](quint32 w) { return EncodeRead(w, m_handle, offset, length); }, offset, length);
        }
        CheckComplete();
    }

    void OnRead(const SftpEngine::Wire& wire, quint8 type, Reader& reader) {
        m_outstanding -= wire.length;
        if (wire.tag == kProbe) {
            --m_beyond;
        }
        if (type == kStatus) {
            Reader copy = reader;
            const auto status = ReadStatus(copy);
            if (status && status->code == kEof) {
                m_eof = true;
                m_eofAt = std::min(m_eofAt, wire.offset);
                std::erase_if(m_gaps, [&](const auto& gap) { return gap.first >= m_eofAt; });
                IssueReads();
                return;
            }
            FailWithReply(type, reader, m_remote);
            return;
        }
        if (type != kData) {
            FailWithReply(type, reader, m_remote);
            return;
        }
        const QByteArray data = reader.String();
        if (!reader.Ok()) {
            ProtocolError(Tr("malformed SFTP data reply"));
            return;
        }
        if (quint64(data.size()) > wire.length) {
            ProtocolError(
                Tr("the server sent %1 bytes for a read of %2").arg(data.size()).arg(wire.length));
            return;
        }
        if (data.isEmpty()) {
            ProtocolError(Tr("the server answered a read with no data"));
            return;
        }
        if (m_eof && wire.offset >= m_eofAt) {
            IssueReads();  // the file grew after the end was seen; what we have is complete
            return;
        }
        const quint64 got = quint64(data.size());
        if (got < wire.length) {
            // A short read: the rest is asked for again, before anything new.
            m_gaps.emplace_front(wire.offset + got, quint32(wire.length - got));
        }
        if (m_total && wire.offset + got > *m_total) {
            m_total = wire.offset + got;  // larger than it was when opened
        }
        if (!Store(wire.offset, data)) {
            return;
        }
        const qint64 now = e->NowNs();
        m_pacer.Delivered(got, now - wire.sentAt, now);
        IssueReads();
        if (!finished && m_clock.elapsed() >= kProgressIntervalMs) {
            m_clock.restart();
            emit e->progress(id, qint64(m_contiguous), m_total ? qint64(*m_total) : -1);
        }
    }

    bool Store(quint64 offset, const QByteArray& data) {
        if (m_truncatePending) {
            m_truncatePending = false;
            if (!m_file.resize(0)) {
                LocalError();
                return false;
            }
        }
        if (m_converter) {
            m_pending.emplace(offset, data);
            while (!m_pending.empty() && m_pending.begin()->first == m_contiguous) {
                const QByteArray text = m_converter->Convert(m_pending.begin()->second);
                m_contiguous += quint64(m_pending.begin()->second.size());
                m_pending.erase(m_pending.begin());
                if (!WriteAt(m_writeAt, text)) {
                    return false;
                }
                m_writeAt += quint64(text.size());
            }
            return true;
        }
        if (!WriteAt(offset, data)) {
            return false;
        }
        // Remembers which ranges beyond the first hole are written, so a failed transfer
        // can cut the file back to its unbroken start, which resume then continues.
        quint64 end = offset + quint64(data.size());
        if (offset == m_contiguous) {
            m_contiguous = end;
            while (!m_written.empty() && m_written.begin()->first <= m_contiguous) {
                m_contiguous = std::max(m_contiguous, m_written.begin()->second);
                m_written.erase(m_written.begin());
            }
        } else {
            m_written.emplace(offset, end);
        }
        return true;
    }

    bool WriteAt(quint64 offset, const QByteArray& data) {
        if (!m_file.seek(qint64(offset)) || m_file.write(data) != data.size()) {
            LocalError();
            return false;
        }
        return true;
    }

    void CheckComplete() {
        if (finished || !m_eof || m_outstanding > 0 || !m_gaps.empty() || m_closing) {
            return;
        }
        m_closing = true;
        // Everything has arrived: the close of a file only read is not waited for (the server
        // keeps a session's requests in order, so whatever follows sees it closed).
        CloseHandle(m_handle);
        m_handle.clear();
        Complete();
    }

    void Complete() {
        if (m_truncatePending) {
            m_truncatePending = false;
            m_file.resize(0);  // an empty remote file
        }
        if (m_converter) {
            const QByteArray rest = m_converter->Finish();
            if (!WriteAt(m_writeAt, rest)) {
                return;
            }
            m_writeAt += quint64(rest.size());
            m_file.resize(qint64(m_writeAt));
        } else if (!m_file.resize(qint64(m_contiguous))) {
            LocalError();
            return;
        }
        m_file.close();
        emit e->progress(id, qint64(m_contiguous), qint64(m_contiguous));
        if (!finished) {
            Finish(0);
        }
    }

    void KeepWhatArrived() {
        if (m_file.isOpen()) {
            if (!m_truncatePending && !m_converter) {
                m_file.resize(qint64(m_contiguous));
            } else if (!m_truncatePending) {
                m_file.resize(qint64(m_writeAt));
            }
            m_file.close();
        }
    }

    void LocalError() {
        const QString text =
            Tr("%1: %2").arg(SftpCodeText(SftpConnection::kLocalFileError), m_file.fileName());
        const QString reason = m_file.errorString();
        Abandon();
        Finish(SftpConnection::kLocalFileError, text + QStringLiteral(" (") + reason + ')');
    }

    QString m_remote;
    QFile m_file;
    bool m_resume;
    std::optional<LineEndConverter::Direction> m_conversion;
    std::optional<LineEndConverter> m_converter;
    QByteArray m_handle;
    std::optional<quint64> m_total;
    quint64 m_start = 0;
    quint64 m_next = 0;
    quint64 m_contiguous = 0;
    quint64 m_writeAt = 0;
    quint64 m_outstanding = 0;
    TransferPacer m_pacer{kMinDownloadWindow, kMaxDownloadWindow};
    quint64 m_eofAt = std::numeric_limits<quint64>::max();
    int m_beyond = 0;
    bool m_eof = false;
    bool m_closing = false;
    bool m_truncatePending = false;
    std::deque<std::pair<quint64, quint32>> m_gaps;
    std::map<quint64, quint64> m_written;
    std::map<quint64, QByteArray> m_pending;
    QElapsedTimer m_clock;
};

// Writes to the server with many WRITEs in flight, read from the local file in order.
class UploadOperation : public SftpEngine::Operation {
public:
    UploadOperation(SftpEngine* e, quint32 id, QString local, QString remote, bool resume,
                    std::optional<LineEndConverter::Direction> conversion,
                    std::optional<quint32> modificationTime)
        : Operation(e, id),
          m_file(local),
          m_remote(std::move(remote)),
          m_resume(resume && !conversion),
          m_time(modificationTime) {
        if (conversion) {
            m_converter.emplace(*conversion);
        }
    }

    void Start() override {
        if (!m_file.open(QIODevice::ReadOnly)) {
            LocalError();
            return;
        }
        m_size = quint64(m_file.size());
        if (m_resume) {
            const QByteArray path = m_remote.toUtf8();
            Send(kStat, [&](quint32 w) { return EncodeStat(w, path); });
        } else {
            Open();
        }
    }

    void Reply(const SftpEngine::Wire& wire, quint8 type, Reader& reader) override {
        switch (wire.tag) {
            case kStat:
                if (type == kAttrs) {
                    m_start = reader.Attributes().size.value_or(0);
                    if (!reader.Ok()) {
                        ProtocolError(Tr("malformed SFTP attributes reply"));
                        return;
                    }
                } else {
                    Reader copy = reader;
                    const auto status = ReadStatus(copy);
                    if (!status || status->code != kNoSuchFile) {
                        FailWithReply(type, reader, m_remote);
                        return;
                    }
                    m_start = 0;  // nothing there yet: the whole file
                }
                if (m_start > m_size) {
                    Abandon();
                    Finish(SftpConnection::kLocalFileError,
                           Tr("The remote file %1 is larger than the local file; nothing was "
                              "resumed")
                               .arg(m_remote));
                    return;
                }
                Open();
                return;
            case kOpen:
                if (type != kHandle) {
                    FailWithReply(type, reader, m_remote);
                    return;
                }
                m_handle = reader.String();
                if (!reader.Ok()) {
                    ProtocolError(Tr("malformed SFTP handle reply"));
                    return;
                }
                if (!m_file.seek(qint64(m_start))) {
                    LocalError();
                    return;
                }
                m_next = m_start;
                m_acked = m_start;
                m_chunk = e->WriteSize();
                m_window = quint64(m_chunk) * 8;
                m_clock.start();
                IssueWrites();
                return;
            case kWrite: {
                if (type != kStatus) {
                    FailWithReply(type, reader, m_remote);
                    return;
                }
                Reader copy = reader;
                const auto status = ReadStatus(copy);
                if (!status || status->code != kOk) {
                    FailWithReply(type, reader, m_remote);
                    return;
                }
                m_outstanding -= wire.length;
                m_acked += wire.length;
                m_window = std::min(kMaxUploadWindow, m_window + wire.length);
                if (m_closeAnswered && m_outstanding == 0) {
                    Complete();
                    return;
                }
                IssueWrites();
                if (!finished && m_clock.elapsed() >= kProgressIntervalMs) {
                    m_clock.restart();
                    emit e->progress(id, qint64(m_acked), qint64(m_size));
                }
                return;
            }
            case kClose: {
                Reader copy = reader;
                const auto status = ReadStatus(copy);
                if (type != kStatus || !status || status->code != kOk) {
                    FailWithReply(type, reader, m_remote);
                    return;
                }
                m_closeAnswered = true;
                if (m_outstanding == 0) {
                    Complete();
                }
                return;
            }
            default:
                return;
        }
    }

    void Abandon() override {
        CloseHandle(m_handle);
        m_handle.clear();
        m_file.close();
    }

private:
    void Open() {
        const QByteArray path = m_remote.toUtf8();
        const quint32 flags =
            kOpenWrite | kOpenCreate | (m_start == 0 ? quint32(kOpenTruncate) : 0u);
        SftpAttributes attributes;
        Send(kOpen, [&](quint32 w) { return EncodeOpen(w, path, flags, attributes); });
    }

    void IssueWrites() {
        while (!finished && !m_localEnd && m_outstanding < m_window) {
            QByteArray data = m_file.read(m_chunk);
            if (data.isEmpty()) {
                if (!m_file.atEnd()) {
                    LocalError();
                    return;
                }
                m_localEnd = true;
                if (m_converter) {
                    data = m_converter->Finish();
                }
                if (data.isEmpty()) {
                    break;
                }
            } else if (m_converter) {
                data = m_converter->Convert(data);
            }
            // Conversion may grow a piece past what the server takes in one WRITE.
            for (qsizetype at = 0; at < data.size(); at += m_chunk) {
                const qsizetype size = std::min<qsizetype>(m_chunk, data.size() - at);
                const quint64 offset = m_next;
                Send(
                    kWrite,
                    [&](quint32 w) {
                        return EncodeWrite(w, m_handle, offset, data.constData() + at, size);
                    },
                    offset, quint32(size));
                m_next += quint64(size);
                m_outstanding += quint64(size);
            }
        }
        // The close follows the last write without waiting for the answers: the server handles
        // a handle's requests in order, so a failed write still answers before the close.
        if (!finished && m_localEnd && !m_closing) {
            m_closing = true;
            const QByteArray handle = m_handle;
            m_handle.clear();
            if (m_time) {
                // Sent with the close, not before it: the server keeps a handle's requests in
                // order, so the time is set after the last write and costs no round trip. A
                // server that cannot set it still keeps the file.
                SftpAttributes attributes;
                attributes.accessTime = *m_time;
                attributes.modificationTime = *m_time;
                Send(kFsetstat, [&](quint32 w) { return EncodeFSetStat(w, handle, attributes); });
            }
            Send(kClose, [&](quint32 w) { return EncodeClose(w, handle); });
        }
    }

    void Complete() {
        m_file.close();
        emit e->progress(id, qint64(m_acked), qint64(m_size));
        Finish(0);
    }

    void LocalError() {
        const QString text = Tr("%1: %2 (%3)")
                                 .arg(SftpCodeText(SftpConnection::kLocalFileError),
                                      m_file.fileName(), m_file.errorString());
        Abandon();
        Finish(SftpConnection::kLocalFileError, text);
    }

    QFile m_file;
    QString m_remote;
    bool m_resume;
    std::optional<quint32> m_time;
    std::optional<LineEndConverter> m_converter;
    QByteArray m_handle;
    quint64 m_size = 0;
    quint64 m_start = 0;
    quint64 m_next = 0;
    quint64 m_acked = 0;
    quint64 m_outstanding = 0;
    quint64 m_window = 0;
    quint32 m_chunk = 32768;
    bool m_localEnd = false;
    bool m_closing = false;
    bool m_closeAnswered = false;
    QElapsedTimer m_clock;
};

}  // namespace

SftpEngine::SftpEngine(QObject* parent) : QObject(parent) {
    m_clock.start();
}

SftpEngine::~SftpEngine() = default;

void SftpEngine::Begin() {
    m_phase = Phase::Version;
    send(EncodeInit(3));
}

void SftpEngine::Feed(const char* data, qsizetype size) {
    if (m_phase == Phase::Dead || m_phase == Phase::Idle) {
        return;
    }
    m_decoder.Feed(data, size);
    QPointer<SftpEngine> alive(this);
    ++m_depth;
    while (alive && m_phase != Phase::Dead) {
        std::optional<Packet> packet = m_decoder.Next();
        if (!packet) {
            if (m_decoder.HasError()) {
                Break(m_decoder.Error());
            }
            break;
        }
        HandlePacket(*packet);
    }
    if (alive) {
        Leave();
    }
}

void SftpEngine::Leave() {
    if (--m_depth == 0) {
        m_finished.clear();
    }
}

void SftpEngine::HandlePacket(const Packet& packet) {
    if (m_phase == Phase::Version) {
        if (packet.type != kVersion) {
            Break(Tr("the server did not start the SFTP session with its version"));
            return;
        }
        const auto version = ParseVersion(packet.body);
        if (!version || version->version < 3) {
            Break(Tr("the server speaks an SFTP version older than 3"));
            return;
        }
        for (const char* name : {"newline", "newline@vandyke.com"}) {
            if (version->Has(name) && !version->Value(name).isEmpty()) {
                m_serverNewline = version->Value(name);
            }
        }
        m_posixRename = version->Has("posix-rename@openssh.com");
        if (version->Has("limits@openssh.com")) {
            m_phase = Phase::Limits;
            m_limitsWire = m_nextWire++;
            send(EncodeLimitsRequest(m_limitsWire));
            return;
        }
        m_phase = Phase::Ready;
        emit ready();
        return;
    }
    Reader reader(packet.body);
    const quint32 wireId = reader.U32();
    if (!reader.Ok()) {
        Break(Tr("SFTP reply without a request id"));
        return;
    }
    if (m_phase == Phase::Limits && wireId == m_limitsWire) {
        if (packet.type == kExtendedReply) {
            if (const auto limits = ParseLimits(reader)) {
                // Leave room for the packet's own fields; stay within what we accept back.
                const quint64 cap = kMaxPacketLength / 2;
                auto pick = [&](quint64 length) -> quint32 {
                    if (length == 0) {
                        return 32768;
                    }
                    quint64 size = std::min(length, cap);
                    if (limits->maxPacketLength > 1024) {
                        size = std::min(size, limits->maxPacketLength - 1024);
                    }
                    return quint32(std::max<quint64>(size, 1024));
                };
                m_readSize = pick(limits->maxReadLength);
                m_writeSize = pick(limits->maxWriteLength);
            }
        }
        m_phase = Phase::Ready;
        emit ready();
        return;
    }
    const auto it = m_wires.find(wireId);
    if (it == m_wires.end()) {
        Break(Tr("SFTP reply for request %1, which was never sent").arg(wireId));
        return;
    }
    const Wire wire = it->second;
    m_wires.erase(it);
    if (wire.operation && !wire.operation->finished) {
        wire.operation->Reply(wire, packet.type, reader);
    }
}

quint32 SftpEngine::SendRequest(Operation* operation, int tag, quint64 offset, quint32 length,
                                const std::function<QByteArray(quint32)>& encode) {
    const quint32 wireId = m_nextWire++;
    if (m_nextWire == 0) {
        m_nextWire = 1;
    }
    m_wires[wireId] = Wire{operation, offset, length, tag, NowNs()};
    send(encode(wireId));
    return wireId;
}

void SftpEngine::Add(quint32 id, std::unique_ptr<Operation> operation) {
    if (m_phase != Phase::Ready) {
        QMetaObject::invokeMethod(
            this, [this, id] { emit done(id, kNoConnection, SftpCodeText(kNoConnection)); },
            Qt::QueuedConnection);
        return;
    }
    m_operations[id] = std::move(operation);
    // Started from the event loop, so that no signal of it comes before its id is returned.
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            const auto it = m_operations.find(id);
            if (it == m_operations.end() || m_phase != Phase::Ready) {
                return;
            }
            QPointer<SftpEngine> alive(this);
            ++m_depth;
            it->second->Start();
            if (alive) {
                Leave();
            }
        },
        Qt::QueuedConnection);
}

void SftpEngine::Finish(Operation* operation, int code, const QString& text) {
    operation->finished = true;
    const auto it = m_operations.find(operation->id);
    if (it != m_operations.end() && it->second.get() == operation) {
        m_finished.push_back(std::move(it->second));
        m_operations.erase(it);
    }
    for (auto& [wireId, wire] : m_wires) {
        if (wire.operation == operation) {
            wire.operation = nullptr;
        }
    }
    if (m_depth == 0) {
        // Not inside any of the operation's own calls: safe to delete after the signal.
        ++m_depth;
        QPointer<SftpEngine> alive(this);
        emit done(operation->id, code, text);
        if (alive) {
            Leave();
        }
        return;
    }
    emit done(operation->id, code, text);
}

void SftpEngine::EndAll(int code, const QString& text) {
    QPointer<SftpEngine> alive(this);
    ++m_depth;
    while (alive && !m_operations.empty()) {
        Operation* operation = m_operations.begin()->second.get();
        operation->Abandon();
        operation->Finish(code, text);
    }
    if (alive) {
        Leave();
    }
}

void SftpEngine::AbortAll() {
    EndAll(SftpConnection::kAborted, SftpCodeText(SftpConnection::kAborted));
}

void SftpEngine::FailAll(int code, const QString& text) {
    m_phase = Phase::Dead;
    EndAll(code, text);
}

void SftpEngine::Break(const QString& text) {
    if (m_phase == Phase::Dead) {
        return;
    }
    const QString message = Tr("%1: %2").arg(SftpCodeText(SftpConnection::kProtocolError), text);
    FailAll(SftpConnection::kProtocolError, message);
    emit broken(SftpConnection::kProtocolError, message);
}

void SftpEngine::RealPath(quint32 id, const QString& path) {
    Add(id, std::make_unique<RealPathOperation>(this, id, path));
}

void SftpEngine::ListDir(quint32 id, const QString& path) {
    Add(id, std::make_unique<ListDirOperation>(this, id, path));
}

void SftpEngine::Stat(quint32 id, const QString& path) {
    Add(id, std::make_unique<StatOperation>(this, id, path));
}

void SftpEngine::SetStat(quint32 id, const QString& path, const SftpAttributes& attributes) {
    const QByteArray wirePath = path.toUtf8();
    Add(id, std::make_unique<StatusOperation>(this, id, path, [wirePath, attributes](quint32 w) {
            return EncodeSetStat(w, wirePath, attributes);
        }));
}

void SftpEngine::Remove(quint32 id, const QString& path) {
    const QByteArray wirePath = path.toUtf8();
    Add(id, std::make_unique<StatusOperation>(
                this, id, path, [wirePath](quint32 w) { return EncodeRemove(w, wirePath); }));
}

void SftpEngine::RemoveDir(quint32 id, const QString& path) {
    const QByteArray wirePath = path.toUtf8();
    Add(id, std::make_unique<StatusOperation>(
                this, id, path, [wirePath](quint32 w) { return EncodeRemoveDir(w, wirePath); }));
}

void SftpEngine::MakeDir(quint32 id, const QString& path) {
    const QByteArray wirePath = path.toUtf8();
    Add(id, std::make_unique<StatusOperation>(
                this, id, path, [wirePath](quint32 w) { return EncodeMakeDir(w, wirePath); }));
}

void SftpEngine::Rename(quint32 id, const QString& from, const QString& to) {
    const QByteArray a = from.toUtf8();
    const QByteArray b = to.toUtf8();
    const bool posix = m_posixRename;
    Add(id, std::make_unique<StatusOperation>(this, id, from, [a, b, posix](quint32 w) {
            return posix ? EncodePosixRename(w, a, b) : EncodeRename(w, a, b);
        }));
}

void SftpEngine::Download(quint32 id, const QString& remote, const QString& local, bool resume,
                          bool textMode) {
    const auto conversion = textMode ? TextDirection(m_serverNewline, kLocalNewline) : std::nullopt;
    Add(id, std::make_unique<DownloadOperation>(this, id, remote, local, resume, conversion));
}

void SftpEngine::Upload(quint32 id, const QString& local, const QString& remote, bool resume,
                        bool textMode, std::optional<quint32> modificationTime) {
    const auto conversion = textMode ? TextDirection(kLocalNewline, m_serverNewline) : std::nullopt;
    Add(id, std::make_unique<UploadOperation>(this, id, local, remote, resume, conversion,
                                              modificationTime));
}
