// A programming run: begin, page selects, data records, page ends, end line.
#include "tests/sim/loader_harness.h"

#include <map>

namespace qelisp::sim::testing {
namespace {

TEST(LoaderProgram, WellFormedRunWritesFlashWithoutViolations) {
    // The lines the tests build, against known ones.
    ASSERT_EQ(pageSelect(3), ":0100000403F8\r\n");
    ASSERT_EQ(readRequest(0x3000), ":08000002000030000000307F17\r\n");
    ASSERT_EQ(dataRecord(0x12380, pattern(4)).substr(0, 9), ":80238000");
    ASSERT_EQ(dataRecord(0x3000, pattern(1)).size(), 269u) << "the longest line the program sends";

    LoaderHarness h;
    h.loader.flash().load(std::vector<std::uint8_t>(NorFlash::kSize, 0x00));  // old firmware everywhere
    h.beginRun();
    // Pages 0x03 (two records), 0x04 (one), 0x12 (one, at 0x12380).
    const std::map<std::uint32_t, Block> records{
        {0x3000, pattern(1)}, {0x3080, pattern(2)}, {0x4F80, pattern(3)}, {0x12380, pattern(4)}};
    int openPage = -1;
    for (const auto& [address, block] : records) {
        const int page = static_cast<int>(address >> 12);
        if (page != openPage) {
            if (openPage >= 0) {
                ASSERT_EQ(h.send(kPageEnd), ".");
            }
            ASSERT_EQ(h.send(pageSelect(static_cast<std::uint8_t>(page))), ".");
            openPage = page;
        }
        ASSERT_EQ(h.send(dataRecord(address, block)), ".") << std::hex << address;
    }
    ASSERT_EQ(h.send(kPageEnd), ".");
    ASSERT_EQ(h.send(kEnd), ".");

    EXPECT_TRUE(h.newViolations().empty());
    const SimStats stats = h.loader.stats();
    EXPECT_EQ(stats.violations, 0u);
    EXPECT_EQ(stats.lines, 1u + 3 + 4 + 3 + 1);
    EXPECT_EQ(stats.bytesWritten, 4u * 128);
    const auto flash = h.loader.flash().bytes();
    for (const auto& [address, block] : records) {
        EXPECT_TRUE(std::equal(block.begin(), block.end(), flash.begin() + address)) << std::hex << address;
    }
    EXPECT_EQ(flash[0x2FFF], 0x00);  // below the application area: not erased
    EXPECT_EQ(flash[0x3100], 0xFF);  // erased, not written
    EXPECT_EQ(flash[0x12300], 0xFF);

    // Read back in a new session, as the verify job does.
    h.send("U");
    for (const auto& [address, block] : records) {
        EXPECT_EQ(h.send(readRequest(address)), ".A" + hexOf(block)) << std::hex << address;
    }
    EXPECT_TRUE(h.newViolations().empty());
}

TEST(LoaderProgram, BeginErasesTheApplicationAreaOnly) {
    LoaderHarness h;
    h.loader.flash().load(std::vector<std::uint8_t>(NorFlash::kSize, 0x5A));
    h.beginRun();
    EXPECT_EQ(h.flashAt(0x0000), 0x5A);
    EXPECT_EQ(h.flashAt(0x2FFF), 0x5A);
    EXPECT_EQ(h.flashAt(0x3000), 0xFF);
    EXPECT_EQ(h.flashAt(0xFFFFF), 0xFF);
}

TEST(LoaderProgram, NoEraseOptionAcknowledgesBeginWithoutErasing) {
    LoaderOptions options;
    options.erase = false;
    LoaderHarness h(options);
    h.loader.flash().load(std::vector<std::uint8_t>(NorFlash::kSize, 0x00));
    h.send("U");
    EXPECT_EQ(h.send(kBegin), ".");
    EXPECT_EQ(h.flashAt(0x3000), 0x00);
    // Programming over it now shows as unerased flash.
    h.send(pageSelect(3));
    EXPECT_EQ(h.send(dataRecord(0x3000, filled(0x55))), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::UnerasedFlash});
}

}  // namespace
}  // namespace qelisp::sim::testing
