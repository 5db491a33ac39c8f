// The 'U' handshake, sessions, what is counted as a line, and the log.
#include "tests/sim/loader_harness.h"

namespace qelisp::sim::testing {
namespace {

TEST(LoaderHandshake, EchoesEachUAndCountsOnlyLines) {
    LoaderHarness h;
    EXPECT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.loader.stats().lines, 0u);
    h.send(pageSelect(3));
    h.send("U");
    h.send(pageSelect(4));
    h.send("garbage");                             // stray bytes are no line
    h.send(":0100U");                              // a broken line is one
    h.send(":" + std::string(700, '0') + "\r\n");  // so is an overlong one
    EXPECT_EQ(h.loader.stats().lines, 4u);
    EXPECT_EQ(h.loader.stats().violations, 3u);
}

TEST(LoaderHandshake, NewHandshakeResetsTheSessionButKeepsFlash) {
    LoaderHarness h;
    h.beginRun();
    ASSERT_EQ(h.send(pageSelect(0x03)), ".");
    ASSERT_EQ(h.send(dataRecord(0x3000, pattern(1))), ".");
    // Abandon the run with a page open; a new session starts clean.
    ASSERT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.send(kPageEnd), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageEndNoPage});
    // Page order and address order start over as well.
    h.send("U");
    EXPECT_EQ(h.send(kBegin), "E~.");
    EXPECT_EQ(h.send(pageSelect(0x03)), ".");
    EXPECT_EQ(h.send(dataRecord(0x3000, pattern(2))), ".");
    EXPECT_EQ(h.send(kPageEnd + kEnd), "..");
    EXPECT_TRUE(h.newViolations().empty());
    // After the end line, a handshake allows lines again; without a begin
    // line, what was written stays.
    h.send("U");
    EXPECT_EQ(h.send(readRequest(0x3000)), ".A" + hexOf(pattern(2)));
    EXPECT_TRUE(h.newViolations().empty());
}

TEST(LoaderHandshake, StrayBytesCountOncePerRun) {
    LoaderHarness h;
    h.send("U");
    EXPECT_EQ(h.send("xyz"), "");
    EXPECT_EQ(h.newViolations(), Rules{Rule::StrayBytes});
    EXPECT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.send("\r\n"), "");
    EXPECT_EQ(h.newViolations(), Rules{Rule::StrayBytes});
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_TRUE(h.newViolations().empty());
    ASSERT_FALSE(h.log.empty());
    EXPECT_NE(h.log[0].find("after line 0"), std::string::npos) << h.log[0];
}

TEST(LoaderHandshake, LinkDroppedForgetsHalfALineAndTheSession) {
    LoaderHarness h;
    h.send("U");
    h.send(":0100000403");
    h.loader.linkDropped();
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::NoHandshake});
    EXPECT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.send(kPageEnd), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageEndNoPage});
}

TEST(LoaderHandshake, ViolationsAreLoggedWithTheLineNumber) {
    LoaderHarness h;
    h.send("U");
    h.send(pageSelect(3));
    h.send(kEnd);
    ASSERT_EQ(h.log.size(), 2u);
    EXPECT_EQ(h.log[0].rfind("qelisp-sim: line 2: end line (0x01) while a page is open", 0), 0u) << h.log[0];
    EXPECT_NE(h.log[1].find("line 2: end line (0x01) before the begin line"), std::string::npos) << h.log[1];
    EXPECT_EQ(h.loader.stats().violations, 2u);
}

TEST(LoaderHandshake, VerboseLogsLinesAndReplies) {
    LoaderOptions options;
    options.verbose = true;
    LoaderHarness h(options);
    h.send("U");
    h.send(kBegin);
    ASSERT_GE(h.log.size(), 4u);
    EXPECT_NE(h.log[0].find("handshake 1"), std::string::npos);
    EXPECT_NE(h.log[2].find("line 1: :02000006031ADB\\r\\n"), std::string::npos) << h.log[2];
    EXPECT_NE(h.log[3].find("E (erase time) ."), std::string::npos) << h.log[3];
}

}  // namespace
}  // namespace qelisp::sim::testing
