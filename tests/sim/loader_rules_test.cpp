// Every rule the loader checks, broken once on top of an otherwise proper
// conversation: the loader's answer, the rules it reports, and whether the
// line was applied. And the answer to a read request: '.', 'A', then 128
// bytes from the requested start as 256 upper-case hex characters, high
// digit first.
#include "tests/sim/loader_harness.h"

#include <cctype>

namespace qelisp::sim::testing {
namespace {

struct Case {
    std::vector<std::string> before;  // sent first; must break no rule
    std::string line;
    std::string answer;
    Rules rules;
    std::string then = {};      // sent next: answered '.', breaking no rule
    std::uint32_t address = 0;  // with value >= 0: the flash byte there afterwards
    int value = -1;
};

std::vector<std::string> plus(std::vector<std::string> lines, std::initializer_list<std::string> more) {
    lines.insert(lines.end(), more);
    return lines;
}

std::string badChecksum(std::string line) {
    char& digit = line[line.size() - 3];
    digit = digit == '0' ? '1' : '0';
    return line;
}

std::string lfOnly(std::string line) { return line.erase(line.size() - 2, 1); }

std::string lowerCase(std::string line) {
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return line;
}

TEST(LoaderRules, EachRuleIsReportedWithTheLoadersAnswer) {
    const std::vector<std::string> u{"U"};
    const std::vector<std::string> begun{"U", kBegin};
    const std::vector<std::string> open3{"U", kBegin, pageSelect(3)};
    const Block one = pattern(1);
    const std::string overlong = ":" + std::string(700, '0');
    const Case cases[] = {
        // The form of a line: a refused line is not applied; one with a slip is.
        {open3, badChecksum(dataRecord(0x3000, one)), "?", {Rule::BadChecksum}, {}, 0x3000, 0xFF},
        {open3, lfOnly(dataRecord(0x3000, one)), ".", {Rule::NoCrLf}, {}, 0x3000, one[0]},
        {open3, lowerCase(dataRecord(0x3000, one)), ".", {Rule::LowerCaseHex}, {}, 0x3000, one[0]},
        {u, ":0200000403F7\r\n", "?", {Rule::CountMismatch}},
        {u, ":01000004\r\n", "?", {Rule::Malformed}},      // too short
        {u, ":0100000403F\r\n", "?", {Rule::Malformed}},   // odd number of digits
        {u, ":01000004G3F8\r\n", "?", {Rule::Malformed}},  // not a hex digit
        {u, ":\r\n", "?", {Rule::Malformed}},
        {u, record(0, 0x03, {0x00}), "?", {Rule::UnknownType}},
        {u, record(0, 0x07, {}), "?", {Rule::UnknownType}},
        // Discarded unanswered, up to its end or a handshake.
        {u, overlong + "\r\n", "", {Rule::Overlong}, pageSelect(3)},
        {u, overlong + "U", "U", {Rule::Overlong}, pageSelect(3)},
        // A 'U' inside a line drops the line and opens a session.
        {{}, ":0100U", "U", {Rule::BrokenLine}, pageSelect(3)},
        {u, "xyz", "", {Rule::StrayBytes}},
        // The order of a session.
        {{}, pageSelect(3), ".", {Rule::NoHandshake}},
        {plus(open3, {kPageEnd, kEnd}), kEnd, ".", {Rule::AfterEnd}},
        {plus(u, {readRequest(0x3000)}), kBegin, "E~.", {Rule::BeginNotFirst}},
        {begun, kBegin, "E~.", {Rule::BeginTwice}},
        {u, record(0, 0x06, {0x03, 0x1B}), "E~.", {Rule::BeginData}},
        {begun, record(0, 0x04, {0x03, 0x00}), ".", {Rule::PageSelectCount}},
        {begun, ":00000004FC\r\n", ".", {Rule::PageSelectCount}},  // count 0 is well formed
        {open3, pageSelect(4), ".", {Rule::PageStillOpen}},
        {plus(begun, {pageSelect(4), kPageEnd}), pageSelect(4), ".", {Rule::PageOrder}},  // the same again
        {plus(open3, {kPageEnd}), pageSelect(2), ".", {Rule::PageOrder}},                 // going back
        // Data lands where the page register and the low 12 bits say; with no
        // page ever selected the register is 0.
        {begun, dataRecord(0x3000, one), ".", {Rule::DataNoPage, Rule::DataBelowApplication}, {}, 0x0000, one[0]},
        {plus(open3, {kPageEnd}), dataRecord(0x3080, one), ".", {Rule::DataNoPage}, {}, 0x3080, one[0]},
        {open3, dataRecord(0x4000, one), ".", {Rule::DataOutsidePage}, {}, 0x3000, one[0]},
        {open3, record(0x3000, 0x00, std::vector<std::uint8_t>(64, 0x11)), ".", {Rule::DataCount}, {}, 0x303F, 0x11},
        {open3, dataRecord(0x3140, one), ".", {Rule::DataAlignment}, {}, 0x3140, one[0]},
        {plus(open3, {dataRecord(0x3100, one)}), dataRecord(0x3080, one), ".", {Rule::DataOrder}},
        {plus(open3, {dataRecord(0x3200, filled(0xFF))}), dataRecord(0x3200, filled(0xFF)), ".", {Rule::DataOrder}},
        {plus(begun, {pageSelect(2)}), dataRecord(0x2F80, one), ".", {Rule::DataBelowApplication}, {}, 0x2F80, one[0]},
        // A second run without the begin line's erase: the flash holds old & new.
        {plus(open3, {dataRecord(0x3000, filled(0xF0)), kPageEnd, "U", pageSelect(3)}),
         dataRecord(0x3000, filled(0x0F)),
         ".",
         {Rule::UnerasedFlash},
         {},
         0x3000,
         0x00},
        {u, kPageEnd, ".", {Rule::PageEndNoPage}},
        {u, kEnd, ".", {Rule::EndBeforeBegin}},
        {open3, kEnd, ".", {Rule::EndWithPageOpen}},
        // Read requests are answered from their start whatever else is wrong.
        {u,
         record(0, 0x02, {0x00, 0x00, 0x30, 0x00, 0x00, 0x00, 0x30, 0x7F, 0x00}),
         ".A" + kErasedHex,
         {Rule::ReadCount}},
        {u, record(0, 0x02, {0x00, 0x00, 0x30, 0x00}), "?", {Rule::ReadCount}},  // no start and end to read
        {u, readRequest(0x3000, 0x3080), ".A" + kErasedHex, {Rule::ReadRange}},
        {u, readRequest(0x3010), ".A" + kErasedHex, {Rule::ReadAlignment}},
        {u, readRequest(0x100000), ".A" + kErasedHex, {Rule::ReadBeyondFlash}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 40));
        LoaderHarness h;
        for (const std::string& line : c.before) h.send(line);
        ASSERT_TRUE(h.newViolations().empty());
        EXPECT_EQ(h.send(c.line), c.answer);
        EXPECT_EQ(h.newViolations(), c.rules);
        if (!c.then.empty()) {
            EXPECT_EQ(h.send(c.then), ".");
            EXPECT_TRUE(h.newViolations().empty());
        }
        if (c.value >= 0) {
            EXPECT_EQ(h.flashAt(c.address), c.value);
        }
    }
}

TEST(LoaderRead, AnswersTheBlockFromTheRequestedStart) {
    std::vector<std::uint8_t> image(NorFlash::kSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + (i >> 8));
    LoaderHarness h;
    h.loader.flash().load(image);
    ASSERT_EQ(h.send("U"), "U");
    auto at = [&](std::uint32_t start, std::size_t n = 128) { return hexOf(std::span(image).subspan(start, n)); };

    const std::string first = h.send(readRequest(0x3000));
    EXPECT_EQ(first, ".A" + at(0x3000));
    EXPECT_EQ(first.substr(2, 2), "30");  // image[0x3000]
    EXPECT_EQ(first.find_first_of("abcdef"), std::string::npos);
    // Requests that break a rule are still answered from their start.
    const std::pair<std::string, std::string> cases[] = {
        {readRequest(0xFFF80), ".A" + at(0xFFF80)},  // the last block
        {readRequest(0x3000, 0x3080), ".A" + at(0x3000)},
        {record(0, 0x02, {0x00, 0x00, 0x30, 0x00, 0x00, 0x00, 0x30, 0x7F, 0x00}), ".A" + at(0x3000)},
        {readRequest(0x3010), ".A" + at(0x3010)},
        {readRequest(0xFFFC0), ".A" + at(0xFFFC0, 64) + std::string(128, 'F')},  // past the end: erased
    };
    for (const auto& [request, answer] : cases) EXPECT_EQ(h.send(request), answer) << request;
    EXPECT_EQ(h.loader.stats().bytesWritten, 0u);
}

}  // namespace
}  // namespace qelisp::sim::testing
