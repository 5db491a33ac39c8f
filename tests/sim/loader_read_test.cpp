// Read requests: '.', 'A', then 128 bytes as 256 upper-case hex characters.
#include "tests/sim/loader_harness.h"

namespace qelisp::sim::testing {
namespace {

class LoaderRead : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::uint8_t> image(NorFlash::kSize);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + (i >> 8));
        h.loader.flash().load(image);
        ASSERT_EQ(h.send("U"), "U");
    }
    std::string expected(std::uint32_t start) const {
        return hexOf(h.loader.flash().bytes().subspan(start, 128));
    }
    LoaderHarness h;
};

TEST_F(LoaderRead, AnswersDotAThenTheBlockInUpperCaseHex) {
    const std::string answer = h.send(readRequest(0x3000));
    ASSERT_EQ(answer.size(), 2u + 256);
    EXPECT_EQ(answer, ".A" + expected(0x3000));
    EXPECT_EQ(answer.find_first_of("abcdef"), std::string::npos);
    // High digit first: the first byte is image[0x3000].
    const std::uint8_t first = h.flashAt(0x3000);
    EXPECT_EQ(answer[2], kHexDigits[first >> 4]);
    EXPECT_EQ(answer[3], kHexDigits[first & 0x0F]);
    EXPECT_TRUE(h.newViolations().empty());
    EXPECT_EQ(h.loader.stats().bytesWritten, 0u);
}

TEST_F(LoaderRead, LastBlockOfTheFlash) {
    EXPECT_EQ(h.send(readRequest(0xFFF80)), ".A" + expected(0xFFF80));
    EXPECT_TRUE(h.newViolations().empty());
}

TEST_F(LoaderRead, WrongCountIsAViolation) {
    std::vector<std::uint8_t> nine{0x00, 0x00, 0x30, 0x00, 0x00, 0x00, 0x30, 0x7F, 0x00};
    EXPECT_EQ(h.send(record(0, 0x02, nine)), ".A" + expected(0x3000));
    EXPECT_EQ(h.newViolations(), Rules{Rule::ReadCount});
    // Too few bytes to name a block: refused.
    EXPECT_EQ(h.send(record(0, 0x02, {0x00, 0x00, 0x30, 0x00})), "?");
    EXPECT_EQ(h.newViolations(), Rules{Rule::ReadCount});
}

TEST_F(LoaderRead, EndMustBeStartPlus127) {
    EXPECT_EQ(h.send(readRequest(0x3000, 0x3080)), ".A" + expected(0x3000));
    EXPECT_EQ(h.newViolations(), Rules{Rule::ReadRange});
}

TEST_F(LoaderRead, StartMustBeAligned) {
    EXPECT_EQ(h.send(readRequest(0x3010)), ".A" + expected(0x3010));
    EXPECT_EQ(h.newViolations(), Rules{Rule::ReadAlignment});
}

TEST_F(LoaderRead, BeyondTheFlashReadsErased) {
    EXPECT_EQ(h.send(readRequest(0x100000)), ".A" + std::string(256, 'F'));
    EXPECT_EQ(h.newViolations(), Rules{Rule::ReadBeyondFlash});
    EXPECT_EQ(h.send(readRequest(0xFFFC0)), 
              ".A" + hexOf(h.loader.flash().bytes().subspan(0xFFFC0, 64)) + std::string(128, 'F'));
    EXPECT_EQ(h.newViolations(), (Rules{Rule::ReadAlignment, Rule::ReadBeyondFlash}));
}

}  // namespace
}  // namespace qelisp::sim::testing
