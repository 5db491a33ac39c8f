#include "jobs/program_job.h"
#include "protocol/command_record.h"
#include "tests/unit/job_fixture.h"

namespace qelisp {
namespace {

using test::FakeLink;
using test::FakeLoader;
using test::JobFixture;
using test::VirtualClock;

class ProgramJobTest : public JobFixture {};

// Line indexes of the default image's run.
constexpr int kBegin = 0;
constexpr int kFirstSelect = 1;
constexpr int kFirstData = 2;
constexpr int kPageEndBetween = 34;
constexpr int kSecondSelect = 35;
constexpr int kFinalPageEnd = 38;
constexpr int kEnd = 39;

TEST_F(ProgramJobTest, WritesPagesInTheLoaderOrderAndReportsTheTime) {
    clock.now = 0xFFFFF000u;  // the tick counter wraps during the run
    run(ProgramJob);
    ASSERT_EQ(loader.lines.size(), 40u);
    EXPECT_EQ(loader.lines[kBegin], kBeginLine);
    EXPECT_EQ(loader.lines[kFirstSelect], ":0100000403F8\r\n");
    EXPECT_EQ(loader.lines[kFirstData].substr(0, 9), ":80300000");
    EXPECT_EQ(loader.lines[33].substr(0, 9), ":803F8000");
    EXPECT_EQ(loader.lines[kPageEndBetween], kPageEndLine);
    EXPECT_EQ(loader.lines[kSecondSelect], ":0100000404F7\r\n");
    EXPECT_EQ(loader.lines[37].substr(0, 9), ":80408000");
    EXPECT_EQ(loader.lines[kFinalPageEnd], kPageEndLine);
    EXPECT_EQ(loader.lines[kEnd], kEndOfFileLine);

    for (std::uint16_t block : test::twoPageBlocks()) {
        if (block < 0x60) continue;
        auto want = test::blockData(block);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), loader.flash.begin() + (block << 7))) << block;
    }
    EXPECT_EQ(loader.flash[0], 0xFF) << "block 0 is carried but never sent";

    std::string status = state.status();
    EXPECT_EQ(status.rfind("Data Writed OK!  Time Elapsed ", 0), 0u) << status;
    EXPECT_EQ(state.result().outcome, JobOutcome::Succeeded);
    EXPECT_EQ(state.statusKind(), StatusKind::Result);
    EXPECT_EQ(status.back(), 'S');
    expectLoudEnd(status);
}

TEST_F(ProgramJobTest, ElapsedTimeHasOneDecimal) {
    // The begin line's erase takes the clock 12.345 s on.
    loader.overrides[kBegin] = "E";
    link.onWrite = [&, inner = link.onWrite](const std::string& bytes) {
        inner(bytes);
        if (bytes == kBeginLine) {
            clock.advance(12345);
            link.reply(".");
        }
    };
    run(ProgramJob);
    EXPECT_EQ(state.status(), "Data Writed OK!  Time Elapsed 12.3S");
}

TEST_F(ProgramJobTest, OnePageMeansOneSelectAndOnePageEnd) {
    useImage({0x0000, 0x0060, 0x0061, 0x0062});
    run(ProgramJob);
    ASSERT_EQ(loader.lines.size(), 7u);
    EXPECT_EQ(loader.lines[1], ":0100000403F8\r\n");
    EXPECT_EQ(loader.lines[5], kPageEndLine);
    EXPECT_EQ(loader.lines[6], kEndOfFileLine);
}

TEST_F(ProgramJobTest, SecondRunStartsWithAFreshPage) {
    run(ProgramJob);
    loader.lines.clear();
    beeps = 0;
    run(ProgramJob);
    ASSERT_GE(loader.lines.size(), 2u);
    EXPECT_EQ(loader.lines[0], kBeginLine);
    EXPECT_EQ(loader.lines[1], ":0100000403F8\r\n") << "no page end before the first page select";
    EXPECT_EQ(loader.handshakes, 2);
}

TEST_F(ProgramJobTest, NoStartRecordIsASilentDataError) {
    useImage({0x0000, 0x0061, 0x0062});
    state.progress = 42;
    run(ProgramJob);
    EXPECT_EQ(state.status(), "Data Error!");
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(state.progress, 42);
    EXPECT_TRUE(loader.lines.empty());
}

TEST_F(ProgramJobTest, BeginLineFailureIsSilent) {
    loader.overrides[kBegin] = "?";
    state.progress = 42;
    run(ProgramJob);
    EXPECT_EQ(state.status(), "Connecting Error!");
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(state.progress, 42);
    EXPECT_EQ(loader.lines.size(), 1u);
}

TEST_F(ProgramJobTest, HandshakeFailureBeeps) {
    loader.handshakeOverrides = {{0, ""}, {1, "?"}};
    run(ProgramJob);
    expectLoudEnd("Connecting Error!");
    EXPECT_EQ(loader.handshakes, 2);
    EXPECT_TRUE(loader.lines.empty());
}

struct StepFailure {
    int line;
    const char* answer;
    const char* status;
    std::size_t linesSent;
    JobStep step;
    FailureCause cause;
};

class ProgramStepFailure : public JobFixture, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(ProgramStepFailure, EndsWithItsOwnErrorAndSendsNothingMore) {
    loader.overrides[GetParam().line] = GetParam().answer;
    run(ProgramJob);
    expectLoudEnd(GetParam().status);
    EXPECT_EQ(loader.lines.size(), GetParam().linesSent);
    const JobResult want{JobOutcome::Failed, GetParam().step, GetParam().cause};
    EXPECT_TRUE(state.result() == want) << "the result is the value front ends read";
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, ProgramStepFailure,
    ::testing::Values(
        StepFailure{kFirstSelect, "", "Connecting Error 3!", 2, JobStep::PageSelect, FailureCause::NoAnswer},
        StepFailure{kFirstData, "x", "Connecting Error 4!", 3, JobStep::DataRecord, FailureCause::WrongAnswer},
        StepFailure{kPageEndBetween, "?", "Connecting Error 2!", 35, JobStep::PageEnd, FailureCause::WrongAnswer},
        // an erase that never ends
        StepFailure{kSecondSelect, "E", "Connecting Error 3!", 36, JobStep::PageSelect, FailureCause::EraseNeverEnded},
        StepFailure{kFinalPageEnd, "E~x", "Connecting Error 2!", 39, JobStep::PageEnd, FailureCause::WrongAnswer},
        StepFailure{kEnd, "", "Connecting Error 1!", 40, JobStep::EndLine, FailureCause::NoAnswer},
        StepFailure{kEnd, "..", "Connecting Error 1!", 40, JobStep::EndLine, FailureCause::StrayBytes}));

TEST_F(ProgramJobTest, FailedEraseShowsThenGivesWayToTheStepError) {
    std::vector<std::string> seen;
    state.setStatusListener([&](const std::string& s) { seen.push_back(s); });
    loader.overrides[kFirstSelect] = "E";
    run(ProgramJob);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2], "Erase Flash Failer!");
    EXPECT_EQ(seen.back(), "Connecting Error 3!");
}

struct CancelCase {
    std::size_t cancelAfter;  // lines sent when the cancel comes
    const char* answer;       // the loader's answer to the last of them; null: the usual
};

class ProgramCancel : public JobFixture, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(ProgramCancel, StopsAtTheNextRecordAndNeverEndsInSuccess) {
    const CancelCase c = GetParam();
    if (c.answer) loader.overrides[static_cast<int>(c.cancelAfter) - 1] = c.answer;
    link.onWrite = [&, inner = link.onWrite](const std::string& bytes) {
        inner(bytes);
        if (loader.lines.size() == c.cancelAfter) state.cancel = true;
    };
    run(ProgramJob);
    expectLoudEnd("User Canceled");
    EXPECT_EQ(loader.lines.size(), c.cancelAfter) << "nothing is sent after a cancel";
    EXPECT_EQ(state.result().outcome, JobOutcome::Cancelled);
}

// An erase wait that sees the cancel returns as answered; whatever line it
// answered, nothing may follow it.
INSTANTIATE_TEST_SUITE_P(Cancel, ProgramCancel,
                         ::testing::Values(CancelCase{kBegin + 1, nullptr},  // before the first page
                                           CancelCase{5, nullptr},           // between records
                                           CancelCase{kBegin + 1, "E~~."}, CancelCase{kFirstSelect + 1, "E~~."},
                                           CancelCase{kPageEndBetween + 1, "E~~."},
                                           CancelCase{kFinalPageEnd + 1, "E~~."}, CancelCase{kEnd + 1, "E~~."}));

TEST_F(ProgramJobTest, CancelIsHeardWhileConnecting) {
    struct Case {
        const char* when;
        bool beforeStart;       // set before the job starts: the first pause sees it
        const char* answerToU;  // otherwise set as the 'U' goes out, with this answer
        int handshakes;
    };
    const Case cases[] = {
        {"in the pause", true, "U", 0},
        {"in the wait for U", false, "", 1},
        {"in an erase after U", false, "E~~.", 1},
        {"after U was answered", false, "U", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        VirtualClock clock;
        FakeLink link(clock);
        FakeLoader loader(link);
        JobState state;
        loader.handshakeOverrides[0] = c.answerToU;
        std::uint32_t cancelledAt = 0;
        state.cancel = c.beforeStart;
        link.onWrite = [&, inner = link.onWrite](const std::string& bytes) {
            inner(bytes);
            cancelledAt = clock.now;
            state.cancel = true;
        };
        state.busy = true;
        JobContext ctx{Session{&link, state, clock}, owned.image, {}};
        ProgramJob(ctx);
        EXPECT_EQ(state.status(), "User Canceled");
        EXPECT_FALSE(state.busy);
        EXPECT_EQ(loader.handshakes, c.handshakes);
        EXPECT_TRUE(loader.lines.empty()) << "not even the begin line goes out";
        EXPECT_LE(clock.now - cancelledAt, 2u * kReadBudgetMs);
    }
}

// A byte no line asked for is never an answer: taken for one, it would put
// the program a line ahead of the loader, and a line the loader never
// answered (here always the end line) could pass.
TEST_F(ProgramJobTest, AByteNoLineAskedForFailsTheStepThatHearsIt) {
    struct Case {
        const char* what;
        int line;            // the line answered too much; -1: the handshake
        const char* answer;  // '^': what follows comes while the next line goes out
        const char* status;
        std::size_t linesSent;
        bool loud;
    };
    const Case cases[] = {
        {"a flood after U", -1, "U.....", "Connecting Error!", 0, false},
        {"a spare '.' waits before the next line", kFirstData, "..", "Connecting Error 4!", 3, true},
        {"a spare '.' comes while the next line goes out", kFirstData, ".^.", "Connecting Error 4!", 4, true},
        {"an erase answered twice", kPageEndBetween, "E~..", "Connecting Error 3!", 35, true},
        {"a spare '.' before the end line", kFinalPageEnd, "..", "Connecting Error 1!", 39, true},
        {"a spare '.' after the end line", kEnd, "..", "Connecting Error 1!", 40, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualClock clock;
        FakeLink link(clock);
        FakeLoader loader(link);
        JobState state;
        int beeps = 0;
        (c.line < 0 ? loader.handshakeOverrides[0] : loader.overrides[c.line]) = c.answer;
        loader.overrides[kEnd + 1] = "";  // never asked: the end line is the last
        if (c.line != kEnd) loader.overrides[kEnd] = "";
        state.busy = true;
        JobContext ctx{Session{&link, state, clock}, owned.image, [&] { ++beeps; }};
        ProgramJob(ctx);
        EXPECT_EQ(state.status(), c.status);
        EXPECT_FALSE(state.busy);
        EXPECT_EQ(beeps, c.loud ? 1 : 0);
        EXPECT_EQ(loader.lines.size(), c.linesSent) << "nothing goes out after the stray byte is heard";
        ASSERT_FALSE(link.notes.empty());
        EXPECT_EQ(link.notes.back().rfind("unexpected: ", 0), 0u) << link.notes.back();
    }
}

// Once the loader has answered the last two lines the update is whole; a
// cancel then changes nothing. Only a wait the cancel cut short stops it
// (the table of ProgramCancel).
TEST_F(ProgramJobTest, CancelAfterTheClosingLinesWereAnsweredStillSucceeds) {
    for (std::size_t cancelAfter : {std::size_t{kFinalPageEnd + 1}, std::size_t{kEnd + 1}}) {
        SCOPED_TRACE(cancelAfter);
        VirtualClock clock;
        FakeLink link(clock);
        FakeLoader loader(link);
        JobState state;
        link.onWrite = [&, inner = link.onWrite](const std::string& bytes) {
            inner(bytes);
            if (loader.lines.size() == cancelAfter) state.cancel = true;
        };
        state.busy = true;
        JobContext ctx{Session{&link, state, clock}, owned.image, {}};
        ProgramJob(ctx);
        EXPECT_EQ(state.status().rfind("Data Writed OK!", 0), 0u) << state.status();
        EXPECT_EQ(loader.lines.size(), 40u);
    }
}

TEST_F(ProgramJobTest, NoPortEndsWithAConnectingError) {
    state.busy = true;
    JobContext ctx{Session{nullptr, state, clock}, owned.image, [this] { ++beeps; }};
    ProgramJob(ctx);
    expectLoudEnd("Connecting Error!");
    EXPECT_FALSE(state.busy);
}

TEST_F(ProgramJobTest, DeadPortMidRunEndsPromptly) {
    link.onWrite = [&, inner = link.onWrite](const std::string& bytes) {
        if (loader.lines.size() == 9) {
            link.fail();
            return;
        }
        inner(bytes);
    };
    run(ProgramJob);
    expectLoudEnd("Connecting Error 4!");
    EXPECT_LT(link.reads, 20);
    EXPECT_EQ(state.result().cause, FailureCause::PortGone) << "told apart from silence";
}

TEST_F(ProgramJobTest, ProgressFollowsThePageAndStatusTheRecord) {
    std::vector<int> progress;
    std::vector<std::string> seen;
    state.setStatusListener([&](const std::string& s) {
        seen.push_back(s);
        progress.push_back(state.progress);
    });
    run(ProgramJob);
    EXPECT_NE(std::find(seen.begin(), seen.end(), "Writing Data To Address: 03000H"), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), "Writing Data To Address: 04080H"), seen.end());
    EXPECT_EQ(progress[1], 3);
    EXPECT_EQ(progress[progress.size() - 2], 4);
}

}  // namespace
}  // namespace qelisp
