#include "protocol/command_record.h"
#include "protocol/hex_line.h"
#include "tests/support/fake_link.h"

#include <gtest/gtest.h>

#include <string>

namespace qelisp {
namespace {

TEST(CommandRecord, DataRecordIsOneLineOf269BytesWithUpperCaseDigits) {
    CommandRecord data;
    data.count = 0x80;
    data.addressHigh = 0x23;  // device address 0x12380
    data.addressLow = 0x80;
    data.type = kTypeData;
    for (std::size_t i = 0; i < kMaxRecordData; ++i) data.data[i] = static_cast<std::uint8_t>(0xA0 + i);

    test::VirtualClock clock;
    test::FakeLink link(clock);
    JobState state;
    Session session{&link, state, clock};
    ASSERT_EQ(SendRecord(session, data, 128), 0);
    ASSERT_EQ(link.writes.size(), 1u);
    const std::string& line = link.writes[0];
    EXPECT_EQ(line.size(), 2u * 128 + 13);
    EXPECT_EQ(line.substr(0, 9), ":80238000");
    EXPECT_EQ(line.substr(9, 4), "A0A1");
    EXPECT_EQ(line.find_first_of("abcdef"), std::string::npos);

    auto parsed = parseHexLine(line);
    ASSERT_TRUE(parsed.line);
    EXPECT_TRUE(parsed.line->checksumOk);
    EXPECT_EQ(parsed.line->address, 0x2380);
    EXPECT_EQ(parsed.line->data[127], static_cast<std::uint8_t>(0xA0 + 127));
}

TEST(CommandRecord, SendFailsWithoutPortOnShortWriteAndOnDeadPort) {
    test::VirtualClock clock;
    JobState state;
    Session none{nullptr, state, clock};
    EXPECT_NE(SendLine(none, kPageEndLine), 0);

    test::FakeLink link(clock);
    Session session{&link, state, clock};
    link.writeLimit = 5;
    EXPECT_NE(SendLine(session, kPageEndLine), 0);
    link.writeLimit = -1;
    EXPECT_EQ(SendLine(session, kPageEndLine), 0);
    EXPECT_EQ(link.writes.back(), kPageEndLine);
}

TEST(DecodeReadBack, DecodesEitherCaseAndAnyCharacterByTheSameRule) {
    std::array<std::uint8_t, 256> buffer{};
    buffer.fill('0');
    const std::string head = "0Aff9G:/";
    std::copy(head.begin(), head.end(), buffer.begin());
    buffer[254] = 'F';
    buffer[255] = 'E';
    DecodeReadBack(buffer);
    EXPECT_EQ(buffer[0], 0x0A);
    EXPECT_EQ(buffer[1], 0xFF);
    EXPECT_EQ(buffer[2], 0x90);  // 'G' - 0x37 = 0x10, low nibble 0
    // ':' is above '9' so takes 0x37 off: 0x03; '/' is 0x2F - 0x30 = 0xFF -> F.
    EXPECT_EQ(buffer[3], 0x3F);
    EXPECT_EQ(buffer[127], 0xFE);
}

}  // namespace
}  // namespace qelisp
