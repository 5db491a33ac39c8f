// qelisp-sim's options, and the --fault TARGET:KIND texts.
#include "sim/command_line.h"
#include "sim/fault_plan.h"

#include <gtest/gtest.h>

namespace qelisp::sim {
namespace {

CommandLineParse parse(std::vector<std::string> args) { return parseCommandLine(args); }

// The options the executable's own tests and the end-to-end runs do not use.
TEST(CommandLine, DefaultsAndTheOptionsNotRunElsewhere) {
    const auto none = parse({});
    ASSERT_TRUE(none.ok) << none.error;
    EXPECT_TRUE(none.commandLine.options.pacing);
    EXPECT_TRUE(none.commandLine.options.erase);
    EXPECT_EQ(none.commandLine.options.eraseMs, 2000u);

    EXPECT_EQ(none.commandLine.options.latencyMs, 0u);
    EXPECT_FALSE(none.commandLine.options.dotStream);

    const auto p =
        parse({"--link", "/tmp/com1", "--no-erase", "--save=out.bin", "--fault=u1:wrong", "--latency-ms", "16"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.commandLine.options.linkPath, "/tmp/com1");
    EXPECT_FALSE(p.commandLine.options.erase);
    EXPECT_EQ(p.commandLine.savePath, "out.bin");
    EXPECT_EQ(p.commandLine.options.faults.forHandshake(1), Fault{FaultKind::Wrong});
    EXPECT_EQ(p.commandLine.options.latencyMs, 16u);

    const std::pair<const char*, std::int64_t> rates[] = {
        {"fast", 0}, {"byte", 86'806}, {"1", 1'000'000}, {"1000", 1'000'000'000}};
    for (const auto& [text, periodNs] : rates) {
        const auto r = parse({"--dot-stream", text});
        ASSERT_TRUE(r.ok) << text << ": " << r.error;
        EXPECT_EQ(r.commandLine.options.dotStream, DotStreamRate{periodNs}) << text;
    }
}

TEST(CommandLine, BadUsageIsRefusedWithAReason) {
    const std::vector<std::vector<std::string>> cases{
        {"--bogus"},
        {"file.bin"},
        {"--erase-ms"},
        {"--erase-ms", "-1"},
        {"--erase-ms", "x"},
        {"--erase-ms", "2s"},
        {"--erase-ms=700000"},
        {"--fault", "0:silence"},
        {"--fault", "3"},
        {"--fault=u1:corrupt"},
        {"--verbose=yes"},
        {"--link"},
        {"--load="},
        {"--fault", "1:wrong", "--fault", "1:silence"},
        {"--latency-ms", "1001"},
        {"--latency-ms=-5"},
        {"--fault", "*:wrong", "--fault", "*:silence"},
        {"--dot-stream"},
        {"--dot-stream", "0"},
        {"--dot-stream", "1001"},
        {"--dot-stream", "Fast"},
        {"--dot-stream=5ms"},
        {"--dot-stream", "-1"},
    };
    for (const auto& args : cases) {
        const auto p = parse(args);
        EXPECT_FALSE(p.ok) << args.front();
        EXPECT_FALSE(p.error.empty()) << args.front();
    }
}

TEST(FaultPlan, HandshakeTakesOnlyKindsThatMeanSomethingForIt) {
    for (const char* ok : {"u1:silence", "u1:wrong", "u1:erase", "u1:hangup", "u1:erase-forever", "u1:erase-bad"}) {
        FaultPlan plan;
        std::string error;
        EXPECT_TRUE(plan.add(ok, error)) << ok << ": " << error;
        EXPECT_TRUE(plan.forHandshake(1).has_value() && !plan.forLine(1).has_value()) << ok;
    }
    const std::pair<const char*, const char*> refused[] = {
        {"u1:corrupt", "read request"}, {"u1:noise", "read request"}, {"u1:no-a", "read request"},
        {"u1:short", "read request"},   {"u1:double@5", "handshake"}, {"u1:late@5", "handshake"},
        {"u1:xoff@5", "handshake"},
    };
    for (const auto& [bad, why] : refused) {
        FaultPlan plan;
        std::string error;
        EXPECT_FALSE(plan.add(bad, error)) << bad;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
    FaultPlan twice;
    std::string error;
    EXPECT_TRUE(twice.add("u1:erase-double", error)) << error;
    EXPECT_EQ(twice.forHandshake(1), Fault{FaultKind::EraseDouble});
}

TEST(FaultPlan, ALinesOwnFaultWinsOverARangeAndARangeOverEveryLine) {
    FaultPlan plan;
    std::string error;
    for (const char* text : {"*:double@5", "3780:silence", "2:double@1000", "10-20:wrong", "15:erase", "3761-:late@50",
                             "3760:double@13", "21-21:no-a"}) {
        ASSERT_TRUE(plan.add(text, error)) << error;
    }
    const std::pair<std::uint64_t, Fault> lines[] = {
        {1, {FaultKind::Double, 5}},
        {2, {FaultKind::Double, 1000}},
        {9, {FaultKind::Double, 5}},
        {10, {FaultKind::Wrong}},
        {15, {FaultKind::Erase}},
        {20, {FaultKind::Wrong}},
        {21, {FaultKind::NoA}},
        {22, {FaultKind::Double, 5}},
        {3760, {FaultKind::Double, 13}},
        {3761, {FaultKind::Late, 50}},
        {3780, {FaultKind::Silence}},
        {3781, {FaultKind::Late, 50}},
        {UINT64_MAX, {FaultKind::Late, 50}},
    };
    for (const auto& [line, fault] : lines) EXPECT_EQ(plan.forLine(line), fault) << "line " << line;
    EXPECT_FALSE(plan.forHandshake(1)) << "* is for command lines only";
    EXPECT_EQ(faultName(*plan.forLine(1)), "double@5");
    EXPECT_EQ(faultName(*plan.forLine(3761)), "late@50");
}

TEST(FaultPlan, RangesMayNotOverlap) {
    const std::pair<const char*, bool> ranges[] = {
        {"1-9:silence", true},    {"21-29:silence", true},  {"5-10:silence", false}, {"20-30:silence", false},
        {"12-13:silence", false}, {"20-25:silence", false}, {"1-:silence", false},   {"30-30:silence", false},
        {"29-:silence", false},   {"10:silence", true},     {"31:silence", true},
    };
    for (const auto& [text, ok] : ranges) {
        FaultPlan plan;
        std::string error;
        ASSERT_TRUE(plan.add("10-20:wrong", error) && plan.add("30-:hangup", error)) << error;
        EXPECT_EQ(plan.add(text, error), ok) << text << ": " << error;
        if (!ok) {
            EXPECT_NE(error.find("already have a fault"), std::string::npos) << error;
        }
    }
}

TEST(FaultPlan, TakesLargeLineNumbersAndRefusesMalformedTexts) {
    FaultPlan big;
    std::string bigError;
    ASSERT_TRUE(big.add("12345678901:hangup", bigError)) << bigError;
    EXPECT_EQ(big.forLine(12345678901u), Fault{FaultKind::HangUp});
    for (const char* bad : {"",
                            "5",
                            "5:",
                            ":silence",
                            "0:silence",
                            "u0:wrong",
                            "u:wrong",
                            "x:silence",
                            "-1:silence",
                            "5 :silence",
                            "5:Silence",
                            "5:bogus",
                            "1.5:wrong",
                            "U1:wrong",
                            "99999999999999999999999:wrong",
                            "u*:wrong",
                            "**:wrong",
                            "*5:wrong",
                            "5:double",
                            "5:double@",
                            "5:double@-1",
                            "5:double@1001",
                            "5:double@5x",
                            "5:silence@5",
                            "5:erase-double@0",
                            "5:double@@5",
                            "5:xoff",
                            "5:xoff@1001",
                            "5:late",
                            "5:late@1001",
                            "5:late@x",
                            "6-5:silence",
                            "0-5:silence",
                            "5--:silence",
                            "5-6-7:silence",
                            "5-x:silence",
                            "-5:silence",
                            "-:silence",
                            "u3-:wrong",
                            "u3-5:wrong",
                            "*-:wrong"}) {
        FaultPlan plan;
        std::string error;
        EXPECT_FALSE(plan.add(bad, error)) << "'" << bad << "'";
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_TRUE(plan.empty()) << bad;
    }
}

}  // namespace
}  // namespace qelisp::sim
