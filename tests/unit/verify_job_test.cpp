#include "jobs/verify_job.h"
#include "protocol/command_record.h"
#include "protocol/hex_line.h"
#include "tests/unit/job_fixture.h"

namespace qelisp {
namespace {

using test::JobFixture;

class VerifyJobTest : public JobFixture {
protected:
    void SetUp() override { loader.loadFrom(owned.image); }

    static std::string goodBlock(std::uint16_t block) {
        std::string out = "A";
        for (std::uint8_t b : test::blockData(block)) appendHexByte(out, b);
        return out;
    }

    // The read-back of block 0x60 with byte `index` changed.
    std::string corruptedFirstBlock(std::size_t index) {
        auto data = test::blockData(0x60);
        data[index] ^= 0x40;
        std::string out = "A";
        for (std::uint8_t b : data) appendHexByte(out, b);
        return out;
    }
};

TEST_F(VerifyJobTest, MatchingFlashVerifies) {
    std::vector<std::pair<std::string, int>> seen;
    state.setStatusListener([&](const std::string& s) { seen.emplace_back(s, state.progress.load()); });
    run(VerifyJob);
    // The bar follows the page of the block asked for.
    const std::pair<std::string, int> firstOfSecondPage{"Verifying Data At Address: 04000H", 4};
    EXPECT_NE(std::find(seen.begin(), seen.end(), firstOfSecondPage), seen.end());
    ASSERT_EQ(loader.lines.size(), 34u) << "one request per record after the start record";
    EXPECT_EQ(loader.lines[0], ":08000002000030000000307F17\r\n");
    EXPECT_EQ(state.status(), "Data Verify OK!  Time Elapsed 0.0S");
    expectLoudEnd(state.status());
    EXPECT_EQ(state.currentAddress, 0x40FFu) << "the end of the last block asked for";
}

TEST_F(VerifyJobTest, OneBadReadIsAskedForAgainAndPasses) {
    loader.readBackOverrides[0] = corruptedFirstBlock(5);
    run(VerifyJob);
    EXPECT_EQ(loader.lines.size(), 35u);
    EXPECT_EQ(loader.lines[0], loader.lines[1]) << "the same block is requested again";
    EXPECT_EQ(state.status().rfind("Data Verify OK!", 0), 0u);
}

TEST_F(VerifyJobTest, ThirdMismatchNamesTheFirstDifferingByte) {
    // The first byte, one inside, and the last of the block are all compared.
    const std::pair<std::size_t, const char*> cases[] = {
        {5, "Verify Error At: 03005H"}, {0, "Verify Error At: 03000H"}, {127, "Verify Error At: 0307FH"}};
    for (const auto& [index, status] : cases) {
        SCOPED_TRACE(index);
        test::VirtualClock clock;
        test::FakeLink link(clock);
        test::FakeLoader loader(link);
        loader.loadFrom(owned.image);
        for (int i = 0; i < 3; ++i) loader.readBackOverrides[i] = corruptedFirstBlock(index);
        JobState state;
        state.busy = true;
        JobContext ctx{Session{&link, state, clock}, owned.image, {}};
        VerifyJob(ctx);
        EXPECT_EQ(state.status(), status);
        EXPECT_EQ(loader.lines.size(), 3u);
        const JobResult want{JobOutcome::Failed, JobStep::ReadBack, FailureCause::ReadBackDiffers};
        EXPECT_TRUE(state.result() == want);
    }
}

// Each request is answered once: '.', perhaps noise, 'A' and 256 digits.
// Anything more answers no request, and the next one (or the last block's
// quiet) says so.
TEST_F(VerifyJobTest, AByteNoRequestAskedForFailsTheJob) {
    struct Case {
        const char* what;
        int line;
        const char* readBackTail;  // after the right block; '^' as in the fake loader
        std::size_t linesSent;
    };
    const Case cases[] = {
        {"a spare '.' after a block", 2, ".", 3},
        {"a spare '.' while the next request goes out", 2, "^.", 4},
        {"a second copy of the block", 2, "A00", 3},
        {"a spare '.' after the last block", 33, ".", 34},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::VirtualClock clock;
        test::FakeLink link(clock);
        test::FakeLoader loader(link);
        loader.loadFrom(owned.image);
        const auto block = static_cast<std::uint16_t>(0x60 + c.line);  // the blocks are contiguous
        loader.readBackOverrides[c.line] = goodBlock(block) + c.readBackTail;
        JobState state;
        state.busy = true;
        JobContext ctx{Session{&link, state, clock}, owned.image, {}};
        VerifyJob(ctx);
        EXPECT_EQ(state.status(), "Connecting Error33!");
        EXPECT_EQ(loader.lines.size(), c.linesSent);
    }
}

TEST_F(VerifyJobTest, MismatchCountStartsOverAfterAMatchingBlock) {
    // Two bad reads of block 0x60, then good; two of 0x61, then good.
    loader.readBackOverrides[0] = corruptedFirstBlock(0);
    loader.readBackOverrides[1] = corruptedFirstBlock(0);
    loader.flash[0x3080] ^= 1;
    run(VerifyJob);
    // Block 0x61 now differs on every read: three requests, then the error.
    EXPECT_EQ(state.status(), "Verify Error At: 03080H");
    EXPECT_EQ(loader.lines.size(), 3u + 3u);
    EXPECT_EQ(state.result().cause, FailureCause::ReadBackDiffers) << "whole blocks that differ";
}

TEST_F(VerifyJobTest, NoiseBeforeTheStartIsSkipped) {
    loader.readBackOverrides[0] = "\r\n#?~~x" + goodBlock(0x60);
    run(VerifyJob);
    EXPECT_EQ(loader.lines.size(), 34u);
    EXPECT_EQ(state.status().rfind("Data Verify OK!", 0), 0u);
}

TEST_F(VerifyJobTest, ShortReadBackIsAMismatchNotStaleData) {
    // A full read with a bad byte, then two answers cut short after byte 99.
    // The tail still in the buffer from the first read is right, but it was
    // not sent this time and must not make the block pass.
    loader.readBackOverrides[0] = corruptedFirstBlock(5);
    loader.readBackOverrides[1] = goodBlock(0x60).substr(0, 1 + 200);
    loader.readBackOverrides[2] = goodBlock(0x60).substr(0, 1 + 200);
    run(VerifyJob);
    expectLoudEnd("Verify Error At: 03064H");  // byte 100 is the first that never came
    EXPECT_EQ(state.result().cause, FailureCause::WrongAnswer) << "a block cut short says nothing of the flash";
}

TEST_F(VerifyJobTest, ReadBackThatNeverStartsIsBounded) {
    loader.readBackOverrides[3] = "";
    run(VerifyJob);
    expectLoudEnd("Connecting Error33!");
    EXPECT_EQ(link.emptyReads, kReadBackStartEmptyReads);
    EXPECT_EQ(state.result().cause, FailureCause::WrongAnswer) << "the '.' came, the 'A' never";
}

TEST_F(VerifyJobTest, EndlessNoiseIsBoundedToo) {
    loader.readBackOverrides[0] = std::string(kReadBackStartNoiseLimit + 10, '#');
    run(VerifyJob);
    expectLoudEnd("Connecting Error33!");
}

TEST_F(VerifyJobTest, HandshakeFailure) {
    loader.handshakeOverrides = {{0, ""}, {1, ""}};
    run(VerifyJob);
    expectLoudEnd("Connecting Error11!");
}

TEST_F(VerifyJobTest, RequestNotAcknowledged) {
    loader.overrides[2] = "?";
    run(VerifyJob);
    expectLoudEnd("Connecting Error33!");
    EXPECT_EQ(loader.lines.size(), 3u);
}

TEST_F(VerifyJobTest, NoStartRecordIsASilentDataError) {
    useImage({0x0000, 0x0070});
    state.progress = 9;
    run(VerifyJob);
    EXPECT_EQ(state.status(), "Data Error!");
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(state.progress, 9);
}

TEST_F(VerifyJobTest, CancelEndsBetweenBlocks) {
    link.onWrite = [&, inner = link.onWrite](const std::string& bytes) {
        inner(bytes);
        if (loader.lines.size() == 4) state.cancel = true;
    };
    run(VerifyJob);
    expectLoudEnd("User Canceled");
    EXPECT_EQ(loader.lines.size(), 4u);
}

TEST_F(VerifyJobTest, ACharacterThatIsNoHexDigitIsAMismatch) {
    // Noise that flips bit 4 of a digit ('3' -> '#', 'A' -> 'Q') gives a
    // character that a lenient decoder maps to the very same nibble.
    std::string block = goodBlock(0x60);
    char& digit = block[1 + 2 * 7];
    digit = static_cast<char>(digit <= '9' ? digit - 0x10 : digit + 0x10);
    for (int i = 0; i < 3; ++i) loader.readBackOverrides[i] = block;
    run(VerifyJob);
    expectLoudEnd("Verify Error At: 03007H");
}

TEST_F(VerifyJobTest, CancelIsHeardInEveryWaitOfABlock) {
    // The user cancels where the '!' stands in the second block's answer.
    struct Case {
        const char* when;
        const char* answer;    // to the request; null: '.'
        const char* readBack;  // what follows its '.'
    };
    const Case cases[] = {
        {"in an erase after the request", "E~!~.", nullptr},
        {"in the wait for A", nullptr, "~!~~~~~~~~~"},
        {"in noise before A", nullptr, "##!#######"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        test::VirtualClock clock;
        test::FakeLink link(clock);
        test::FakeLoader loader(link);
        loader.loadFrom(owned.image);
        JobState state;
        if (c.answer) loader.overrides[1] = c.answer;
        if (c.readBack) loader.readBackOverrides[1] = c.readBack;
        std::uint32_t cancelledAt = 0;
        loader.onMark = [&] {
            cancelledAt = clock.now;
            state.cancel = true;
        };
        state.busy = true;
        JobContext ctx{Session{&link, state, clock}, owned.image, {}};
        VerifyJob(ctx);
        EXPECT_EQ(state.status(), "User Canceled");
        EXPECT_EQ(loader.lines.size(), 2u);
        EXPECT_LE(clock.now - cancelledAt, kReadBudgetMs);
        EXPECT_LE(link.reads, 20) << "the wait stops at the cancel";
    }
}

TEST_F(VerifyJobTest, DeadPortDuringTheBlockEndsTheJob) {
    loader.readBackOverrides[1] = "A";
    link.onWrite = [&, inner = link.onWrite](const std::string& bytes) {
        inner(bytes);
        if (loader.lines.size() == 2) link.fail();
    };
    run(VerifyJob);
    expectLoudEnd("Connecting Error33!");
}

}  // namespace
}  // namespace qelisp
