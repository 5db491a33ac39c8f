// The client's side of Telnet and the Com Port Control option, fed what a
// server sends, split at every byte: the data it carries, what the client
// answers, and whether the line is ready or why not.
#include "link/net/com_port_control.h"
#include "link/net/telnet_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qelisp {
namespace {

using Bytes = std::vector<std::uint8_t>;
using State = ComPortControl::State;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What ser2net 4.3.11 sends a client of a telnet(rfc2217) accepter.
const Bytes kGreeting{0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03, 0xFF, 0xFB, 0x01, 0xFF, 0xFE,
                      0x01, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x2C};
const Bytes kModemState{0xFF, 0xFA, 0x2C, 0x6B, 0x00, 0xFF, 0xF0};
const Bytes kLineState{0xFF, 0xFA, 0x2C, 0x6A, 0x60, 0xFF, 0xF0};
const Bytes kDoSga{0xFF, 0xFD, 0x03};
const Bytes kBinaryAgreed{0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00};
const Bytes kDoComPort{0xFF, 0xFD, 0x2C};
Bytes confirm(Bytes payload) { return Bytes{0xFF, 0xFA, 0x2C} + payload + Bytes{0xFF, 0xF0}; }
const Bytes kConfirmed = confirm({0x65, 0x00, 0x01, 0xC2, 0x00}) + confirm({0x66, 0x08}) + confirm({0x67, 0x01}) +
                         confirm({0x68, 0x01}) + confirm({0x69, 0x01});
// SET-BAUDRATE 115200, SET-DATASIZE 8, SET-PARITY NONE, SET-STOPSIZE 1, SET-CONTROL none.
const Bytes kSettings =
    Bytes{0xFF, 0xFA, 0x2C, 0x01, 0x00, 0x01, 0xC2, 0x00, 0xFF, 0xF0} +
    Bytes{0xFF, 0xFA, 0x2C, 0x02, 0x08, 0xFF, 0xF0} + Bytes{0xFF, 0xFA, 0x2C, 0x03, 0x01, 0xFF, 0xF0} +
    Bytes{0xFF, 0xFA, 0x2C, 0x04, 0x01, 0xFF, 0xF0} + Bytes{0xFF, 0xFA, 0x2C, 0x05, 0x01, 0xFF, 0xF0};

struct Heard {
    Bytes data;
    Bytes answers;  // after the opening requests
    State state;
    std::string reason;
};

// The server's bytes in the pieces given by `cuts` (positions), through one
// decoder into one negotiation.
Heard hear(const Bytes& stream, const std::vector<std::size_t>& cuts) {
    telnet::Decoder decoder;
    ComPortControl control;
    Bytes opening;
    control.start(opening);
    Heard heard;
    std::size_t from = 0;
    auto feed = [&](std::size_t to) {
        std::vector<telnet::Event> events;
        decoder.feed(std::span(stream).subspan(from, to - from), heard.data, events);
        for (const auto& event : events) control.take(event, heard.answers);
        from = to;
    };
    for (std::size_t cut : cuts) feed(cut);
    feed(stream.size());
    heard.state = control.state();
    heard.reason = control.reason();
    return heard;
}

TEST(Rfc2217Client, TakesTheServersBytesHoweverSplit) {
    struct Case {
        const char* what;
        Bytes stream;
        Bytes data;
        Bytes answers;
        State state;
        std::string reason;
    };
    const Case cases[] = {
        {"ser2net: greeting, notices, SGA again, confirmations",
         kGreeting + kModemState + kDoSga + kLineState + kConfirmed,
         {},
         Bytes{0xFF, 0xFE, 0x01} + kSettings,
         State::Ready,
         ""},
        {"data: 0xFF doubled, NOP and GA dropped",
         {'a', 0xFF, 0xFF, 'b', 0xFF, 0xF1, 'c', 0xFF, 0xF9, 0xFF, 0xFF},
         {'a', 0xFF, 'b', 'c', 0xFF},
         {},
         State::Negotiating,
         ""},
        {"options not wanted: declined once, however often asked",
         {0xFF, 0xFD, 0x18, 0xFF, 0xFB, 0x01, 'x', 0xFF, 0xFD, 0x18, 0xFF, 0xFB, 0x01, 0xFF, 0xFE, 0x18},
         {'x'},
         {0xFF, 0xFC, 0x18, 0xFF, 0xFE, 0x01},
         State::Negotiating,
         ""},
        {"a confirmation with 0xFF in its value",
         kBinaryAgreed + kDoComPort + confirm({0x65, 0x00, 0x01, 0xC2, 0xFF, 0xFF}),
         {},
         kSettings,
         State::Refused,
         "the server set 115455 baud, not 115200"},
        {"9600 baud",
         kBinaryAgreed + kDoComPort + confirm({0x65, 0x00, 0x00, 0x25, 0x80}),
         {},
         kSettings,
         State::Refused,
         "the server set 9600 baud, not 115200"},
        {"7 data bits",
         kDoComPort + confirm({0x66, 0x07}),
         {},
         kSettings,
         State::Refused,
         "the server set 7 data bits, not 8"},
        {"parity even",
         kDoComPort + confirm({0x67, 0x03}),
         {},
         kSettings,
         State::Refused,
         "the server set parity even, not none"},
        {"2 stop bits",
         kDoComPort + confirm({0x68, 0x02}),
         {},
         kSettings,
         State::Refused,
         "the server set 2 stop bits, not 1"},
        {"XON/XOFF before the rest",
         kDoComPort + confirm({0x69, 0x02}) + kConfirmed,
         {},
         kSettings,
         State::Refused,
         "the server set flow control XON/XOFF, not none"},
        {"DONT COM-PORT-OPTION",
         kBinaryAgreed + Bytes{0xFF, 0xFE, 0x2C},
         {},
         {},
         State::NotRfc2217,
         "refused the Com Port Control option"},
        {"WONT COM-PORT-OPTION",
         Bytes{0xFF, 0xFC, 0x2C},
         {},
         {},
         State::NotRfc2217,
         "refused the Com Port Control option"},
        {"DONT BINARY",
         kDoComPort + Bytes{0xFF, 0xFE, 0x00} + kConfirmed,
         {},
         kSettings,
         State::Refused,
         "refused binary transmission"},
        {"WONT BINARY after agreeing",
         kBinaryAgreed + Bytes{0xFF, 0xFC, 0x00},
         {},
         {0xFF, 0xFE, 0x00},
         State::Refused,
         "refused binary transmission"},
        {"an overlong subnegotiation dropped whole",
         Bytes{0xFF, 0xFA, 0x2C, 0x65} + Bytes(300, 0x25) + Bytes{0xFF, 0xF0, 'k'} + kGreeting + kConfirmed,
         {'k'},
         Bytes{0xFF, 0xFE, 0x01} + kSettings,
         State::Ready,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::vector<std::size_t>> splits{{}};
        std::vector<std::size_t> everyByte;
        for (std::size_t i = 1; i < c.stream.size(); ++i) {
            splits.push_back({i});
            everyByte.push_back(i);
        }
        splits.push_back(everyByte);
        for (const auto& cuts : splits) {
            const Heard heard = hear(c.stream, cuts);
            const std::string at = cuts.size() == 1 ? std::to_string(cuts[0]) : std::to_string(cuts.size()) + " cuts";
            EXPECT_EQ(heard.data, c.data) << "split at " << at;
            EXPECT_EQ(heard.answers, c.answers) << "split at " << at;
            EXPECT_EQ(heard.state, c.state) << "split at " << at;
            if (c.reason.empty()) {
                EXPECT_EQ(heard.reason, "");
            } else {
                EXPECT_NE(heard.reason.find(c.reason), std::string::npos) << heard.reason;
            }
        }
    }
}

// What the client sends: data with every 0xFF doubled (and back again), its
// opening requests, and the purge with the server's confirmation.
TEST(Rfc2217Client, SendsDataAndRequestsAsTheServerReadsThem) {
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i);
    Bytes encoded;
    telnet::encodeData(all, encoded);
    EXPECT_EQ(encoded.size(), 257u);
    EXPECT_EQ(Bytes(encoded.end() - 2, encoded.end()), (Bytes{0xFF, 0xFF}));
    telnet::Decoder decoder;
    Bytes decoded;
    std::vector<telnet::Event> events;
    decoder.feed(encoded, decoded, events);
    EXPECT_EQ(decoded, all);
    EXPECT_TRUE(events.empty());

    ComPortControl control;
    Bytes opening;
    control.start(opening);
    EXPECT_EQ(opening,
              (Bytes{0xFF, 0xFB, 0x2C, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03}));
    EXPECT_EQ(purgeRequest(), (Bytes{0xFF, 0xFA, 0x2C, 0x0C, 0x03, 0xFF, 0xF0}));
    decoder.feed(confirm({0x70, 0x03}) + confirm({0x70, 0x01}) + confirm({0x0C, 0x03}), decoded, events);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_TRUE(confirmsPurge(events[0]));
    EXPECT_FALSE(confirmsPurge(events[1])) << "the receive buffer only";
    EXPECT_FALSE(confirmsPurge(events[2])) << "the client's own request";
}

}  // namespace
}  // namespace qelisp
