// The unasked dot stream's schedule, with made-up times.
#include "sim/dot_stream.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qelisp::sim {
namespace {

constexpr std::uint64_t kNoLimit = UINT64_MAX;

TEST(DotStream, OwesOneDotPerPeriodFromItsStartWhateverTheWakeUps) {
    constexpr std::int64_t kPeriod = 1'000;
    DotStream stream(DotStreamRate{kPeriod});
    EXPECT_EQ(stream.due(1'000'000, kNoLimit), 0u) << "not before a handshake started it";
    const std::int64_t t0 = 50'000;
    stream.start(t0);
    EXPECT_EQ(stream.nextAt(), t0 + kPeriod);
    EXPECT_EQ(stream.due(t0 + kPeriod - 1, kNoLimit), 0u);
    EXPECT_EQ(stream.due(t0 + kPeriod, kNoLimit), 1u);
    // A wake-up 9.5 periods late owes the ten dots at once, and the next dot
    // keeps its own time.
    EXPECT_EQ(stream.due(t0 + 10 * kPeriod + 500, 4), 4u);
    stream.handedOver(stream.due(t0 + 10 * kPeriod + 500, kNoLimit));
    EXPECT_EQ(stream.due(t0 + 10 * kPeriod + 999, kNoLimit), 0u);
    EXPECT_EQ(stream.nextAt(), t0 + 11 * kPeriod);
    // A new handshake restarts it from its own time.
    stream.start(t0 + 100 * kPeriod);
    EXPECT_EQ(stream.due(t0 + 100 * kPeriod + kPeriod / 2, kNoLimit), 0u);
    EXPECT_EQ(stream.due(t0 + 103 * kPeriod, kNoLimit), 3u);
    stream.stop();
    EXPECT_EQ(stream.due(t0 + 200 * kPeriod, kNoLimit), 0u);
}

TEST(DotStream, DotsBackToBackAreHandedOverInBatchesAfterTheFirst) {
    constexpr std::int64_t kBatch = 1'000'000;
    const std::int64_t byteTime = parseDotStreamRate("byte")->periodNs;
    DotStream byte(DotStreamRate{byteTime});
    byte.start(0);
    EXPECT_EQ(byte.wakeAt(kBatch), byteTime) << "the first dot on time";
    byte.handedOver(byte.due(byteTime, kNoLimit));
    // The next 12 dots go together as the last of them is due, the first of
    // them 11 byte times (0.95 ms) late.
    EXPECT_EQ(byte.wakeAt(kBatch), 13 * byteTime);
    EXPECT_EQ(byte.due(byte.wakeAt(kBatch), kNoLimit), 12u);
    DotStream everyMs(*parseDotStreamRate("1"));
    everyMs.start(0);
    everyMs.handedOver(1);
    EXPECT_EQ(everyMs.wakeAt(kBatch), everyMs.nextAt()) << "idle wire between: each on time";
}

TEST(DotStream, FastOwesAllItIsAskedForOnceStartedAndADisabledOneNothing) {
    DotStream fast(DotStreamRate{0});
    fast.start(100);
    EXPECT_EQ(fast.due(99, 512), 0u);
    EXPECT_EQ(fast.due(100, 512), 512u);
    fast.handedOver(512);
    EXPECT_EQ(fast.due(100, 512), 512u);
    EXPECT_EQ(fast.nextAt(), 100);
    EXPECT_EQ(fast.wakeAt(1'000'000), 100);

    DotStream none;
    none.start(0);
    EXPECT_FALSE(none.running());
    EXPECT_EQ(none.due(1'000'000'000, 512), 0u);
}

}  // namespace
}  // namespace qelisp::sim
