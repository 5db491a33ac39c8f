#include "cli/cli_options.h"
#include "cli/records/image_info.h"
#include "cli/records/sha256.h"
#include "cli/run/tracing_link.h"
#include "protocol/hex_line.h"
#include "tests/support/fake_link.h"
#include "tests/support/test_image.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace qelisp::cli {
namespace {

ParseResult parse(std::vector<std::string> args) { return parseOptions(args); }

TEST(CliOptions, JobsNeedExactlyOnePortSourceAndStrayOptionsAreRefused) {
    const std::vector<std::vector<std::string>> refused{
        {},
        {"program"},
        {"program", "--port"},
        {"program", "--port", "COM3", "--simulate"},
        {"program", "--port", "COM3", "--no-pacing"},  // sim options need --simulate
        {"ports", "--port", "x"},
        {"verify", "--port", "x", "--fast"},
        {"program", "--port", "A", "--port", "A"},               // one instrument, one job
        {"program", "--port", "auto", "--port", "B"},            // auto finds exactly one
        {"program", "--port", "A", "--auto-candidates", "A,B"},  // the hook is for auto only
        {"program", "-p", "A", "--wait", "0"},                   // a wait of at least a second
        {"verify", "--port", "A", "--verify"},                   // verify after program only
        {"program", "--simulate", "--wait", "5"},                // a simulated instrument is always there
        {"program", "-p", "A", "--json", "--trace"},
        {"program", "-p", "A", "--line-timing", "serial"},
        {"program", "--simulate", "--no-pacing", "--line-timing", "wire"},  // it would answer before the line is out
        {"program", "-p", "rfc2217://bench3"},                              // a server's port has a number
        {"program", "-p", "A", "-p", "tcp://[::1:7001"},
    };
    for (const auto& args : refused) {
        const ParseResult refusal = parse(args);
        EXPECT_FALSE(refusal.options) << ::testing::PrintToString(args);
        EXPECT_EQ(refusal.error.find('\n'), std::string::npos) << "one line: " << refusal.error;
        EXPECT_NE(refusal.error.find("--help'"), std::string::npos) << "it points to the help: " << refusal.error;
    }
    for (const char* wrong : {"flash", "--jsn"}) {
        auto bad = parse({wrong == std::string("flash") ? "flash" : "ports", wrong});
        EXPECT_FALSE(bad.options);
        EXPECT_NE(bad.error.find(wrong), std::string::npos) << "the reason names it: " << bad.error;
    }
    auto shortForms =
        parse({"program", "-p", "A", "--port=B", "-q", "-v", "--verify", "--wait", "30", "--line-timing", "wire"});
    ASSERT_TRUE(shortForms.options) << shortForms.error;
    EXPECT_EQ(shortForms.options->lineTiming, LineTiming::Wire);
    EXPECT_EQ(parse({"verify", "-p", "A", "--line-timing", "pty"}).options->lineTiming, LineTiming::Pty);
    EXPECT_EQ(parse({"verify", "-p", "A"}).options->lineTiming, LineTiming::Auto);
    EXPECT_EQ(shortForms.options->ports, (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(shortForms.options->quiet && shortForms.options->trace && shortForms.options->thenVerify);
    EXPECT_EQ(shortForms.options->waitSeconds, 30);
    auto commandHelp = parse({"program", "--help"});
    EXPECT_FALSE(commandHelp.options);
    EXPECT_NE(commandHelp.help.find("qelisp-cli program"), std::string::npos) << commandHelp.help;
    EXPECT_NE(commandHelp.help.find("--verify"), std::string::npos);

    auto remote = parse({"program", "-p", "rfc2217://bench3:7000", "-p", "tcp://[::1]:7001", "-p", "COM3"});
    ASSERT_TRUE(remote.options) << remote.error;
    EXPECT_EQ(remote.options->ports.size(), 3u);
    auto ok = parse({"program", "--port", "COM3", "--trace", "--port", "COM12"});
    ASSERT_TRUE(ok.options) << ok.error;
    EXPECT_EQ(ok.options->ports, (std::vector<std::string>{"COM3", "COM12"}));
    EXPECT_TRUE(ok.options->trace);
    EXPECT_FALSE(ok.options->autoPort());
    auto probe = parse({"verify", "--port", "auto", "--auto-candidates", "/dev/pts/3,,/dev/pts/9"});
    ASSERT_TRUE(probe.options) << probe.error;
    EXPECT_TRUE(probe.options->autoPort());
    EXPECT_EQ(probe.options->autoCandidates, (std::vector<std::string>{"/dev/pts/3", "/dev/pts/9"}));
    auto help = parse({"--help"});
    EXPECT_FALSE(help.options);
    EXPECT_NE(help.help.find("program"), std::string::npos) << "the commands are listed";
    auto version = parse({"--version"});
    ASSERT_TRUE(version.options) << version.error;
    EXPECT_EQ(version.options->command, Command::Version);
    EXPECT_FALSE(parse({"--version", "--trace"}).options);
}

// What people bring from other tools: `help COMMAND`, a comma list of
// ports, a default port in the environment; and what is wrong is named.
TEST(CliOptions, TakesHabitsAndNamesWhatItDidNotUnderstand) {
    const struct {
        std::vector<std::string> args;
        const char* says;
    } refused[] = {
        {{"program", "--prot", "X"}, "unknown option --prot"},
        {{"prog", "-p", "X"}, "unknown command 'prog'"},
        {{"program", "-p", "X", "--simulate"}, "--port X and --simulate"},
        {{"help", "flash"}, "no command 'flash'"},
        {{"verify"}, "QELISP_PORT"},
    };
    for (const auto& c : refused) {
        const ParseResult result = parse(c.args);
        EXPECT_FALSE(result.options);
        EXPECT_NE(result.error.find(c.says), std::string::npos) << result.error;
    }
    EXPECT_EQ(parse({"help", "program"}).help, parse({"program", "--help"}).help);
    EXPECT_EQ(parse({"help", "ports"}).help, parse({"ports", "--help"}).help);
    EXPECT_EQ(parse({"help"}).help, parse({"--help"}).help);
    const struct {
        std::vector<std::string> args;
        std::optional<std::string> variable;
        std::vector<std::string> ports;
    } taken[] = {
        {{"program", "-p", "ttyUSB0,rfc2217://bench3:7000"}, std::nullopt, {"ttyUSB0", "rfc2217://bench3:7000"}},
        {{"program"}, "ttyUSB0,ttyUSB1", {"ttyUSB0", "ttyUSB1"}},
        {{"program", "-p", "COM3"}, "COM4", {"COM3"}},  // the command line wins
        {{"program", "--simulate"}, "COM4", {}},        // so does a simulated instrument
    };
    for (const auto& c : taken) {
        const ParseResult result = parseOptions(c.args, c.variable);
        ASSERT_TRUE(result.options) << result.error;
        EXPECT_EQ(result.options->ports, c.ports);
    }
}

TEST(Sha256, KnownDigests) {
    Sha256 empty;
    EXPECT_EQ(Sha256::hex(empty.finish()), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    Sha256 abc;
    const std::string text = "abc";
    abc.update(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    EXPECT_EQ(Sha256::hex(abc.finish()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Spans a block boundary: 56 bytes forces a second padding block.
    Sha256 two;
    const std::string longer = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    two.update(std::span(reinterpret_cast<const std::uint8_t*>(longer.data()), longer.size()));
    EXPECT_EQ(Sha256::hex(two.finish()), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(ImageInfo, SummarizesWhatWouldBeSent) {
    test::OwnedImage owned(test::makeImageBlock({0x0000, 0x0060, 0x0061, 0x0100}, "QX-7", "2011.01.01"));
    ImageSummary s = summarize(owned.image);
    EXPECT_EQ(s.model, "QX-7           ");
    EXPECT_EQ(s.tableRecords, 4u);
    EXPECT_EQ(s.sentRecords, 3u);
    EXPECT_EQ(s.firstAddress, 0x3000u);
    EXPECT_EQ(s.lastAddress, 0x807Fu);

    Sha256 h;
    for (std::uint16_t b : {0x0060, 0x0061, 0x0100}) h.update(test::blockData(b));
    EXPECT_EQ(s.sha256, Sha256::hex(h.finish()));
    std::string text = formatSummary(s);
    EXPECT_NE(text.find("03000H-0807FH"), std::string::npos) << text;

    EXPECT_EQ(formatVersion("2.3.4", s), "qelisp-cli 2.3.4\nfirmware: QX-7 2011.01.01\nsha256:   " + s.sha256 + "\n");

    test::OwnedImage none(test::makeImageBlock({0x0000, 0x0070}));
    EXPECT_NE(formatSummary(summarize(none.image)).find("Data Error!"), std::string::npos);
    EXPECT_NE(formatVersion("2.3.4", summarize(none.image)).find("sha256:   none"), std::string::npos);
}

TEST(TracingLink, ShowsControlBytesAndCountsNothingAway) {
    const std::uint8_t bytes[] = {':', '0', '\r', '\n', 0x00, 0xFF, '\\'};
    EXPECT_EQ(printableBytes(bytes), ":0\\r\\n\\x00\\xFF\\\\");

    test::VirtualClock clock;
    test::FakeLink inner(clock);
    inner.reply("U");
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    const std::uint8_t u[] = {'U'};
    {
        OutputQueue queue(out, "trace", nullptr);
        TracingLink link(inner, queue);
        EXPECT_EQ(link.write(u), 1);
        std::array<std::uint8_t, 4> buf{};
        EXPECT_EQ(link.read(buf), 1);
        EXPECT_EQ(link.read(buf), 0);
    }
    const std::string text = test::readAndClose(out);
    EXPECT_NE(text.find(">> U"), std::string::npos) << text;
    EXPECT_NE(text.find("<< U"), std::string::npos) << text;
    EXPECT_NE(text.find("nothing within 200 ms"), std::string::npos) << text;

    std::FILE* named = std::tmpfile();
    ASSERT_NE(named, nullptr);
    {
        OutputQueue queue(named, "trace", nullptr);
        TracingLink prefixed(inner, queue, "ttyUSB1: ");
        EXPECT_EQ(prefixed.write(u), 1);
    }
    EXPECT_EQ(test::readAndClose(named).rfind("ttyUSB1: [", 0), 0u) << "each port's lines say whose they are";
}

}  // namespace
}  // namespace qelisp::cli
