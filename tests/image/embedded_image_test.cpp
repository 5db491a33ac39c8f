// The image this build carries. With the default firmware it must be the
// development firmware of firmware/, exactly; a build configured with a
// maker's firmware skips the comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/firmware_image.h"
#include "image/mkimage/image_builder.h"
#include "image/mkimage/intel_hex_reader.h"
#include "test_files.h"

namespace qelisp {
namespace {

const std::filesystem::path kFirmwareDir = std::filesystem::path(QELISP_SOURCE_DIR) / "firmware";

std::string firstLine(const std::filesystem::path& path) {
    std::string text = test::readFile(path);
    return text.substr(0, text.find_first_of("\r\n"));
}

class EmbeddedImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        model_ = firstLine(kFirmwareDir / "devel.model");
        version_ = firstLine(kFirmwareDir / "devel.version");
        ASSERT_FALSE(model_.empty());
        if (image_.model() != model_ + std::string(kTextLength - model_.size(), ' ')) {
            GTEST_SKIP() << "this build embeds model '" << image_.model() << "', not the development firmware";
        }
    }

    const FirmwareImage& image_ = embeddedImage();
    std::string model_;
    std::string version_;
};

TEST_F(EmbeddedImageTest, HasTheShippedShape) {
    std::vector<std::uint16_t> blocks;
    EXPECT_TRUE(image_.walk(0, [&](const ImageRecord& rec) {
        blocks.push_back(rec.blockNumber());
        return true;
    }));
    // Block 0x0000, then 0x0060 to 0x0E41 without a gap: 1 + 3,554 records.
    ASSERT_EQ(blocks.size(), 3555u);
    EXPECT_EQ(blocks[0], 0x0000);
    for (std::size_t slot = 1; slot < blocks.size(); ++slot) {
        ASSERT_EQ(blocks[slot], 0x0060 + slot - 1) << "slot " << slot;
    }
    EXPECT_EQ(image_.findStartRecord(), 1u);
    EXPECT_TRUE(image_.record(3555).isEndMarker());
}

TEST_F(EmbeddedImageTest, IsFFAfterTheLastRecord) {
    auto bytes = image_.bytes();
    std::size_t endMarker = kTableOffset + 3555 * kRecordSize;
    for (std::size_t at = endMarker; at < kImageSize; ++at) {
        ASSERT_EQ(bytes[at], 0xFF) << "byte " << at;
    }
}

TEST_F(EmbeddedImageTest, CarriesTheDevelopmentTexts) {
    EXPECT_EQ(image_.version(), version_ + std::string(kTextLength - version_.size(), ' '));
    EXPECT_EQ(image_.bytes()[kModelOffset + kTextLength], 0);
    EXPECT_EQ(image_.bytes()[kVersionOffset + kTextLength], 0);
}

TEST_F(EmbeddedImageTest, MatchesTheDevelopmentHexFileByteForByte) {
    DeviceMemory memory = readIntelHex(test::readFile(kFirmwareDir / "devel.hex"));
    std::vector<std::uint32_t> expected = memory.blocksWithData();

    std::size_t slot = 0;
    image_.walk(0, [&](const ImageRecord& rec) {
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

    // And as a whole, header and fill included.
    std::vector<std::uint8_t> built = buildImage(memory, {kDefaultMarker, model_, version_});
    auto bytes = image_.bytes();
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), built.begin()));
}

TEST(DevelopmentFirmwareTest, EveryByteOfItsRegionsIsGiven) {
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
