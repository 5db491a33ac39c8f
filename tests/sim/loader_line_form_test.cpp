// The form of a line: checksum, hex digits, count, type, ending, length.
#include "tests/sim/loader_harness.h"

namespace qelisp::sim::testing {
namespace {

class LoaderLineForm : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(h.send("U"), "U"); }
    LoaderHarness h;
};

TEST_F(LoaderLineForm, FixedLinesAndKnownExamplesAreAccepted) {
    EXPECT_EQ(record(0, 0x04, {0x03}), ":0100000403F8\r\n");
    EXPECT_EQ(readRequest(0x3000), ":08000002000030000000307F17\r\n");
    EXPECT_EQ(h.send(":0100000403F8\r\n"), ".");
    EXPECT_EQ(h.send(":00000005FB\r\n"), ".");
    EXPECT_EQ(h.loader.stats().lines, 2u);
    EXPECT_TRUE(h.newViolations().empty());
}

TEST_F(LoaderLineForm, BadChecksumIsRefusedAndNotApplied) {
    EXPECT_EQ(h.send(":0100000403F9\r\n"), "?");
    EXPECT_EQ(h.newViolations(), Rules{Rule::BadChecksum});
    // The page select did not happen.
    EXPECT_EQ(h.send(":00000005FB\r\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageEndNoPage});
}

TEST_F(LoaderLineForm, LineEndingInLfOnlyIsAViolationButApplied) {
    EXPECT_EQ(h.send(":0100000403F8\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::NoCrLf});
    EXPECT_EQ(h.send(":00000005FB\r\n"), ".");
    EXPECT_TRUE(h.newViolations().empty());  // the page was open
}

TEST_F(LoaderLineForm, LowerCaseHexIsAViolationButApplied) {
    EXPECT_EQ(h.send(":0100000412e9\r\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::LowerCaseHex});
    h.send(":00000005FB\r\n");
    EXPECT_TRUE(h.newViolations().empty());
}

TEST_F(LoaderLineForm, CountNotMatchingTheLengthIsRefused) {
    EXPECT_EQ(h.send(":0200000403F7\r\n"), "?");
    EXPECT_EQ(h.newViolations(), Rules{Rule::CountMismatch});
    // Count 0 with no data is well formed; for a page select it breaks a
    // count rule instead.
    EXPECT_EQ(h.send(":00000004FC\r\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageSelectCount});
}

TEST_F(LoaderLineForm, MalformedLinesAreRefused) {
    EXPECT_EQ(h.send(":01000004\r\n"), "?");        // too short
    EXPECT_EQ(h.send(":0100000403F\r\n"), "?");     // odd number of digits
    EXPECT_EQ(h.send(":01000004G3F8\r\n"), "?");    // not a hex digit
    EXPECT_EQ(h.send(":\r\n"), "?");
    EXPECT_EQ(h.newViolations(), (Rules{Rule::Malformed, Rule::Malformed, Rule::Malformed, Rule::Malformed}));
    EXPECT_EQ(h.loader.stats().lines, 4u);
}

TEST_F(LoaderLineForm, UnknownTypeIsRefused) {
    EXPECT_EQ(h.send(record(0, 0x03, {0x00})), "?");
    EXPECT_EQ(h.send(record(0, 0x07, {})), "?");
    EXPECT_EQ(h.newViolations(), (Rules{Rule::UnknownType, Rule::UnknownType}));
}

TEST_F(LoaderLineForm, OverlongLineIsDiscardedWithoutAnswer) {
    const std::string longLine = ":" + std::string(700, '0') + "\r\n";
    EXPECT_EQ(h.send(longLine), "");
    EXPECT_EQ(h.newViolations(), Rules{Rule::Overlong});
    EXPECT_EQ(h.loader.stats().lines, 1u);
    // The rest of that line was swallowed; the next line is read normally.
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_TRUE(h.newViolations().empty());
    // A handshake ends the discarding too.
    EXPECT_EQ(h.send(":" + std::string(700, '0') + "U"), "U");
    EXPECT_EQ(h.newViolations(), Rules{Rule::Overlong});
}

TEST_F(LoaderLineForm, LongestRealLineFitsUnderTheLimit) {
    h.send(":02000006031ADB\r\n");
    h.send(pageSelect(3));
    const std::string line = dataRecord(0x3000, pattern(0));
    EXPECT_EQ(line.size(), 269u);
    EXPECT_EQ(h.send(line), ".");
    EXPECT_TRUE(h.newViolations().empty());
}

TEST_F(LoaderLineForm, LinesAreCountedAcrossSessions) {
    h.send(pageSelect(3));
    h.send("U");
    h.send(pageSelect(4));
    h.send("garbage");
    EXPECT_EQ(h.loader.stats().lines, 2u);
    EXPECT_EQ(h.loader.stats().violations, 1u);
}

}  // namespace
}  // namespace qelisp::sim::testing
