// The image this build carries. With the default firmware it must be the
// development firmware of firmware/, exactly; a build configured with a
// maker's firmware skips the comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/firmware_image.h"
#include "image/mkimage/image_builder.h"
#include "image/mkimage/intel_hex_reader.h"
#include "tests/support/temp_dir.h"

namespace qelisp {
namespace {

const std::filesystem::path kFirmwareDir = std::filesystem::path(QELISP_SOURCE_DIR) / "firmware";

std::string firstLine(const std::filesystem::path& path) {
    std::string text = test::readFile(path);
    return text.substr(0, text.find_first_of("\r\n"));
}

TEST(EmbeddedImageTest, MatchesTheDevelopmentHexFileByteForByte) {
    const FirmwareImage& image = embeddedImage();
    const std::string model = firstLine(kFirmwareDir / "devel.model");
    ASSERT_FALSE(model.empty());
    if (image.model() != model + std::string(kTextLength - model.size(), ' ')) {
        GTEST_SKIP() << "this build embeds model '" << image.model() << "', not the development firmware";
    }
    DeviceMemory memory = readIntelHex(test::readFile(kFirmwareDir / "devel.hex"));
    std::vector<std::uint32_t> expected = memory.blocksWithData();

    // Record by record, read as the jobs read it...
    std::size_t slot = 0;
    image.walk(0, [&](const ImageRecord& rec) {
        EXPECT_LT(slot, expected.size());
        if (slot >= expected.size()) return false;
        EXPECT_EQ(rec.blockNumber(), expected[slot]);
        auto data = rec.data();
        auto want = memory.block(rec.blockNumber());
        EXPECT_TRUE(std::equal(data.begin(), data.end(), want.begin())) << "record in slot " << slot;
        ++slot;
        return true;
    });
    EXPECT_EQ(slot, expected.size());
    EXPECT_EQ(image.findStartRecord(), 1u);

    // ...and as a whole, header and 0xFF fill included.
    std::vector<std::uint8_t> built =
        buildImage(memory, {kDefaultMarker, model, firstLine(kFirmwareDir / "devel.version")});
    auto bytes = image.bytes();
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), built.begin()));
}

TEST(DevelopmentFirmwareTest, EveryByteOfItsRegionsIsGiven) {
    // Block 0x0000, then 0x0060 to 0x0E41 without a gap.
    DeviceMemory memory = readIntelHex(test::readFile(kFirmwareDir / "devel.hex"));
    std::size_t missing = 0;
    for (std::uint32_t address = 0; address < kDeviceSpan; ++address) {
        bool inRegion = address < 0x80 || (address >= 0x3000 && address <= 0x720FF);
        if (memory.isGiven(address) != inRegion) ++missing;
    }
    EXPECT_EQ(missing, 0u);
}

}  // namespace
}  // namespace qelisp
