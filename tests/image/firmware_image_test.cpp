// The image reader the update jobs rely on: where the start record is, how
// far a walk goes, and what the header fields read as.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "image/firmware_image.h"
#include "tests/support/test_image.h"

namespace qelisp::test {
namespace {

using Blocks = std::vector<std::uint16_t>;

std::optional<std::size_t> startOf(const Blocks& blocks) {
    return OwnedImage(makeImageBlock(blocks)).image.findStartRecord();
}

Blocks walked(const FirmwareImage& image, std::size_t first) {
    Blocks blocks;
    image.walk(first, [&](const ImageRecord& rec) {
        blocks.push_back(rec.blockNumber());
        return true;
    });
    return blocks;
}

TEST(ImageRecordTest, ReadsTheBlockNumberBigEndianAndTheDataInPlace) {
    OwnedImage owned(makeImageBlock({0x0000, 0x0E41, 0x1FFF}));
    ImageRecord rec = owned.image.record(1);
    EXPECT_EQ(rec.blockNumber(), 0x0E41);
    EXPECT_EQ(rec.address(), 0x72080u);
    EXPECT_FALSE(rec.isEndMarker());
    auto want = blockData(0x0E41);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), rec.data().begin()));
    // A view of the block at offset 48 + slot * 130, not a copy.
    EXPECT_EQ(rec.data().data(), owned.image.bytes().data() + kTableOffset + kRecordSize + 2);
    EXPECT_EQ(owned.image.record(2).address(), 0xFFF80u) << "addresses reach the whole megabyte";
    EXPECT_TRUE(owned.image.record(3).isEndMarker());
}

TEST(FindStartRecordTest, FindsTheFirstRecordOfBlock0060BeforeTheEndMarker) {
    const std::pair<Blocks, std::optional<std::size_t>> cases[] = {
        {{0x0060, 0x0061}, 0},                  // the first record already
        {{0x0000, 0x0060, 0x0060, 0x0061}, 1},  // the first of two
        {{0xFF00, 0x00FF, 0x0060}, 2},          // half end markers are ordinary records
        // 0x6000 is 0x0060 with its bytes swapped; the others are near misses.
        {{0x0000, 0x005F, 0x0061, 0x6000, 0x0160}, std::nullopt},
        {{0x0000, kEndMarkerBlock, 0x0060}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& [blocks, start] : cases) EXPECT_EQ(startOf(blocks), start) << ::testing::PrintToString(blocks);
}

TEST(FindStartRecordTest, SearchesEverySlotOfATableWithoutEndMarkerAndNoFurther) {
    Blocks blocks(kRecordSlots, 0x0100);
    EXPECT_EQ(startOf(blocks), std::nullopt);
    blocks.back() = 0x0060;
    EXPECT_EQ(startOf(blocks), kRecordSlots - 1);
}

TEST(WalkTest, VisitsRecordsInTableOrderUpToTheEndMarker) {
    // Table order, not block order; the end marker is judged by block number
    // alone (its data here is not 0xFF), and half end markers are records.
    OwnedImage owned(makeImageBlock({0x0000, 0x0060, 0x0062, 0xFF00, 0x00FF, 0xFFFE, kEndMarkerBlock, 0x0063}));
    EXPECT_EQ(walked(owned.image, 1), (Blocks{0x0060, 0x0062, 0xFF00, 0x00FF, 0xFFFE}));
    EXPECT_EQ(walked(owned.image, 0).size(), 6u);
    EXPECT_TRUE(walked(owned.image, 6).empty());
}

TEST(WalkTest, NeverPassesTheLastSlot) {
    const Blocks all = blockRange(0, kRecordSlots - 1);
    OwnedImage owned(makeImageBlock(all));
    EXPECT_EQ(walked(owned.image, 0), all);
    EXPECT_EQ(walked(owned.image, kRecordSlots - 2).size(), 2u);
    EXPECT_TRUE(walked(owned.image, kRecordSlots).empty());
}

TEST(WalkTest, VisitorCanStopEarly) {
    OwnedImage owned(makeImageBlock({0x0060, 0x0061, 0x0062}));
    int visits = 0;
    EXPECT_FALSE(owned.image.walk(0, [&](const ImageRecord& rec) {
        ++visits;
        return rec.blockNumber() != 0x0061;
    }));
    EXPECT_EQ(visits, 2);
    EXPECT_TRUE(owned.image.walk(0, [](const ImageRecord&) { return true; }));
}

TEST(HeaderTextTest, FieldsAreFifteenCharactersWithTrailingSpacesKept) {
    OwnedImage texts(makeImageBlock({}, "QX-TEST", "2001.02.03"));
    EXPECT_EQ(texts.image.model(), "QX-TEST        ");
    EXPECT_EQ(texts.image.version(), "2001.02.03     ");
    OwnedImage full(makeImageBlock({}, "ABCDEFGHIJKLMNO", ""));
    EXPECT_EQ(full.image.model(), "ABCDEFGHIJKLMNO") << "the NUL after the field is not part of it";
    EXPECT_EQ(full.image.version(), std::string(15, ' '));
}

}  // namespace
}  // namespace qelisp::test
