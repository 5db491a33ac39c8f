// The generated source: it must say the block byte for byte and define the
// function the program calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "generated_source.h"
#include "image/firmware_image.h"
#include "image/mkimage/cpp_writer.h"

namespace qelisp {
namespace {

std::vector<std::uint8_t> patternBlock() {
    std::vector<std::uint8_t> block(kImageSize);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
    return block;
}

std::string sourceFor(const std::vector<std::uint8_t>& block, std::string_view note = "note") {
    return writeImageSource(std::span<const std::uint8_t, kImageSize>(block), note);
}

TEST(CppWriterTest, SourceSaysTheBlockByteForByte) {
    std::vector<std::uint8_t> block = patternBlock();
    std::optional<std::vector<std::uint8_t>> bytes = test::generatedBytes(sourceFor(block));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, block);
}

TEST(CppWriterTest, SourceDefinesTheEmbeddedImageAndChecksItsSize) {
    std::string source = sourceFor(patternBlock());
    EXPECT_NE(source.find("#include \"image/firmware_image.h\""), std::string::npos);
    EXPECT_NE(source.find("namespace qelisp {"), std::string::npos);
    EXPECT_NE(source.find("const FirmwareImage& embeddedImage() {"), std::string::npos);
    EXPECT_NE(source.find("static_assert(sizeof kEmbeddedBlock == kImageSize);"), std::string::npos);
}

TEST(CppWriterTest, OneLinePerRecordSlotKeepsLinesShort) {
    std::string source = sourceFor(patternBlock());
    std::size_t lines = 0;
    std::size_t longest = 0;
    for (std::size_t start = 0; start < source.size();) {
        std::size_t end = source.find('\n', start);
        longest = std::max(longest, end - start);
        ++lines;
        start = end + 1;
    }
    EXPECT_GT(lines, kRecordSlots + 3);
    EXPECT_EQ(longest, kRecordSize * 5);  // "0xHH," per byte of a record
}

TEST(CppWriterTest, NoteCannotBreakOutOfItsComment) {
    std::string source = sourceFor(patternBlock(), "evil\nint x = 1; \\");
    EXPECT_NE(source.find("// evil?int x = 1; ?\n"), std::string::npos);
    EXPECT_EQ(source.find("\nint x"), std::string::npos);
}

TEST(CppWriterTest, SameBlockGivesTheSameSource) {
    std::vector<std::uint8_t> block = patternBlock();
    EXPECT_EQ(sourceFor(block), sourceFor(block));
}

}  // namespace
}  // namespace qelisp
