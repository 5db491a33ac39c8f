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

TEST(FaultPlan, EveryLineYieldsToALinesOwnFault) {
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(plan.add("*:double@5", error)) << error;
    ASSERT_TRUE(plan.add("3780:silence", error)) << error;
    ASSERT_TRUE(plan.add("2:double@1000", error)) << error;
    ASSERT_TRUE(plan.add("4:late@50", error)) << error;
    EXPECT_EQ(plan.forLine(1), (Fault{FaultKind::Double, 5}));
    EXPECT_EQ(plan.forLine(2), (Fault{FaultKind::Double, 1000}));
    EXPECT_EQ(plan.forLine(3780), Fault{FaultKind::Silence});
    EXPECT_EQ(plan.forLine(3781), (Fault{FaultKind::Double, 5}));
    EXPECT_FALSE(plan.forHandshake(1)) << "* is for command lines only";
    EXPECT_EQ(faultName(*plan.forLine(1)), "double@5");
    EXPECT_EQ(faultName(*plan.forLine(4)), "late@50");
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
                            "5:late",
                            "5:late@1001",
                            "5:late@x"}) {
        FaultPlan plan;
        std::string error;
        EXPECT_FALSE(plan.add(bad, error)) << "'" << bad << "'";
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_TRUE(plan.empty()) << bad;
    }
}

}  // namespace
}  // namespace qelisp::sim
