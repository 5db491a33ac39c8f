// qelisp-sim's options.
#include "sim/command_line.h"

#include <gtest/gtest.h>

namespace qelisp::sim {
namespace {

CommandLineParse parse(std::vector<std::string> args) { return parseCommandLine(args); }

TEST(CommandLine, Defaults) {
    const auto p = parse({});
    ASSERT_TRUE(p.ok) << p.error;
    const SimOptions& o = p.commandLine.options;
    EXPECT_TRUE(o.pacing);
    EXPECT_TRUE(o.erase);
    EXPECT_EQ(o.eraseMs, 2000u);
    EXPECT_FALSE(o.exitOnHangup);
    EXPECT_FALSE(o.verbose);
    EXPECT_TRUE(o.linkPath.empty());
    EXPECT_TRUE(o.loadPath.empty());
    EXPECT_TRUE(p.commandLine.savePath.empty());
    EXPECT_TRUE(o.faults.empty());
    EXPECT_FALSE(p.commandLine.help);
}

TEST(CommandLine, EveryOption) {
    const auto p = parse({"--link", "/tmp/com1", "--no-pacing", "--erase-ms", "0", "--no-erase", "--load",
                          "in.bin", "--save=out.bin", "--fault", "3:silence", "--fault=u1:wrong",
                          "--exit-on-hangup", "--verbose"});
    ASSERT_TRUE(p.ok) << p.error;
    const SimOptions& o = p.commandLine.options;
    EXPECT_EQ(o.linkPath, "/tmp/com1");
    EXPECT_FALSE(o.pacing);
    EXPECT_EQ(o.eraseMs, 0u);
    EXPECT_FALSE(o.erase);
    EXPECT_EQ(o.loadPath, "in.bin");
    EXPECT_EQ(p.commandLine.savePath, "out.bin");
    EXPECT_EQ(o.faults.forLine(3), FaultKind::Silence);
    EXPECT_EQ(o.faults.forHandshake(1), FaultKind::Wrong);
    EXPECT_TRUE(o.exitOnHangup);
    EXPECT_TRUE(o.verbose);
}

TEST(CommandLine, Help) {
    EXPECT_TRUE(parse({"--help"}).commandLine.help);
    EXPECT_NE(std::string(usageText()).find("--fault TARGET:KIND"), std::string::npos);
}

TEST(CommandLine, BadUsageIsRefusedWithAReason) {
    const std::vector<std::vector<std::string>> cases{
        {"--bogus"},         {"file.bin"},           {"--erase-ms"},          {"--erase-ms", "-1"},
        {"--erase-ms", "x"}, {"--erase-ms", "2s"},   {"--erase-ms=700000"},  {"--fault", "0:silence"},
        {"--fault", "3"},    {"--fault=u1:corrupt"}, {"--verbose=yes"},      {"--link"},
        {"--load="},         {"--fault", "1:wrong", "--fault", "1:silence"},
    };
    for (const auto& args : cases) {
        const auto p = parse(args);
        EXPECT_FALSE(p.ok) << args.front();
        EXPECT_FALSE(p.error.empty()) << args.front();
    }
}

}  // namespace
}  // namespace qelisp::sim
