// Wire-speed arithmetic, and when paced bytes are handed over, with made-up
// times.
#include "sim/wire_pacer.h"
#include "sim/reply_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qelisp::sim {
namespace {

constexpr std::int64_t kByte = WirePacer::kByteTime115200;

TEST(WirePacer, BytesReadTogetherArriveOneByteTimeApart) {
    EXPECT_NEAR(static_cast<double>(kByte), 10.0 / 115200 * 1e9, 1.0) << "ten bits at 115200";
    WirePacer pacer;
    const std::int64_t t0 = 1'000'000;
    EXPECT_EQ(pacer.arrive(t0), t0 + kByte);
    EXPECT_EQ(pacer.arrive(t0), t0 + 2 * kByte);
    EXPECT_EQ(pacer.arrive(t0), t0 + 3 * kByte);
    // A 269-character data line read in one go is acted on after 269 byte times.
    WirePacer line;
    std::int64_t last = 0;
    for (int i = 0; i < 269; ++i) last = line.arrive(t0);
    EXPECT_EQ(last, t0 + 269 * kByte);
}

TEST(WirePacer, AByteReadAfterAQuietSpellArrivesOneByteTimeAfterItsRead) {
    WirePacer pacer;
    pacer.arrive(0);
    EXPECT_EQ(pacer.arrive(50'000'000), 50'000'000 + kByte);
    // Read before the previous byte had arrived: queued behind it.
    EXPECT_EQ(pacer.arrive(50'000'000 + 10), 50'000'000 + 2 * kByte);
}

TEST(WirePacer, RepliesGoOutOneByteTimeApartFromWhenReady) {
    WirePacer pacer;
    EXPECT_FALSE(pacer.backToBack(100));
    EXPECT_EQ(pacer.send(100), 100 + kByte);
    EXPECT_TRUE(pacer.backToBack(100));
    EXPECT_TRUE(pacer.backToBack(100 + kByte)) << "ready as the wire comes free";
    EXPECT_EQ(pacer.send(100), 100 + 2 * kByte);
    EXPECT_EQ(pacer.lastSent(), 100 + 2 * kByte);
    EXPECT_FALSE(pacer.backToBack(100 + 2 * kByte + 1)) << "idle wire before it";
    EXPECT_EQ(pacer.send(10'000'000), 10'000'000 + kByte);
    // Receiving and sending keep separate schedules (the line is full duplex).
    EXPECT_EQ(pacer.arrive(100), 100 + kByte);
}

TEST(WirePacer, ZeroByteTimeIsNoPacing) {
    WirePacer pacer(0);
    EXPECT_EQ(pacer.arrive(5), 5);
    EXPECT_EQ(pacer.arrive(5), 5);
    EXPECT_EQ(pacer.send(7), 7);
    EXPECT_EQ(pacer.send(6), 7);  // never before an earlier reply byte
    EXPECT_FALSE(pacer.backToBack(6)) << "nothing to batch without pacing";
}

TEST(WirePacer, ResetForgetsTheSchedule) {
    WirePacer pacer;
    pacer.send(1'000'000'000);
    pacer.arrive(1'000'000'000);
    pacer.reset();
    EXPECT_EQ(pacer.send(0), kByte);
    EXPECT_EQ(pacer.arrive(0), kByte);
}

TEST(ReplyQueue, BackToBackBytesGoInBatchesNeverEarlyAndABurstEndsOnTime) {
    struct Case {
        const char* what;
        std::string wire;  // a byte per byte time: 'x' after idle wire, '+' back to back, ' ' idle
        // Per wake-up, in byte times from the first byte: the wake-up's
        // time, and how many bytes go over then.
        std::vector<std::pair<std::int64_t, std::size_t>> wakes;
    };
    const Case cases[] = {
        {"a lone byte", "x", {{0, 1}}},
        {"a short burst: the first and the last on time, those between together", "x+++", {{0, 1}, {2, 2}, {3, 1}}},
        // 11 byte times fit in kBatchNs: a batch holds 12 bytes.
        {"a block: batches of up to 12, each ending on time",
         std::string("x") + std::string(25, '+'),
         {{0, 1}, {12, 12}, {24, 12}, {25, 1}}},
        {"a burst's last byte alone", std::string("x") + std::string(14, '+'), {{0, 1}, {12, 12}, {13, 1}, {14, 1}}},
        {"idle wire ends a burst", "x+++ x+  x", {{0, 1}, {2, 2}, {3, 1}, {5, 1}, {6, 1}, {9, 1}}},
    };
    constexpr std::int64_t kStart = 1'000'000'000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReplyQueue queue;
        for (std::size_t i = 0; i < c.wire.size(); ++i) {
            if (c.wire[i] != ' ') queue.push(kStart + static_cast<std::int64_t>(i) * kByte, 'A', c.wire[i] == '+');
        }
        std::vector<std::pair<std::int64_t, std::size_t>> wakes;
        while (!queue.empty() && wakes.size() <= c.wire.size()) {
            const std::int64_t at = queue.wakeAt();
            std::vector<std::uint8_t> due;
            EXPECT_FALSE(queue.due(at, due));
            queue.handedOver(due.size());
            wakes.emplace_back((at - kStart) / kByte, due.size());
            EXPECT_EQ((at - kStart) % kByte, 0) << "a wake-up is when a byte is due";
        }
        EXPECT_EQ(wakes, c.wakes);
    }
}

}  // namespace
}  // namespace qelisp::sim
