// Faults injected by line number and by handshake number.
#include "tests/sim/loader_harness.h"

namespace qelisp::sim::testing {
namespace {

// Line 1 of these runs is a page select, line 2 a read request.
class LoaderFault : public ::testing::Test {
protected:
    LoaderHarness make(std::initializer_list<const char*> texts) { return LoaderHarness({}, faults(texts)); }
};

TEST_F(LoaderFault, SilenceAnswersNothingAndDoesNotApply) {
    auto h = make({"1:silence"});
    h.send("U");
    EXPECT_EQ(h.send(pageSelect(3)), "");
    EXPECT_EQ(h.send(":00000005FB\r\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageEndNoPage});  // the page select was lost
    EXPECT_EQ(h.loader.stats().lines, 2u);
}

TEST_F(LoaderFault, WrongAnswersQuestionMarkAndDoesNotApply) {
    auto h = make({"2:wrong"});
    h.beginRun();                              // line 1
    EXPECT_EQ(h.send(pageSelect(3)), "?");     // line 2, lost
    EXPECT_EQ(h.send(":00000005FB\r\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageEndNoPage});
}

TEST_F(LoaderFault, EraseAnnouncesAnEraseThenAppliesNormally) {
    auto h = make({"1:erase", "2:erase", "3:erase"});
    h.send("U");
    EXPECT_EQ(h.send(pageSelect(3)), "E~.");
    EXPECT_EQ(h.send(":00000005FB\r\n"), "E~.");
    EXPECT_TRUE(h.newViolations().empty());  // both were applied in order
    // A read request still answers in full after the erase.
    EXPECT_EQ(h.send(readRequest(0x3000)), "E~.A" + std::string(256, 'F'));
}

TEST_F(LoaderFault, EraseOnTheBeginLineIsOneErase) {
    auto h = make({"1:erase"});
    h.beginRun();
}

TEST_F(LoaderFault, EraseForeverAnswersOnlyE) {
    auto h = make({"1:erase-forever"});
    h.send("U");
    EXPECT_EQ(h.send(pageSelect(3)), "E");
    // The next line is answered as usual.
    EXPECT_EQ(h.send(":00000005FB\r\n"), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::PageEndNoPage});
}

TEST_F(LoaderFault, EraseBadEndsInXAndDoesNotApply) {
    auto h = make({"1:erase-bad"});
    h.loader.flash().load(std::vector<std::uint8_t>(NorFlash::kSize, 0x00));
    h.send("U");
    EXPECT_EQ(h.send(":02000006031ADB\r\n"), "E~x");
    EXPECT_EQ(h.flashAt(0x3000), 0x00);  // not erased
}

TEST_F(LoaderFault, CorruptFlipsBitZeroOfByteFiveOnTheWireOnly) {
    auto h = make({"2:corrupt"});
    h.send("U");
    h.send(":00000005FB\r\n");  // line 1
    h.newViolations();
    Block sent = filled(0xFF);
    sent[5] = 0xFE;
    EXPECT_EQ(h.send(readRequest(0x3000)), ".A" + hexOf(sent));
    EXPECT_EQ(h.send(readRequest(0x3000)), ".A" + std::string(256, 'F'));
    EXPECT_EQ(h.flashAt(0x3005), 0xFF);
}

TEST_F(LoaderFault, NoiseBeforeTheA) {
    auto h = make({"1:noise"});
    h.send("U");
    EXPECT_EQ(h.send(readRequest(0x3000)), ".\r\n?#xA" + std::string(256, 'F'));
}

TEST_F(LoaderFault, NoAAnswersTheDotOnly) {
    auto h = make({"1:no-a"});
    h.send("U");
    EXPECT_EQ(h.send(readRequest(0x3000)), ".");
}

TEST_F(LoaderFault, ShortSendsOnlyHundredHexCharacters) {
    auto h = make({"1:short"});
    h.send("U");
    EXPECT_EQ(h.send(readRequest(0x3000)), ".A" + std::string(100, 'F'));
}

TEST_F(LoaderFault, ReadBackFaultsLeaveOtherLinesAlone) {
    auto h = make({"1:corrupt", "2:noise", "3:no-a", "4:short"});
    h.send("U");
    EXPECT_EQ(h.send(pageSelect(3) + ":00000005FB\r\n" + pageSelect(4) + ":00000005FB\r\n"), "....");
    EXPECT_TRUE(h.newViolations().empty());
}

TEST_F(LoaderFault, HangUpAsksToDropTheLine) {
    auto h = make({"2:hangup"});
    h.send("U");
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_EQ(h.send(":00000005FB\r\n"), "!");
}

TEST_F(LoaderFault, LineNumbersCountAcrossSessions) {
    auto h = make({"3:wrong"});
    h.send("U");
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_EQ(h.send(":00000005FB\r\n"), ".");
    EXPECT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.send(pageSelect(3)), "?");
    EXPECT_EQ(h.send(pageSelect(4)), ".");
}

TEST_F(LoaderFault, HandshakeFaults) {
    auto h = make({"u1:silence", "u2:wrong", "u3:erase", "u5:hangup"});
    EXPECT_EQ(h.send("U"), "");
    EXPECT_EQ(h.send("U"), "?");
    EXPECT_EQ(h.send("U"), "E~.");
    // The erased-then-acknowledged handshake opened a session.
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_TRUE(h.newViolations().empty());
    EXPECT_EQ(h.send("U"), "U");
    EXPECT_EQ(h.send("U"), "!");
}

TEST_F(LoaderFault, SilencedHandshakeOpensNoSession) {
    auto h = make({"u1:silence"});
    EXPECT_EQ(h.send("U"), "");
    EXPECT_EQ(h.send(pageSelect(3)), ".");
    EXPECT_EQ(h.newViolations(), Rules{Rule::NoHandshake});
}

}  // namespace
}  // namespace qelisp::sim::testing
