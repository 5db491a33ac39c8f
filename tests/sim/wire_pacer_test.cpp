// Wire-speed arithmetic with made-up times.
#include "sim/wire_pacer.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(pacer.send(100), 100 + kByte);
    EXPECT_EQ(pacer.send(100), 100 + 2 * kByte);
    EXPECT_EQ(pacer.lastSent(), 100 + 2 * kByte);
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
}

TEST(WirePacer, ResetForgetsTheSchedule) {
    WirePacer pacer;
    pacer.send(1'000'000'000);
    pacer.arrive(1'000'000'000);
    pacer.reset();
    EXPECT_EQ(pacer.send(0), kByte);
    EXPECT_EQ(pacer.arrive(0), kByte);
}

}  // namespace
}  // namespace qelisp::sim
