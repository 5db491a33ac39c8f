// Reading Intel HEX: where each byte lands, and every input the tool refuses,
// with the line it names.
#include <gtest/gtest.h>

#include <string>

#include "hex_text.h"
#include "image/mkimage/intel_hex_reader.h"

namespace qelisp {
namespace {

using test::HexText;

// Reads `text`, expecting it refused; returns the error for inspection.
InputError refusal(const std::string& text) {
    try {
        readIntelHex(text);
    } catch (const InputError& error) {
        return error;
    }
    ADD_FAILURE() << "accepted:\n" << text;
    return InputError(InputError::kWholeFile, "");
}

void expectRefused(const std::string& text, std::size_t line, const std::string& reasonPart) {
    InputError error = refusal(text);
    EXPECT_EQ(error.line(), line) << error.what();
    EXPECT_NE(std::string(error.what()).find(reasonPart), std::string::npos) << error.what();
}

TEST(IntelHexReaderTest, PlacesDataAtItsAddress) {
    HexText hex;
    hex.data(0x3000, {0x11, 0x22, 0x33}).data(0x0010, {0x44}).end();
    DeviceMemory memory = readIntelHex(hex.str());

    EXPECT_EQ(memory.at(0x3000), 0x11);
    EXPECT_EQ(memory.at(0x3002), 0x33);
    EXPECT_EQ(memory.at(0x0010), 0x44);
    EXPECT_TRUE(memory.isGiven(0x3002));
    EXPECT_FALSE(memory.isGiven(0x3003));
    EXPECT_FALSE(memory.isGiven(0x2FFF));
    EXPECT_EQ(memory.at(0x3003), 0xFF);  // not given: erased flash
}

TEST(IntelHexReaderTest, GivenByteOfValueFFCountsAsData) {
    HexText hex;
    hex.data(0x0000, {0xFF}).end();
    DeviceMemory memory = readIntelHex(hex.str());
    EXPECT_TRUE(memory.isGiven(0));
    EXPECT_EQ(memory.blocksWithData(), std::vector<std::uint32_t>{0});
}

TEST(IntelHexReaderTest, ExtendedLinearAddressSetsTheUpperBits) {
    HexText hex;
    hex.linear(0x0007).data(0x2080, {0xAB}).linear(0x000F).data(0xFFFF, {0xCD}).end();
    DeviceMemory memory = readIntelHex(hex.str());
    EXPECT_EQ(memory.at(0x72080), 0xAB);
    EXPECT_EQ(memory.at(0xFFFFF), 0xCD);
    EXPECT_FALSE(memory.isGiven(0x2080));
}

TEST(IntelHexReaderTest, ExtendedSegmentAddressIsSixteenTimesTheSegment) {
    HexText hex;
    hex.segment(0x1234).data(0x0005, {0x5A}).segment(0xF000).data(0xFFFE, {0x01, 0x02}).end();
    DeviceMemory memory = readIntelHex(hex.str());
    EXPECT_EQ(memory.at(0x12345), 0x5A);
    EXPECT_EQ(memory.at(0xFFFFE), 0x01);
    EXPECT_EQ(memory.at(0xFFFFF), 0x02);
}

TEST(IntelHexReaderTest, LastExtendedAddressRecordWins) {
    HexText hex;
    hex.segment(0x1000).linear(0x0002).data(0x0000, {0x01}).linear(0x0000).data(0x0001, {0x02}).end();
    DeviceMemory memory = readIntelHex(hex.str());
    EXPECT_EQ(memory.at(0x20000), 0x01);
    EXPECT_EQ(memory.at(0x00001), 0x02);
    EXPECT_FALSE(memory.isGiven(0x10000));
}

TEST(IntelHexReaderTest, AcceptsCrLfLowerCaseAndBlankLines) {
    std::string text = ":0230000011aa13\r\n\r\n:00000001ff\r\n\r\n";
    DeviceMemory memory = readIntelHex(text);
    EXPECT_EQ(memory.at(0x3000), 0x11);
    EXPECT_EQ(memory.at(0x3001), 0xAA);
}

TEST(IntelHexReaderTest, AcceptsAFileWithoutFinalNewline) {
    DeviceMemory memory = readIntelHex(":01300000428D\n:00000001FF");
    EXPECT_EQ(memory.at(0x3000), 0x42);
}

TEST(IntelHexReaderTest, AdjacentRecordsDoNotOverlap) {
    HexText hex;
    hex.data(0x3000, {1, 2}).data(0x3002, {3}).data(0x2FFF, {0}).end();
    DeviceMemory memory = readIntelHex(hex.str());
    EXPECT_EQ(memory.at(0x2FFF), 0);
    EXPECT_EQ(memory.at(0x3002), 3);
}

TEST(IntelHexReaderRefusesTest, BadChecksumNamingTheLine) {
    HexText hex;
    hex.data(0x3000, {0x01}).raw(":0130010002CB").end();  // the right checksum is CC
    expectRefused(hex.str(), 2, "bad checksum: the line has 0xCB, its bytes need 0xCC");
}

TEST(IntelHexReaderRefusesTest, UnknownRecordTypes) {
    for (std::uint8_t type : {0x03, 0x05, 0x06, 0xFF}) {
        HexText hex;
        hex.data(0x3000, {0x01}).data(0x3001, {0x02}).raw(test::hexRecord(type, 0, std::vector<std::uint8_t>(4)));
        hex.end();
        char expected[40];
        std::snprintf(expected, sizeof expected, "unsupported record type %02X", type);
        expectRefused(hex.str(), 3, expected);
    }
}

TEST(IntelHexReaderRefusesTest, MalformedLines) {
    const char* bad[] = {
        "0130000042",        // no colon
        ":013000004",        // odd number of digits
        ":01300000G28D",     // not a digit
        ":02300000428D",  // count says 2, one byte given
        ":0000",             // too short
        ":0130000042 8D",    // space inside
    };
    for (const char* line : bad) {
        HexText hex;
        hex.raw(line).end();
        expectRefused(hex.str(), 1, "malformed line");
    }
}

TEST(IntelHexReaderRefusesTest, ExtendedAddressRecordOfWrongLength) {
    HexText hex;
    hex.data(0x3000, {1}).raw(test::hexRecord(0x04, 0, std::vector<std::uint8_t>{0, 0, 1})).end();
    expectRefused(hex.str(), 2, "extended address record carries 2 data bytes");
}

TEST(IntelHexReaderRefusesTest, EndOfFileRecordWithData) {
    HexText hex;
    hex.data(0x3000, {1}).raw(test::hexRecord(0x01, 0, std::vector<std::uint8_t>{0}));
    expectRefused(hex.str(), 2, "end-of-file record carries data");
}

TEST(IntelHexReaderRefusesTest, DataBeyondTheMegabyte) {
    HexText linear;
    linear.data(0x3000, {1}).linear(0x0010).data(0x0000, {2}).end();
    expectRefused(linear.str(), 3,
                  "data at 0x100000 reaches beyond the 1 MB device address space (0x00000-0xFFFFF)");

    HexText segment;  // 0xFFFF0 + 0x0010 is just past the end
    segment.segment(0xFFFF).data(0x0010, {2}).end();
    expectRefused(segment.str(), 2, "beyond the 1 MB");

    HexText straddling;  // starts inside, ends outside
    straddling.segment(0xF001).data(0xFFE0, std::vector<std::uint8_t>(32, 0)).end();
    expectRefused(straddling.str(), 2, "data at 0xFFFF0-0x10000F reaches beyond");

    HexText highLinear;
    highLinear.linear(0xFFFF).data(0xFFFF, {1}).end();
    expectRefused(highLinear.str(), 2, "beyond the 1 MB");
}

TEST(IntelHexReaderRefusesTest, DataRunningPastItsSixtyFourKilobyteWindow) {
    HexText hex;
    hex.linear(0x0001).data(0xFFFF, {1, 2}).end();
    expectRefused(hex.str(), 2, "runs past the end of its 64 KB address window");
}

TEST(IntelHexReaderRefusesTest, OverlapNamesTheSecondWriteAndTheFirst) {
    HexText hex;
    hex.data(0x3000, {1, 2, 3, 4}).data(0x4000, {5}).data(0x3003, {9, 9}).end();
    expectRefused(hex.str(), 3, "data at 0x03003 overlaps data given on line 1");
}

TEST(IntelHexReaderRefusesTest, OverlapThroughDifferentAddressForms) {
    HexText hex;  // segment 0x0300 and linear 0 both reach 0x03000
    hex.data(0x3000, {1}).segment(0x0300).data(0x0000, {2}).end();
    expectRefused(hex.str(), 3, "overlaps data given on line 1");
}

TEST(IntelHexReaderRefusesTest, MissingEndOfFileRecord) {
    HexText hex;
    hex.data(0x3000, {1});
    expectRefused(hex.str(), InputError::kWholeFile, "no end-of-file record");
    expectRefused("", InputError::kWholeFile, "no end-of-file record");
}

TEST(IntelHexReaderRefusesTest, RecordAfterTheEndOfFile) {
    HexText hex;
    hex.data(0x3000, {1}).end().data(0x3001, {2});
    expectRefused(hex.str(), 3, "record after the end-of-file record");
}

}  // namespace
}  // namespace qelisp
