#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "session/sftp_connection.h"
#include "session/sftp_packet.h"

// The SFTP version 3 protocol of one session, without any transport: bytes from the server go
// into Feed, bytes for the server come out of send. It owns the request ids on the wire, the
// operations in progress (the pipelined transfers among them) and their local files. The
// request methods take the caller's id and answer with the signals of SftpConnection.
class SftpEngine : public QObject {
    Q_OBJECT
public:
    explicit SftpEngine(QObject* parent = nullptr);
    ~SftpEngine() override;

    std::function<void(QByteArray packet)> send;

    // Sends INIT; ready() follows once the version (and the limits) are known.
    void Begin();
    void Feed(const char* data, qsizetype size);
    void Feed(const QByteArray& bytes) { Feed(bytes.constData(), bytes.size()); }
    bool IsReady() const { return m_phase == Phase::Ready; }
    // Ends every request with code; the engine takes no further bytes.
    void FailAll(int code, const QString& text);
    // Ends every request with kAborted; the session stays usable.
    void AbortAll();
    bool HasRequests() const { return !m_operations.empty(); }
    quint32 ReadSize() const { return m_readSize; }
    quint32 WriteSize() const { return m_writeSize; }
    qint64 NowNs() const { return m_clock.nsecsElapsed(); }

    void RealPath(quint32 id, const QString& path);
    void ListDir(quint32 id, const QString& path);
    void Stat(quint32 id, const QString& path);
    void SetStat(quint32 id, const QString& path, const SftpAttributes& attributes);
    void Remove(quint32 id, const QString& path);
    void RemoveDir(quint32 id, const QString& path);
    void MakeDir(quint32 id, const QString& path);
    void Rename(quint32 id, const QString& from, const QString& to);
    void Download(quint32 id, const QString& remote, const QString& local, bool resume,
                  bool textMode);
    // With a time, the file takes it (access and modification) before it is closed.
    void Upload(quint32 id, const QString& local, const QString& remote, bool resume, bool textMode,
                std::optional<quint32> modificationTime = std::nullopt);

    class Operation;
    struct Wire {
        Operation* operation = nullptr;  // null: the answer is awaited but no longer wanted
        quint64 offset = 0;
        quint32 length = 0;
        int tag = 0;
        qint64 sentAt = 0;  // nanoseconds on the engine's clock
    };

signals:
    void ready();
    // The server broke the protocol; every request has ended with kProtocolError.
    void broken(int code, const QString& text);
    void realPath(quint32 id, const QString& path);
    void listed(quint32 id, const QList<SftpNameEntry>& entries);
    void attributes(quint32 id, const SftpAttributes& attributes);
    void progress(quint32 id, qint64 position, qint64 total);
    void done(quint32 id, int code, const QString& text);

private:
    friend class Operation;
    enum class Phase { Idle, Version, Limits, Ready, Dead };

    void Add(quint32 id, std::unique_ptr<Operation> operation);
    void Finish(Operation* operation, int code, const QString& text);
    quint32 SendRequest(Operation* operation, int tag, quint64 offset, quint32 length,
                        const std::function<QByteArray(quint32)>& encode);
    void HandlePacket(const sftp::Packet& packet);
    void Break(const QString& text);
    void EndAll(int code, const QString& text);
    void Leave();

    Phase m_phase = Phase::Idle;
    sftp::PacketDecoder m_decoder;
    quint32 m_nextWire = 1;
    quint32 m_limitsWire = 0;
    quint32 m_readSize = 32768;
    quint32 m_writeSize = 32768;
    QByteArray m_serverNewline = "\n";
    bool m_posixRename = false;  // the server replaces an existing target on rename
    std::unordered_map<quint32, Wire> m_wires;
    std::map<quint32, std::unique_ptr<Operation>> m_operations;
    // Ended operations live on until no call of theirs can be on the stack.
    std::vector<std::unique_ptr<Operation>> m_finished;
    int m_depth = 0;
    QElapsedTimer m_clock;
};
