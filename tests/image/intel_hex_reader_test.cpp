// Reading Intel HEX: where each byte lands, and every input the tool refuses,
// with the line it names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hex_text.h"
#include "image/mkimage/intel_hex_reader.h"

namespace qelisp {
namespace {

using test::HexText;

TEST(IntelHexReaderTest, PlacesEachByteAtItsDeviceAddress) {
    HexText hex;
    hex.data(0x3000, {0x11, 0x22, 0x33}).data(0x0010, {0xFF});
    hex.linear(0x0007).data(0x2080, {0xAB}).linear(0x000F).data(0xFFF0, {0xCD});
    hex.segment(0x1234).data(0x0005, {0x5A}).segment(0xF000).data(0xFFFE, {0x01, 0x02});  // segment * 16
    hex.segment(0x1000).linear(0x0002).data(0x0000, {0x07});                              // the last one wins
    hex.linear(0x0000).data(0x3003, {0x44}).data(0x2FFF, {0x00});  // adjacent records do not overlap
    hex.end();
    DeviceMemory memory = readIntelHex(hex.str());

    const std::pair<std::uint32_t, int> given[] = {
        {0x3000, 0x11},  {0x3002, 0x33},  {0x3003, 0x44},  {0x2FFF, 0x00},  {0x0010, 0xFF},  {0x72080, 0xAB},
        {0xFFFF0, 0xCD}, {0x12345, 0x5A}, {0xFFFFE, 0x01}, {0xFFFFF, 0x02}, {0x20000, 0x07},
    };
    for (auto [address, value] : given) {
        EXPECT_TRUE(memory.isGiven(address)) << std::hex << address;
        EXPECT_EQ(memory.at(address), value) << std::hex << address;
    }
    for (std::uint32_t address : {0x3004u, 0x2080u, 0x10000u}) {
        EXPECT_FALSE(memory.isGiven(address)) << std::hex << address;
        EXPECT_EQ(memory.at(address), 0xFF) << "not given: erased flash";
    }
    EXPECT_EQ(memory.blocksWithData().front(), 0u) << "a given byte of value 0xFF is data";
}

TEST(IntelHexReaderTest, IgnoresStartAddressRecords) {
    // Toolchains write where the CPU starts (03: CS:IP, 05: a 32-bit address),
    // before the data, between or just before the end; the flash is the same.
    const std::vector<std::uint8_t> start{0x00, 0x00, 0x30, 0x00};
    HexText hex;
    hex.raw(test::hexRecord(HexRecordType::StartSegment, 0, start)).data(0x3000, {0x11, 0x22});
    hex.raw(test::hexRecord(HexRecordType::StartLinear, 0, start)).linear(0x0007).data(0x2080, {0x33});
    hex.raw(test::hexRecord(HexRecordType::StartSegment, 0, start))
        .raw(test::hexRecord(HexRecordType::StartLinear, 0, start))
        .end();
    DeviceMemory memory = readIntelHex(hex.str());

    DeviceMemory plain =
        readIntelHex(HexText().data(0x3000, {0x11, 0x22}).linear(0x0007).data(0x2080, {0x33}).end().str());
    EXPECT_EQ(memory.blocksWithData(), plain.blocksWithData());
    for (std::uint32_t address : {0x0000u, 0x3000u, 0x3001u, 0x3002u, 0x6000u, 0x72080u}) {
        EXPECT_EQ(memory.isGiven(address), plain.isGiven(address)) << std::hex << address;
        EXPECT_EQ(memory.at(address), plain.at(address)) << std::hex << address;
    }
}

TEST(IntelHexReaderTest, AcceptsCrLfLowerCaseBlankLinesAndNoFinalNewline) {
    struct Case {
        std::string text;
        std::uint32_t address;
        std::uint8_t value;
    };
    // "aa" and "ff" read the same whether a letter counts from 'A' or 'a';
    // every other pair of lower-case digits tells them apart.
    const std::string lower = ":073000001b2c3d4e5fa6c929\n:00000001ff\n";
    const Case cases[] = {
        {":0230000011aa13\r\n\r\n:00000001ff\r\n\r\n", 0x3001, 0xAA},
        {":01300000428D\n:00000001FF", 0x3000, 0x42},
        {lower, 0x3000, 0x1B},
        {lower, 0x3002, 0x3D},
        {lower, 0x3004, 0x5F},
        {lower, 0x3005, 0xA6},
        {lower, 0x3006, 0xC9},
    };
    for (const Case& c : cases) EXPECT_EQ(readIntelHex(c.text).at(c.address), c.value) << c.text;
}

TEST(IntelHexReaderTest, RefusesBadInputNamingTheLine) {
    struct Case {
        std::string text;
        std::size_t line;
        std::string reason;  // part of the message
    };
    const std::vector<std::uint8_t> four(4);
    std::vector<Case> cases{
        {HexText().data(0x3000, {1}).raw(":0130010002CB").end().str(), 2,  // the right checksum is CC
         "bad checksum: the line has 0xCB, its bytes need 0xCC"},
        {HexText()
             .data(0x3000, {1})
             .raw(test::hexRecord(HexRecordType::ExtendedLinear, 0, std::vector<std::uint8_t>{0, 0, 1}))
             .end()
             .str(),
         2, "extended address record carries 2 data bytes"},
        {HexText()
             .data(0x3000, {1})
             .raw(test::hexRecord(HexRecordType::EndOfFile, 0, std::vector<std::uint8_t>{0}))
             .str(),
         2, "end-of-file record carries data"},
        {HexText().data(0x3000, {1}).linear(0x0010).data(0x0000, {2}).end().str(), 3,
         "data at 0x100000 reaches beyond the 1 MB device address space (0x00000-0xFFFFF)"},
        {HexText().segment(0xFFFF).data(0x0010, {2}).end().str(), 2, "beyond the 1 MB"},  // just past the end
        {HexText().segment(0xF001).data(0xFFE0, std::vector<std::uint8_t>(32, 0)).end().str(), 2,
         "data at 0xFFFF0-0x10000F reaches beyond"},  // starts inside, ends outside
        {HexText().linear(0xFFFF).data(0xFFFF, {1}).end().str(), 2, "beyond the 1 MB"},
        {HexText().linear(0x0001).data(0xFFFF, {1, 2}).end().str(), 2, "runs past the end of its 64 KB address window"},
        {HexText().data(0x3000, {1, 2, 3, 4}).data(0x4000, {5}).data(0x3003, {9, 9}).end().str(), 3,
         "data at 0x03003 overlaps data given on line 1"},
        // Segment 0x0300 and linear 0 both reach 0x03000.
        {HexText().data(0x3000, {1}).segment(0x0300).data(0x0000, {2}).end().str(), 3, "overlaps data given on line 1"},
        {HexText().data(0x3000, {1}).str(), InputError::kWholeFile, "no end-of-file record"},
        {"", InputError::kWholeFile, "no end-of-file record"},
        {HexText().data(0x3000, {1}).end().data(0x3001, {2}).str(), 3, "record after the end-of-file record"},
        {":01300000428D\r:00000001FF\r", 1, "malformed line: the file uses CR-only line ends; use LF or CR LF"},
        {HexText().data(0x3000, {1}).raw(":01300100C20C\r:00000001FF").str(), 2,
         "malformed line: a CR without LF inside the line; use LF or CR LF line ends"},
    };
    for (HexRecordType type : {HexRecordType::StartSegment, HexRecordType::StartLinear}) {
        for (std::size_t size : {0, 2, 5}) {
            cases.push_back(
                {HexText().data(0x3000, {1}).raw(test::hexRecord(type, 0, std::vector<std::uint8_t>(size))).end().str(),
                 2, "malformed line: a start address record carries 4 data bytes, this one " + std::to_string(size)});
        }
    }
    for (int type : {0x06, 0x80, 0xFF}) {
        char reason[40];
        std::snprintf(reason, sizeof reason, "unsupported record type %02X", type);
        cases.push_back({HexText()
                             .data(0x3000, {1})
                             .data(0x3001, {2})
                             .raw(test::hexRecord(static_cast<std::uint8_t>(type), 0, four))
                             .end()
                             .str(),
                         3, reason});
    }
    const char* malformed[] = {
        "0130000042",      // no colon
        ":013000004",      // odd number of digits
        ":01300000G28D",   // not a digit
        ":02300000428D",   // count says 2, one byte given
        ":0000",           // too short
        ":0130000042 8D",  // space inside
    };
    for (const char* line : malformed) cases.push_back({HexText().raw(line).end().str(), 1, "malformed line"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            readIntelHex(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const InputError& error) {
            EXPECT_EQ(error.line(), c.line) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace qelisp
