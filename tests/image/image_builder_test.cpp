// Building the image block from HEX text: the block must hold exactly the
// firmware's data, laid out record by record, and nothing else.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "hex_text.h"
#include "image/firmware_image.h"
#include "image/mkimage/image_builder.h"
#include "image/mkimage/intel_hex_reader.h"

namespace qelisp {
namespace {

using test::HexText;

// The firmware as the test means it: device address -> byte, kept beside
// the HEX text that says the same thing.
struct Firmware {
    HexText hex;
    std::map<std::uint32_t, std::uint8_t> bytes;
    std::uint32_t base = 0;

    Firmware& linear(std::uint16_t upper) {
        hex.linear(upper);
        base = std::uint32_t{upper} << 16;
        return *this;
    }
    Firmware& segment(std::uint16_t segment) {
        hex.segment(segment);
        base = std::uint32_t{segment} << 4;
        return *this;
    }
    Firmware& data(std::uint16_t offset, std::size_t count, std::uint8_t seed) {
        std::vector<std::uint8_t> run;
        for (std::size_t i = 0; i < count; ++i) {
            auto value = static_cast<std::uint8_t>(seed + i * 7);
            run.push_back(value);
            bytes[base + offset + static_cast<std::uint32_t>(i)] = value;
        }
        hex.data(offset, run);
        return *this;
    }
};

std::vector<std::uint8_t> build(const HexText& hex, ImageTexts texts = {kDefaultMarker, "QX-1", "2010.06.29"}) {
    std::vector<std::uint8_t> block = buildImage(readIntelHex(hex.str()), texts);
    EXPECT_EQ(block.size(), kImageSize);
    block.resize(kImageSize, 0);
    return block;
}

FirmwareImage view(const std::vector<std::uint8_t>& block) {
    return FirmwareImage(std::span<const std::uint8_t, kImageSize>(block));
}

// Checks `block` against `firmware` record by record and returns the slot of
// the end marker.
std::size_t expectHoldsExactly(const std::vector<std::uint8_t>& block, const Firmware& firmware) {
    std::vector<std::uint32_t> expectedBlocks;
    for (const auto& [address, value] : firmware.bytes) {
        if (expectedBlocks.empty() || expectedBlocks.back() != address >> 7) expectedBlocks.push_back(address >> 7);
    }
    FirmwareImage image = view(block);
    std::size_t slot = 0;
    for (; slot < expectedBlocks.size(); ++slot) {
        ImageRecord rec = image.record(slot);
        EXPECT_EQ(rec.blockNumber(), expectedBlocks[slot]) << "slot " << slot;
        for (std::uint32_t i = 0; i < kRecordDataSize; ++i) {
            auto given = firmware.bytes.find(rec.address() + i);
            std::uint8_t expected = given == firmware.bytes.end() ? 0xFF : given->second;
            EXPECT_EQ(rec.data()[i], expected) << "address " << std::hex << rec.address() + i;
        }
    }
    EXPECT_TRUE(image.record(slot).isEndMarker());
    for (std::size_t at = kTableOffset + slot * kRecordSize; at < kImageSize; ++at) {
        if (block[at] != 0xFF) {
            ADD_FAILURE() << "byte " << at << " after the end marker is not 0xFF";
            break;
        }
    }
    return slot;
}

TEST(ImageBuilderTest, HeaderHoldsMarkerAndTextsPaddedToFifteenThenNul) {
    HexText hex;
    hex.data(0x3000, {0}).end();
    std::vector<std::uint8_t> block = build(hex, {kDefaultMarker, "QX-7", "2010.06.29"});
    EXPECT_EQ(std::string(block.begin(), block.begin() + 48), std::string("QelIsp image v1 QX-7           \0"
                                                                          "2010.06.29     \0",
                                                                          48));
    block = build(hex, {"0123456789abcdef", "MODEL-123456789", "VERSION-1234567"});
    EXPECT_EQ(std::string(block.begin(), block.begin() + 48),
              std::string("0123456789abcdefMODEL-123456789\0VERSION-1234567\0", 48));
}

TEST(ImageBuilderTest, ScatteredPartialBlocksRoundTripInAscendingOrder) {
    Firmware firmware;
    // Written out of order, partly filling blocks, across both address forms.
    firmware.linear(0x000F).data(0xFF80, 128, 0x01);  // last block, 0x1FFF
    firmware.linear(0x0000).data(0x3000, 16, 0x02);   // block 0x0060, start only
    firmware.data(0x307F, 2, 0x03);                   // end of 0x0060, start of 0x0061
    firmware.data(0x3100, 1, 0xFF);                   // 0x0062: its one given byte reads as erased
    firmware.segment(0x0400).data(0x0001, 1, 0x04);   // 0x04001: block 0x0080
    firmware.data(0x0000, 0, 0x00);                   // empty data record
    firmware.segment(0x7000).data(0xFFF0, 16, 0xFF);  // 0x7FFF0: block 0x0FFF
    firmware.linear(0x0000).data(0x0005, 3, 0x05);    // block 0x0000
    firmware.hex.end();
    std::vector<std::uint8_t> block = build(firmware.hex);

    EXPECT_EQ(expectHoldsExactly(block, firmware), 7u);
    FirmwareImage image = view(block);
    std::vector<std::uint16_t> order;
    image.walk(0, [&](const ImageRecord& rec) {
        order.push_back(rec.blockNumber());
        return true;
    });
    EXPECT_EQ(order, (std::vector<std::uint16_t>{0x0000, 0x0060, 0x0061, 0x0062, 0x0080, 0x0FFF, 0x1FFF}));
    EXPECT_EQ(image.findStartRecord(), 1u);
}

TEST(ImageBuilderTest, EightThousandOneHundredNinetyOneBlocksFitButNotOneMore) {
    auto firstBlocks = [](std::uint32_t count) {
        Firmware firmware;
        for (std::uint32_t b = 0; b < count; ++b) {
            std::uint32_t address = b << 7;
            if (address >> 16 != firmware.base >> 16) firmware.linear(static_cast<std::uint16_t>(address >> 16));
            firmware.data(static_cast<std::uint16_t>(address), 1, static_cast<std::uint8_t>(b));
        }
        firmware.hex.end();
        return firmware;
    };
    Firmware fits = firstBlocks(kMaxRecords);
    std::vector<std::uint8_t> block = build(fits.hex);
    EXPECT_EQ(expectHoldsExactly(block, fits), kMaxRecords);
    EXPECT_TRUE(view(block).record(kRecordSlots - 1).isEndMarker());

    try {
        build(firstBlocks(kRecordSlots).hex);
        FAIL() << "8,192 blocks accepted";
    } catch (const InputError& error) {
        EXPECT_EQ(error.line(), InputError::kWholeFile);
        EXPECT_STREQ(error.what(), "data in 8192 blocks of 128 bytes; the image has room for 8191 and the end marker");
    }
}

TEST(ImageBuilderRefusesTest, NoDataAtTheStartAddress) {
    for (std::uint16_t offset : {0x2FFF, 0x3001, 0x307F}) {  // near, even in the same block
        HexText hex;
        hex.data(0x0000, {1, 2, 3}).data(offset, {0x55}).end();
        try {
            build(hex);
            ADD_FAILURE() << "accepted without data at 0x3000, offset " << offset;
        } catch (const InputError& error) {
            EXPECT_EQ(error.line(), InputError::kWholeFile);
            EXPECT_STREQ(error.what(), "no data at device address 0x03000, where the program starts writing");
        }
    }
}

TEST(ImageBuilderRefusesTest, TextsThatDoNotFitTheirFields) {
    HexText hex;
    hex.data(0x3000, {1}).end();
    DeviceMemory memory = readIntelHex(hex.str());
    EXPECT_THROW(buildImage(memory, {kDefaultMarker, "MODEL-1234567890", "v"}), std::invalid_argument);
    EXPECT_THROW(buildImage(memory, {kDefaultMarker, "m", "VERSION-12345678"}), std::invalid_argument);
    EXPECT_THROW(buildImage(memory, {"short marker", "m", "v"}), std::invalid_argument);
}

}  // namespace
}  // namespace qelisp
