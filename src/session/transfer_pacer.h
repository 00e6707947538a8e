#pragma once

#include <QtGlobal>

#include <array>

// How many bytes a pipelined transfer keeps in flight. Too few and a distant server waits for
// our requests; too many and the data queues in the server instead of on the wire, where
// OpenSSH's buffers grow by copying themselves (a 24 MiB window runs loopback downloads four
// times slower than a 1 MiB one). So the window follows the link: twice the delivery rate
// (the best of the recent samples) times the shortest round trip seen, which doubles per
// round trip while the window is what limits, and settles near twice the link's
// bandwidth-delay product once the link is. Pure: the caller passes the clock.
class TransferPacer {
public:
    TransferPacer(quint64 floor, quint64 cap);

    // A round trip without data (opening the file): the link's own delay, before any of our
    // requests queue up behind each other and stretch what later replies show.
    void RoundTrip(qint64 rttNs);
    // A reply brought Bytes, RttNs after its request went out, at NowNs.
    void Delivered(quint64 bytes, qint64 rttNs, qint64 nowNs);
    quint64 Window() const { return m_window; }
    // The request size for this window: enough requests in flight to keep the pipe full,
    // large ones on a long link (fewer packets to handle), within what the server accepts.
    quint32 Chunk(quint32 serverMax) const;

private:
    static constexpr int kSamples = 8;

    quint64 m_floor;
    quint64 m_cap;
    quint64 m_window;
    qint64 m_minRtt = -1;
    qint64 m_sampleStart = -1;
    quint64 m_sampleBytes = 0;
    std::array<double, kSamples> m_rates{};  // bytes per nanosecond
    int m_nextRate = 0;
};
