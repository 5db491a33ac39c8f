// A programming run: begin, page selects, data records, page ends, end line.
#include "tests/sim/loader_harness.h"

#include <map>

namespace qelisp::sim::testing {
namespace {

TEST(LoaderProgram, WellFormedRunWritesFlashWithoutViolations) {
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
                ASSERT_EQ(h.send(":00000005FB\r\n"), ".");
            }
            ASSERT_EQ(h.send(pageSelect(static_cast<std::uint8_t>(page))), ".");
            openPage = page;
        }
        ASSERT_EQ(h.send(dataRecord(address, block)), ".") << std::hex << address;
    }
    ASSERT_EQ(h.send(":00000005FB\r\n"), ".");
    ASSERT_EQ(h.send(":00000001FF\r\n"), ".");

    EXPECT_TRUE(h.newViolations().empty());
    const SimStats stats = h.loader.stats();
    EXPECT_EQ(stats.violations, 0u);
    EXPECT_EQ(stats.lines, 1u + 3 + 4 + 3 + 1);
    EXPECT_EQ(stats.bytesWritten, 4u * 128);

    const auto flash = h.loader.flash().bytes();
    for (const auto& [address, block] : records) {
        EXPECT_TRUE(std::equal(block.begin(), block.end(), flash.begin() + address)) << std::hex << address;
    }
    EXPECT_EQ(flash[0x2FFF], 0x00);     // below the application area: not erased
    EXPECT_EQ(flash[0x3100], 0xFF);     // erased, not written
    EXPECT_EQ(flash[0x12300], 0xFF);
    EXPECT_EQ(flash[0xFFFFF], 0xFF);

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
    EXPECT_EQ(h.flashAt(0x80000), 0xFF);
    EXPECT_EQ(h.flashAt(0xFFFFF), 0xFF);
}

TEST(LoaderProgram, NoEraseOptionAcknowledgesBeginWithoutErasing) {
    LoaderOptions options;
    options.erase = false;
    LoaderHarness h(options);
    h.loader.flash().load(std::vector<std::uint8_t>(NorFlash::kSize, 0x00));
    h.send("U");
    EXPECT_EQ(h.send(":02000006031ADB\r\n"), ".");
    EXPECT_EQ(h.flashAt(0x3000), 0x00);
    // Programming over it now shows as unerased flash; the result is old & new.
    h.send(pageSelect(3));
    EXPECT_EQ(h.send(dataRecord(0x3000, filled(0x55))), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::UnerasedFlash});
    EXPECT_EQ(h.flashAt(0x3000), 0x00);
}

TEST(LoaderProgram, BeginLineOutOfPlace) {
    LoaderHarness h;
    h.send("U");
    h.send(readRequest(0x3000));
    EXPECT_EQ(h.send(":02000006031ADB\r\n"), "E~.");
    EXPECT_EQ(h.newViolations(), Rules{Rule::BeginNotFirst});
    EXPECT_EQ(h.send(":02000006031ADB\r\n"), "E~.");
    EXPECT_EQ(h.newViolations(), Rules{Rule::BeginTwice});
    h.send("U");
    EXPECT_EQ(h.send(record(0, 0x06, {0x03, 0x1B})), "E~.");
    EXPECT_EQ(h.newViolations(), Rules{Rule::BeginData});
}

TEST(LoaderProgram, PageSelectRules) {
    LoaderHarness h;
    h.beginRun();
    EXPECT_EQ(h.send(record(0, 0x04, {0x03, 0x00})), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageSelectCount});
    EXPECT_EQ(h.send(pageSelect(4)), ".");  // page 3 still open
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageStillOpen});
    h.send(":00000005FB\r\n");
    EXPECT_EQ(h.send(pageSelect(4)), ".");  // same page again
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageOrder});
    h.send(":00000005FB\r\n");
    EXPECT_EQ(h.send(pageSelect(2)), ".");  // going back
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageOrder});
    h.send(":00000005FB\r\n");
    EXPECT_EQ(h.send(pageSelect(5)), ".");
    EXPECT_TRUE(h.newViolations().empty());
}

TEST(LoaderProgram, DataWithoutAPageOpen) {
    LoaderHarness h;
    h.beginRun();
    // With no page ever selected the loader's page register is 0.
    EXPECT_EQ(h.send(dataRecord(0x3000, pattern(1))), ".");
    EXPECT_EQ(h.newViolations(), (Rules{Rule::DataNoPage, Rule::DataBelowApplication}));
    EXPECT_EQ(h.flashAt(0x0000), pattern(1)[0]);
    h.send(pageSelect(3));
    h.send(":00000005FB\r\n");
    EXPECT_EQ(h.send(dataRecord(0x3080, pattern(1))), ".");  // after the page end
    EXPECT_EQ(h.newViolations(), Rules{Rule::DataNoPage});
    EXPECT_EQ(h.flashAt(0x3080), pattern(1)[0]);  // into the page selected last
}

TEST(LoaderProgram, DataOutsideTheSelectedPageGoesIntoThatPage) {
    LoaderHarness h;
    h.beginRun();
    h.send(pageSelect(3));
    EXPECT_EQ(h.send(dataRecord(0x4000, pattern(1))), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::DataOutsidePage});
    // The loader builds the address from its page and the low 12 bits.
    EXPECT_EQ(h.flashAt(0x3000), pattern(1)[0]);
    EXPECT_EQ(h.flashAt(0x4000), 0xFF);
}

TEST(LoaderProgram, DeviceAddressComesFromPageAndLowTwelveBits) {
    LoaderHarness h;
    h.beginRun();
    h.send(pageSelect(0x12));
    EXPECT_EQ(record(0x80, 0x2380, 0x00, pattern(7)).substr(0, 9), ":80238000");
    EXPECT_EQ(h.send(dataRecord(0x12380, pattern(7))), ".");
    EXPECT_TRUE(h.newViolations().empty());
    EXPECT_EQ(h.flashAt(0x12380), pattern(7)[0]);
    EXPECT_EQ(h.flashAt(0x123FF), pattern(7)[127]);
    EXPECT_EQ(h.flashAt(0x02380), 0xFF);
}

TEST(LoaderProgram, DataCountAlignmentAndOrder) {
    LoaderHarness h;
    h.beginRun();
    h.send(pageSelect(3));
    EXPECT_EQ(h.send(record(0x3000, 0x00, std::vector<std::uint8_t>(64, 0x11))), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::DataCount});
    EXPECT_EQ(h.flashAt(0x303F), 0x11);
    EXPECT_EQ(h.flashAt(0x3040), 0xFF);

    EXPECT_EQ(h.send(dataRecord(0x3140, pattern(1))), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::DataAlignment});

    EXPECT_EQ(h.send(dataRecord(0x3080, filled(0xFF))), ".");  // below the previous one
    EXPECT_EQ(h.newViolations(), Rules{Rule::DataOrder});
    EXPECT_EQ(h.send(dataRecord(0x3200, filled(0xFF))), ".");
    EXPECT_TRUE(h.newViolations().empty());
    EXPECT_EQ(h.send(dataRecord(0x3200, filled(0xFF))), ".");  // the same one again
    EXPECT_EQ(h.newViolations(), Rules{Rule::DataOrder});
}

TEST(LoaderProgram, DataBelowTheApplicationAreaIsStillWritten) {
    LoaderHarness h;
    h.beginRun();
    h.send(pageSelect(2));
    EXPECT_EQ(h.send(dataRecord(0x2F80, pattern(5))), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::DataBelowApplication});
    EXPECT_EQ(h.flashAt(0x2F80), pattern(5)[0]);
    EXPECT_EQ(h.loader.stats().bytesWritten, 128u);
}

TEST(LoaderProgram, ProgrammingUnerasedFlashIsCaught) {
    LoaderHarness h;
    h.beginRun();
    h.send(pageSelect(3));
    h.send(dataRecord(0x3000, filled(0xF0)));
    h.send(":00000005FB\r\n");
    h.send("U");  // a second run without the begin line's erase
    h.send(pageSelect(3));
    EXPECT_EQ(h.send(dataRecord(0x3000, filled(0x0F))), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::UnerasedFlash});
    EXPECT_EQ(h.flashAt(0x3000), 0x00);
    // Clearing more bits of programmed data is fine.
    h.send("U");
    h.send(pageSelect(3));
    EXPECT_EQ(h.send(dataRecord(0x3000, filled(0x00))), ".");
    EXPECT_TRUE(h.newViolations().empty());
}

TEST(LoaderProgram, PageEndAndEndLineRules) {
    LoaderHarness h;
    h.send("U");
    EXPECT_EQ(h.send(":00000005FB\r\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageEndNoPage});
    EXPECT_EQ(h.send(":00000001FF\r\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::EndBeforeBegin});

    h.beginRun();
    h.send(pageSelect(3));
    EXPECT_EQ(h.send(":00000001FF\r\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::EndWithPageOpen});
}

TEST(LoaderProgram, NothingAfterTheEndLineUntilAHandshake) {
    LoaderHarness h;
    h.beginRun();
    h.send(pageSelect(3));
    h.send(":00000005FB\r\n");
    h.send(":00000001FF\r\n");
    EXPECT_TRUE(h.newViolations().empty());
    EXPECT_EQ(h.send(readRequest(0x3000)).substr(0, 2), ".A");
    EXPECT_EQ(h.send(":00000001FF\r\n"), ".");
    EXPECT_EQ(h.newViolations(), (Rules{Rule::AfterEnd, Rule::AfterEnd}));
    h.send("U");
    h.send(readRequest(0x3000));
    EXPECT_TRUE(h.newViolations().empty());
}

}  // namespace
}  // namespace qelisp::sim::testing
