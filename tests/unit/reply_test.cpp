#include "protocol/reply.h"
#include "tests/support/fake_link.h"

#include <gtest/gtest.h>

namespace qelisp {
namespace {

class ReplyTest : public ::testing::Test {
protected:
    test::VirtualClock clock;
    test::FakeLink link{clock};
    JobState state;
    Session session{&link, state, clock};
};

TEST_F(ReplyTest, AwaitedByteNothingAndWrongByte) {
    link.reply(".");
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyOk);

    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyTimeout);
    EXPECT_EQ(clock.now, 200u);

    link.reply("?");
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyUnexpected);
    EXPECT_EQ(clock.now, 200u) << "a wrong first byte is judged at once";
    EXPECT_EQ(state.status(), "") << "only an erase touches the status";
}

TEST_F(ReplyTest, EraseThenAckShowsOneDotPerTwoReads) {
    link.reply("E");
    link.silence(2);
    link.reply(".");
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyOk);
    EXPECT_EQ(state.status(), "Erasing Flash .");
    EXPECT_EQ(link.reads, 4);
}

TEST_F(ReplyTest, EraseThenOtherByteIsATimeout) {
    link.reply("Ex");
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyTimeout);
    EXPECT_EQ(state.status(), "Erasing Flash ");
}

TEST_F(ReplyTest, EraseThatNeverEndsFailsAfter76Reads) {
    link.reply("E");
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyEraseFailed);
    EXPECT_EQ(state.status(), "Erase Flash Failer!");
    EXPECT_EQ(link.reads, 1 + 76);
    EXPECT_EQ(clock.now, 76u * 200u);
}

TEST_F(ReplyTest, DotOnThe76thReadStillCountsAsSuccess) {
    link.reply("E");
    link.silence(75);
    link.reply(".");
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyOk);
    EXPECT_EQ(state.status(), "Erase Flash Failer!");
}

TEST_F(ReplyTest, DotOnThe75thReadEndsWithThirtySevenDots) {
    link.reply("E");
    link.silence(74);
    link.reply(".");
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyOk);
    EXPECT_EQ(state.status(), "Erasing Flash " + std::string(37, '.'));
}

TEST_F(ReplyTest, CancelDuringEraseIsNoFailure) {
    link.reply("E");
    link.silence(3);
    state.cancel = true;
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyOk);
    EXPECT_EQ(state.status(), "User Canceled!");
    EXPECT_EQ(link.reads, 2) << "the cancel is seen at the first read of the wait";
}

TEST_F(ReplyTest, CancelDoesNotHideAByteThatCame) {
    link.reply("Ex");
    state.cancel = true;
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyTimeout);
    EXPECT_EQ(state.status(), "User Canceled!");
}

TEST_F(ReplyTest, DeadPortEndsTheWaitAtOnce) {
    link.fail();
    EXPECT_EQ(WaitReply(session, '.'), ReplyResult::ReplyTimeout);

    test::FakeLink erasing(clock);
    Session s2{&erasing, state, clock};
    erasing.reply("E");
    erasing.fail();
    EXPECT_EQ(WaitReply(s2, '.'), ReplyResult::ReplyTimeout);
    EXPECT_EQ(erasing.reads, 2) << "no spinning on a dead port";

    Session none{nullptr, state, clock};
    EXPECT_EQ(WaitReply(none, '.'), ReplyResult::ReplyTimeout);
}

TEST_F(ReplyTest, HandshakePausesPurgesAndSendsU) {
    link.onWrite = [&](const std::string& bytes) {
        if (bytes == "U") link.reply("U");
    };
    EXPECT_EQ(ConnectDevice(session), ConnectResult::Connected);
    EXPECT_EQ(state.status(), "Connecting...");
    EXPECT_EQ(link.writes, std::vector<std::string>{"U"});
    EXPECT_EQ(link.purges, 1);
    EXPECT_EQ(clock.sleptMs, 1000u);
}

TEST_F(ReplyTest, HandshakeRetriesOnceThenSucceeds) {
    int attempts = 0;
    link.onWrite = [&](const std::string&) {
        if (++attempts == 2) link.reply("U");
    };
    EXPECT_EQ(ConnectDevice(session), ConnectResult::Connected);
    EXPECT_EQ(link.writes.size(), 2u);
    EXPECT_EQ(link.purges, 2);
}

TEST_F(ReplyTest, SilentPeerCostsTwoPausesAndTwoTimeouts) {
    EXPECT_EQ(ConnectDevice(session), ConnectResult::NotConnected);
    EXPECT_EQ(clock.sleptMs, 2000u);
    EXPECT_EQ(link.emptyReads, 2);
    EXPECT_EQ(clock.now, 2400u);
}

TEST_F(ReplyTest, HandshakeFollowsAnEraseAnnouncement) {
    // The 'E' arrives, then two quiet reads, then the '.' ends the erase.
    link.onWrite = [&](const std::string&) {
        link.reply("E");
        link.silence(2);
        link.reply(".");
    };
    EXPECT_EQ(ConnectDevice(session), ConnectResult::Connected);
    EXPECT_EQ(state.status(), "Erasing Flash .");
}

TEST_F(ReplyTest, HandshakeWithoutPortFailsAfterBothPauses) {
    Session none{nullptr, state, clock};
    EXPECT_EQ(ConnectDevice(none), ConnectResult::NotConnected);
    EXPECT_EQ(clock.sleptMs, 2000u);
}

TEST_F(ReplyTest, PurgeDropsStaleBytesBeforeTheHandshake) {
    link.reply("..garbage");
    link.onWrite = [&](const std::string&) { link.reply("U"); };
    EXPECT_EQ(ConnectDevice(session), ConnectResult::Connected);
    EXPECT_EQ(link.writes.size(), 1u);
}

}  // namespace
}  // namespace qelisp
