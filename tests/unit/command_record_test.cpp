#include "protocol/command_record.h"
#include "protocol/hex_line.h"
#include "tests/support/fake_link.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace qelisp {
namespace {

TEST(CommandRecord, DataRecordIsOneLineOf269BytesWithUpperCaseDigits) {
    CommandRecord data;
    data.count = 0x80;
    data.addressHigh = 0x23;  // device address 0x12380
    data.addressLow = 0x80;
    data.type = RecordType::Data;
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

TEST(DecodeReadBack, TakesEitherCaseAndStopsTrustingAtTheFirstNonDigit) {
    struct Case {
        std::size_t at;  // where `text` goes
        const char* text;
        std::size_t valid;  // bytes from two real digits, from the first
    };
    // Line noise that flips bit 4 or 5 turns digits into punctuation or
    // letters ('3' 0x33 -> '#' 0x23, 'A' 0x41 -> 'Q' 0x51); such a pair must
    // never decode into a byte that could pass for the expected one.
    const Case cases[] = {
        {0, "0Aff", 128}, {4, "9G", 2}, {6, "#3", 3}, {0, ":0", 0}, {254, "/E", 127}, {200, "Q1", 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::array<std::uint8_t, 256> buffer{};
        buffer.fill('0');
        std::copy_n(c.text, std::strlen(c.text), buffer.begin() + static_cast<long>(c.at));
        EXPECT_EQ(DecodeReadBack(buffer), c.valid);
        if (c.valid == 128) {
            EXPECT_EQ(buffer[0], 0x0A);
            EXPECT_EQ(buffer[1], 0xFF);
            EXPECT_EQ(buffer[127], 0x00);
        }
    }
}

}  // namespace
}  // namespace qelisp
