// The generated source must say the block byte for byte, and the same block
// must always give the same source, so a rebuild changes nothing.
#include <gtest/gtest.h>

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

TEST(CppWriterTest, SourceSaysTheBlockByteForByteAndTheSameEachTime) {
    const std::vector<std::uint8_t> block = patternBlock();
    const std::string source = sourceFor(block);
    EXPECT_EQ(test::generatedBytes(source), block);
    EXPECT_EQ(sourceFor(block), source);
}

TEST(CppWriterTest, NoteCannotBreakOutOfItsComment) {
    std::string source = sourceFor(patternBlock(), "evil\nint x = 1; \\");
    EXPECT_NE(source.find("// evil?int x = 1; ?\n"), std::string::npos);
    EXPECT_EQ(source.find("\nint x"), std::string::npos);
}

}  // namespace
}  // namespace qelisp
