#include <gtest/gtest.h>

#include <algorithm>

#include "session/transfer_pacer.h"

namespace {

constexpr quint64 kMiB = 1024 * 1024;
constexpr quint64 kFloor = 1 * kMiB;
constexpr quint64 kCap = 24 * kMiB;

struct Link {
    double bytesPerSecond;
    double rttSeconds;
};

// Runs a transfer over Link for Seconds, one request of Chunk at a time as the window allows:
// replies come at the link's rate, each after the round trip plus the time it queued behind
// the others. Returns the pacer as the transfer leaves it.
TransferPacer Transfer(const Link& link, double seconds) {
    TransferPacer pacer(kFloor, kCap);
    const qint64 rttNs = qint64(link.rttSeconds * 1e9);
    pacer.RoundTrip(rttNs);  // the open, before any data
    double now = link.rttSeconds;
    while (now < seconds) {
        const quint64 chunk = pacer.Chunk(261120);
        // Rate is what the window allows over a round trip, at most the link's.
        const double rate = std::min(link.bytesPerSecond, double(pacer.Window()) / link.rttSeconds);
        const double queued =
            std::max(0.0, double(pacer.Window()) - link.bytesPerSecond * link.rttSeconds);
        now += double(chunk) / rate;
        pacer.Delivered(chunk, rttNs + qint64(queued / link.bytesPerSecond * 1e9),
                        qint64(now * 1e9));
    }
    return pacer;
}

}  // namespace

TEST(TransferPacer, WindowFollowsTheLink) {
    // A fast short link needs no more than the floor; a long one about twice its
    // bandwidth-delay product, never the cap that would queue data in the server.
    struct Case {
        const char* name;
        Link link;
        quint64 low, high;
    } const cases[] = {
        {"loopback", {250e6, 0.0003}, kFloor, kFloor},
        {"lan 5 ms", {100e6, 0.005}, kFloor, kFloor + kFloor / 4},
        {"wan 50 ms", {50e6, 0.05}, quint64(4.5e6), quint64(5.5e6)},
        {"far 300 ms", {50e6, 0.3}, kCap, kCap},
    };
    for (const Case& c : cases) {
        const TransferPacer pacer = Transfer(c.link, 5.0);
        EXPECT_GE(pacer.Window(), c.low) << c.name;
        EXPECT_LE(pacer.Window(), c.high) << c.name;
    }
}

TEST(TransferPacer, ChunksKeepManyRequestsInFlightWithinTheServersLimit) {
    TransferPacer pacer(kFloor, kCap);
    EXPECT_EQ(pacer.Chunk(261120), 32768u);  // 1 MiB: 32 requests of 32 KiB
    EXPECT_EQ(pacer.Chunk(16384), 32768u);   // never below the size every server takes
    const TransferPacer wide = Transfer({50e6, 0.05}, 5.0);
    EXPECT_GT(wide.Chunk(261120), 131072u);
    EXPECT_EQ(wide.Chunk(65536), 65536u);
}

TEST(TransferPacer, OneBurstOfRepliesDoesNotCountAsTheRate) {
    TransferPacer pacer(kFloor, kCap);
    pacer.RoundTrip(50'000'000);
    // Sixty-four replies within one millisecond: far too short a span to be a sample.
    for (int i = 0; i < 64; ++i) {
        pacer.Delivered(262144, 50'000'000, 1'000'000'000 + i * 15'000);
    }
    EXPECT_EQ(pacer.Window(), kFloor);
}
