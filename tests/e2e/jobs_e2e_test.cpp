#include "jobs/program_job.h"
#include "jobs/verify_job.h"
#include "tests/e2e/e2e_fixture.h"

#include <cctype>

namespace qelisp {
namespace {

using test::E2eTest;
using test::JobOutcome;

// Command lines of a full run of the development image: the begin line, then
// 112 pages of 32 records, each page opened by a select and closed by a page
// end, then the end line.
constexpr int kFirstSelectLine = 2;
constexpr int kFirstDataLine = 3;
constexpr int kPageEndBetweenLine = 35;
constexpr int kFinalPageEndLine = 3779;
constexpr int kEndLine = 3780;

void expectLoudEnd(const JobOutcome& outcome, const std::string& status) {
    EXPECT_EQ(outcome.status, status);
    EXPECT_EQ(outcome.beeps, 1);
    EXPECT_EQ(outcome.progress, 0);
    EXPECT_FALSE(outcome.busy);
}

class JobsE2e : public E2eTest {};

TEST_F(JobsE2e, ProgramWritesTheImageAndVerifyAgrees) {
    startSim();
    JobOutcome program = run(ProgramJob);
    EXPECT_EQ(program.status.rfind("Data Writed OK!  Time Elapsed ", 0), 0u) << program.status;
    expectLoudEnd(program, program.status);

    JobOutcome verify = run(VerifyJob);
    EXPECT_EQ(verify.status.rfind("Data Verify OK!  Time Elapsed ", 0), 0u) << verify.status;
    expectLoudEnd(verify, verify.status);

    auto flash = stopSim();
    ASSERT_EQ(flash.size(), 1u << 20);
    auto summary = sim_->summary();
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->violations, 0u) << sim_->stderrText();

    const FirmwareImage& image = embeddedImage();
    std::vector<std::uint8_t> expected(1u << 20, 0xFF);
    image.walk(*image.findStartRecord(), [&](const ImageRecord& record) {
        auto data = record.data();
        std::copy(data.begin(), data.end(), expected.begin() + record.address());
        return true;
    });
    EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + 0x3000, [](std::uint8_t b) { return b == 0xFF; }))
        << "nothing is written below 03000H";
    EXPECT_TRUE(std::equal(flash.begin() + 0x3000, flash.begin() + 0x72100, expected.begin() + 0x3000));
    EXPECT_EQ(summary->bytesWritten, (0x72100u - 0x3000u));
}

TEST_F(JobsE2e, SecondProgramRunInOneProcessOpensItsFirstPageCleanly) {
    startSim();
    EXPECT_EQ(run(ProgramJob).status.rfind("Data Writed OK!", 0), 0u);
    EXPECT_EQ(run(ProgramJob).status.rfind("Data Writed OK!", 0), 0u);
    stopSim();
    // A page end before the second run's first page select would be a page
    // end with no page open, which the loader flags.
    EXPECT_EQ(sim_->summary()->violations, 0u) << sim_->stderrText();
    EXPECT_EQ(sim_->summary()->lines, 2u * kEndLine);
}

TEST_F(JobsE2e, VerifyNamesTheFirstDifferingByte) {
    startSim({"--load", flashWithImage(0x3005, 0x10)});
    JobOutcome verify = run(VerifyJob);
    expectLoudEnd(verify, "Verify Error At: 03005H");
    stopSim();
    EXPECT_EQ(sim_->summary()->lines, 3u) << "the block is asked for three times";
}

TEST_F(JobsE2e, BlockCorruptedOnceOnTheWireStillVerifies) {
    startSim({"--load", flashWithImage(), "--fault", "7:corrupt", "--fault", "9:noise"});
    JobOutcome verify = run(VerifyJob);
    EXPECT_EQ(verify.status.rfind("Data Verify OK!", 0), 0u) << verify.status;
    stopSim();
    EXPECT_EQ(sim_->summary()->lines, 3554u + 1u);
}

TEST_F(JobsE2e, ShortReadBackIsAskedForAgain) {
    startSim({"--load", flashWithImage(), "--fault", "2:short"});
    JobOutcome verify = run(VerifyJob);
    EXPECT_EQ(verify.status.rfind("Data Verify OK!", 0), 0u) << verify.status;
    stopSim();
    EXPECT_EQ(sim_->summary()->lines, 3554u + 1u);
}

struct ProgramFault {
    const char* fault;
    const char* status;
    bool silent;  // no beep, progress left alone
};

class ProgramFaultE2e : public E2eTest, public ::testing::WithParamInterface<ProgramFault> {};

TEST_P(ProgramFaultE2e, EndsWithItsMessage) {
    const ProgramFault& p = GetParam();
    std::vector<std::string> args;
    for (std::string f : {std::string(p.fault)}) {
        // "a+b" carries two faults.
        std::size_t plus;
        while ((plus = f.find('+')) != std::string::npos) {
            args.insert(args.end(), {"--fault", f.substr(0, plus)});
            f = f.substr(plus + 1);
        }
        args.insert(args.end(), {"--fault", f});
    }
    startSim(args);
    JobOutcome outcome = run(ProgramJob);
    EXPECT_EQ(outcome.status, p.status);
    EXPECT_FALSE(outcome.busy);
    if (p.silent) {
        EXPECT_EQ(outcome.beeps, 0);
        EXPECT_EQ(outcome.progress, 0) << "never moved: the job stopped before the first record";
    } else {
        EXPECT_EQ(outcome.beeps, 1);
        EXPECT_EQ(outcome.progress, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryExit, ProgramFaultE2e,
                         ::testing::Values(ProgramFault{"u1:silence+u2:wrong", "Connecting Error!", false},
                                           ProgramFault{"1:wrong", "Connecting Error!", true},
                                           ProgramFault{"1:erase-bad", "Connecting Error!", true},
                                           ProgramFault{"2:silence", "Connecting Error 3!", false},
                                           ProgramFault{"3:wrong", "Connecting Error 4!", false},
                                           ProgramFault{"35:erase-bad", "Connecting Error 2!", false},
                                           ProgramFault{"3779:silence", "Connecting Error 2!", false},
                                           ProgramFault{"3780:wrong", "Connecting Error 1!", false},
                                           ProgramFault{"40:hangup", "Connecting Error 4!", false}),
                         [](const ::testing::TestParamInfo<ProgramFault>& info) {
                             std::string name = std::string("line_") + info.param.fault;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

TEST_F(JobsE2e, VerifyExits) {
    struct Case {
        std::vector<std::string> faults;
        const char* status;
    };
    const Case cases[] = {
        {{"u1:silence", "u2:silence"}, "Connecting Error11!"},
        {{"1:silence"}, "Connecting Error33!"},
        {{"5:no-a"}, "Connecting Error33!"},
        {{"5:hangup"}, "Connecting Error33!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        std::vector<std::string> args = {"--load", flashWithImage()};
        for (const auto& f : c.faults) args.insert(args.end(), {"--fault", f});
        startSim(args);
        expectLoudEnd(run(VerifyJob), c.status);
        stopSim();
    }
}

TEST_F(JobsE2e, CancelStopsAtTheNextRecord) {
    startSim();
    JobState state;
    int beeps = 0;
    JobContext context{Session{link_.get(), state, clock_}, embeddedImage(), [&] { ++beeps; }};
    state.setStatusListener([&](const std::string& text) {
        if (text == "Writing Data To Address: 04000H") state.cancel = true;
    });
    JobRunner runner;
    runner.start(state, [&] { ProgramJob(context); });
    runner.join();
    EXPECT_EQ(state.status(), "User Canceled");
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(state.busy);
    stopSim();
    // Begin, page 3 (select + 32 records) and the page end that was under
    // way when the cancel came: nothing after it.
    EXPECT_EQ(sim_->summary()->lines, 1u + 33u + 1u);
}

}  // namespace
}  // namespace qelisp
