// Faults injected by line number and by handshake number.
#include "tests/sim/loader_harness.h"

#include <optional>

namespace qelisp::sim::testing {
namespace {

LoaderHarness make(std::initializer_list<const char*> texts) { return LoaderHarness({}, faults(texts)); }

TEST(LoaderFault, EachKindAnswersAsItSays) {
    struct Case {
        const char* fault;  // on line 1, the line right after the handshake
        std::string line;
        std::string answer;
        // For a page select: whether it was applied, as a page end shows.
        std::optional<bool> applied;
    };
    Block corrupted = filled(0xFF);
    corrupted[5] = 0xFE;  // bit 0 of byte 5
    const Case cases[] = {
        {"1:silence", pageSelect(3), "", false},
        {"1:wrong", pageSelect(3), "?", false},
        {"1:hangup", pageSelect(3), "!", false},  // '!': the line is to be dropped
        {"1:erase", pageSelect(3), "E~.", true},
        {"1:erase", kBegin, "E~.", std::nullopt},  // one erase, not two
        {"1:erase", readRequest(0x3000), "E~.A" + kErasedHex, std::nullopt},
        {"1:erase-forever", pageSelect(3), "E", false},
        {"1:erase-bad", pageSelect(3), "E~x", false},
        {"1:erase-double", pageSelect(3), "E~..", true},
        {"1:erase-double", kBegin, "E~..", std::nullopt},
        {"1:erase-double", readRequest(0x3000), "E~..A" + kErasedHex, std::nullopt},
        {"1:double@0", pageSelect(3), "..", true},
        {"1:double@100", pageSelect(3), ".{100}.", true},
        {"1:double@1000", readRequest(0x3000), ".A" + kErasedHex + "{1000}.", std::nullopt},
        {"*:double@5", pageSelect(3), ".{5}.", std::nullopt},
        {"1:xoff@0", pageSelect(3), ".\x13{30}\x11", true},
        {"1:xoff@5", readRequest(0x3000), ".A" + kErasedHex + "{5}\x13{30}\x11", std::nullopt},
        {"1:late@0", pageSelect(3), ".", true},
        {"1:late@50", pageSelect(3), "<50>.", true},
        {"1:late@20", kBegin, "<20>E~.", std::nullopt},
        {"1:late@1000", readRequest(0x3000), "<1000>.A" + kErasedHex, std::nullopt},
        {"1:late@5", pageSelect(3).replace(9, 2, "04"), "<5>?", std::nullopt},  // a bad line's answer, late
        {"1:corrupt", readRequest(0x3000), ".A" + hexOf(corrupted), std::nullopt},
        {"1:noise", readRequest(0x3000), ".\r\n?#xA" + kErasedHex, std::nullopt},
        {"1:no-a", readRequest(0x3000), ".", std::nullopt},
        {"1:short", readRequest(0x3000), ".A" + std::string(100, 'F'), std::nullopt},
        {"1:hangup-after-ack", readRequest(0x3000), ".!", std::nullopt},
        {"1:hangup-in-block", readRequest(0x3000), ".A" + std::string(100, 'F') + "!", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        auto h = make({c.fault});
        h.send("U");
        EXPECT_EQ(h.send(c.line), c.answer);
        if (!c.applied) continue;
        EXPECT_EQ(h.send(kPageEnd), ".");
        EXPECT_EQ(h.newViolations(), *c.applied ? Rules{} : Rules{Rule::PageEndNoPage});
    }
}

TEST(LoaderFault, ReadBackFaultsTouchNothingButTheReadBack) {
    auto h = make({"1:corrupt", "2:noise", "3:no-a", "4:short", "5:corrupt"});
    h.send("U");
    EXPECT_EQ(h.send(pageSelect(3) + kPageEnd + pageSelect(4) + kPageEnd), "....");
    EXPECT_TRUE(h.newViolations().empty());
    h.send(readRequest(0x3000));
    EXPECT_EQ(h.send(readRequest(0x3000)), ".A" + kErasedHex) << "the corruption was on the wire only";
}

TEST(LoaderFault, LineNumbersCountAcrossSessions) {
    auto h = make({"3:wrong"});
    h.send("U");
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_EQ(h.send(kPageEnd), ".");
    EXPECT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.send(pageSelect(3)), "?");
    EXPECT_EQ(h.send(pageSelect(4)), ".");
}

TEST(LoaderFault, ALinesOwnFaultWinsOverTheOneForEveryLine) {
    auto h = make({"*:double@0", "2:silence", "3:erase-double"});
    h.send("U");
    EXPECT_EQ(h.send(pageSelect(3) + kPageEnd + pageSelect(4) + kPageEnd), "..E~....");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageStillOpen}) << "the silenced page end was not applied";
}

TEST(LoaderFault, EraseDoubleErasesOnceWhereTheBeginLineWould) {
    auto h = make({"5:erase-double"});
    h.beginRun();
    ASSERT_EQ(h.send(pageSelect(3) + dataRecord(0x3000, pattern(1)) + kPageEnd), "...");
    EXPECT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.send(kBegin), "E~..");
    EXPECT_EQ(h.flashAt(0x3000), 0xFF) << "the begin line erased as it does without the fault";
    EXPECT_TRUE(h.newViolations().empty());
}

TEST(LoaderFault, HandshakeFaults) {
    auto h = make({"u1:silence", "u2:wrong", "u3:erase", "u5:hangup"});
    EXPECT_EQ(h.send("U"), "");
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::NoHandshake}) << "a silenced handshake opens no session";
    EXPECT_EQ(h.send("U"), "?");
    EXPECT_EQ(h.send("U"), "E~.");
    // The erased-then-acknowledged handshake opened a session.
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_TRUE(h.newViolations().empty());
    EXPECT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.send("U"), "!");
    auto twice = make({"u1:erase-double"});
    EXPECT_EQ(twice.send("U"), "E~..");
    EXPECT_EQ(twice.send(pageSelect(3)), ".");
    EXPECT_TRUE(twice.newViolations().empty()) << "it opened a session, as the erase fault does";
}

}  // namespace
}  // namespace qelisp::sim::testing
