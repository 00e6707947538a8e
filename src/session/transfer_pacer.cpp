#include "session/transfer_pacer.h"

#include <algorithm>

namespace {

// A rate sample spans at least this long, so one burst of replies does not count as the rate.
constexpr qint64 kMinSampleNs = 10'000'000;
constexpr quint32 kMinChunk = 32768;
constexpr quint64 kRequestsInFlight = 32;

}  // namespace

TransferPacer::TransferPacer(quint64 floor, quint64 cap)
    : m_floor(floor), m_cap(std::max(cap, floor)), m_window(floor) {}

void TransferPacer::RoundTrip(qint64 rttNs) {
    if (rttNs > 0 && (m_minRtt < 0 || rttNs < m_minRtt)) {
        m_minRtt = rttNs;
    }
}

void TransferPacer::Delivered(quint64 bytes, qint64 rttNs, qint64 nowNs) {
    RoundTrip(rttNs);
    if (m_sampleStart < 0) {
        m_sampleStart = nowNs;  // the first reply opens the first sample
        return;
    }
    m_sampleBytes += bytes;
    const qint64 span = nowNs - m_sampleStart;
    if (span < std::max(kMinSampleNs, 2 * m_minRtt)) {
        return;
    }
    m_rates[m_nextRate] = double(m_sampleBytes) / double(span);
    m_nextRate = (m_nextRate + 1) % kSamples;
    m_sampleStart = nowNs;
    m_sampleBytes = 0;
    const double rate = *std::max_element(m_rates.begin(), m_rates.end());
    const double wanted = 2.0 * rate * double(std::max<qint64>(m_minRtt, 0));
    m_window = std::clamp(quint64(wanted), m_floor, m_cap);
}

quint32 TransferPacer::Chunk(quint32 serverMax) const {
    const quint64 chunk = std::max<quint64>(m_window / kRequestsInFlight, kMinChunk);
    return quint32(std::min<quint64>(chunk, std::max(serverMax, kMinChunk)));
}
