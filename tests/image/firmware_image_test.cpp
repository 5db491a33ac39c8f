// The image reader the update jobs rely on: where the start record is, how
// far a walk goes, and what the header fields read as.
#include <gtest/gtest.h>

#include <vector>

#include "image/firmware_image.h"
#include "synthetic_image.h"

namespace qelisp {
namespace {

using test::SyntheticImage;

std::vector<std::uint16_t> walkedBlocks(const FirmwareImage& image, std::size_t first) {
    std::vector<std::uint16_t> blocks;
    image.walk(first, [&](const ImageRecord& rec) {
        blocks.push_back(rec.blockNumber());
        return true;
    });
    return blocks;
}

TEST(ImageRecordTest, ReadsBlockNumberBigEndianAndDataInPlace) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x0000).record(1, 0x0E41, 0x40).record(2, kEndMarkerBlock);
    FirmwareImage image = synthetic.image();

    ImageRecord rec = image.record(1);
    EXPECT_EQ(rec.blockNumber(), 0x0E41);
    EXPECT_EQ(rec.address(), 0x72080u);
    EXPECT_FALSE(rec.isEndMarker());
    EXPECT_EQ(rec.data()[0], 0x40);
    EXPECT_EQ(rec.data()[127], static_cast<std::uint8_t>(0x40 + 127));
    // The record is a view of the block at offset 48 + slot * 130.
    EXPECT_EQ(rec.data().data(), image.bytes().data() + kTableOffset + kRecordSize + 2);
    EXPECT_TRUE(image.record(2).isEndMarker());
}

TEST(ImageRecordTest, AddressesReachTheWholeMegabyte) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x1FFF);
    EXPECT_EQ(synthetic.image().record(0).address(), 0xFFF80u);
}

TEST(FindStartRecordTest, UsesFirstRecordWhenItIsAlreadyTheStart) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x0060).record(1, 0x0061).record(2, kEndMarkerBlock);
    EXPECT_EQ(synthetic.image().findStartRecord(), 0u);
}

TEST(FindStartRecordTest, SkipsTheBlockZeroRecordAheadOfIt) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x0000).record(1, 0x0060).record(2, 0x0061).record(3, kEndMarkerBlock);
    EXPECT_EQ(synthetic.image().findStartRecord(), 1u);
}

TEST(FindStartRecordTest, FindsTheFirstOfTwoStartRecords) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x0060, 1).record(1, 0x0060, 2).record(2, kEndMarkerBlock);
    EXPECT_EQ(synthetic.image().findStartRecord(), 0u);
}

TEST(FindStartRecordTest, NoneWithoutAStartRecordEvenWithOtherRecords) {
    SyntheticImage synthetic;
    // 0x6000 is 0x0060 with its bytes swapped; 0x0061 and 0x0160 are near misses.
    synthetic.record(0, 0x0000).record(1, 0x005F).record(2, 0x0061).record(3, 0x6000).record(4, 0x0160);
    synthetic.record(5, kEndMarkerBlock);
    EXPECT_EQ(synthetic.image().findStartRecord(), std::nullopt);
}

TEST(FindStartRecordTest, HalfEndMarkerBlocksAreOrdinaryRecords) {
    SyntheticImage synthetic;
    synthetic.record(0, 0xFF00).record(1, 0x00FF).record(2, 0x0060).record(3, kEndMarkerBlock);
    EXPECT_EQ(synthetic.image().findStartRecord(), 2u);
}

TEST(FindStartRecordTest, StopsAtTheEndMarker) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x0000).record(1, kEndMarkerBlock).record(2, 0x0060);
    EXPECT_EQ(synthetic.image().findStartRecord(), std::nullopt);
}

TEST(FindStartRecordTest, EmptyTableHasNone) {
    SyntheticImage synthetic;  // slot 0 is already all 0xFF: the end marker
    EXPECT_EQ(synthetic.image().findStartRecord(), std::nullopt);
}

TEST(FindStartRecordTest, SearchesEverySlotOfATableWithoutEndMarker) {
    SyntheticImage synthetic;
    for (std::size_t slot = 0; slot < kRecordSlots; ++slot) synthetic.record(slot, 0x0100);
    EXPECT_EQ(synthetic.image().findStartRecord(), std::nullopt);

    synthetic.record(kRecordSlots - 1, 0x0060);
    EXPECT_EQ(synthetic.image().findStartRecord(), kRecordSlots - 1);
}

TEST(WalkTest, VisitsRecordsInTableOrderUpToTheEndMarker) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x0000).record(1, 0x0060).record(2, 0x0062).record(3, 0x0061);
    synthetic.record(4, kEndMarkerBlock).record(5, 0x0063);
    FirmwareImage image = synthetic.image();

    // Order is the table's; block numbers need not ascend.
    EXPECT_EQ(walkedBlocks(image, 1), (std::vector<std::uint16_t>{0x0060, 0x0062, 0x0061}));
    EXPECT_EQ(walkedBlocks(image, 0).size(), 4u);
    EXPECT_TRUE(walkedBlocks(image, 4).empty());
}

TEST(WalkTest, WalksOverHalfEndMarkerBlocks) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x0060).record(1, 0xFF00).record(2, 0x00FF).record(3, 0xFFFE).record(4, kEndMarkerBlock);
    EXPECT_EQ(walkedBlocks(synthetic.image(), 0), (std::vector<std::uint16_t>{0x0060, 0xFF00, 0x00FF, 0xFFFE}));
}

TEST(WalkTest, EndMarkerIsJudgedByBlockNumberOnly) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x0060).record(1, kEndMarkerBlock, 0x00).record(2, 0x0061);  // data not 0xFF
    EXPECT_EQ(walkedBlocks(synthetic.image(), 0), (std::vector<std::uint16_t>{0x0060}));
}

TEST(WalkTest, NeverPassesTheLastSlot) {
    SyntheticImage synthetic;
    for (std::size_t slot = 0; slot < kRecordSlots; ++slot) {
        synthetic.record(slot, static_cast<std::uint16_t>(slot), static_cast<std::uint8_t>(slot));
    }
    FirmwareImage image = synthetic.image();

    std::vector<std::uint16_t> all = walkedBlocks(image, 0);
    ASSERT_EQ(all.size(), kRecordSlots);
    EXPECT_EQ(all.back(), kRecordSlots - 1);
    EXPECT_EQ(walkedBlocks(image, kRecordSlots - 2).size(), 2u);
    EXPECT_TRUE(walkedBlocks(image, kRecordSlots).empty());
}

TEST(WalkTest, VisitorCanStopEarly) {
    SyntheticImage synthetic;
    synthetic.record(0, 0x0060).record(1, 0x0061).record(2, 0x0062).record(3, kEndMarkerBlock);
    FirmwareImage image = synthetic.image();

    int visits = 0;
    EXPECT_FALSE(image.walk(0, [&](const ImageRecord& rec) {
        ++visits;
        return rec.blockNumber() != 0x0061;
    }));
    EXPECT_EQ(visits, 2);
    EXPECT_TRUE(image.walk(0, [](const ImageRecord&) { return true; }));
}

TEST(HeaderTextTest, ModelAndVersionKeepTheirTrailingSpaces) {
    SyntheticImage synthetic;
    FirmwareImage image = synthetic.image();
    EXPECT_EQ(image.model(), "QX-TEST        ");
    EXPECT_EQ(image.version(), "2001.02.03     ");
}

TEST(HeaderTextTest, FieldsAreFifteenCharactersWithoutTheNul) {
    SyntheticImage synthetic;
    synthetic.text(kModelOffset, "ABCDEFGHIJKLMNO", kTextLength).text(kVersionOffset, "", kTextLength);
    FirmwareImage image = synthetic.image();
    EXPECT_EQ(image.model(), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(image.version(), std::string(15, ' '));
}

}  // namespace
}  // namespace qelisp
