// The network link against a scripted server on 127.0.0.1, a thread with a
// listening socket standing in for ser2net: what an open says when the
// server will not serve, and the every-byte rules across the network.
#include "link/net/com_port_control.h"
#include "link/net/telnet_codec.h"
#include "link/port.h"
#include "link/port_identity.h"
#include "tests/support/open_failure.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qelisp {
namespace {

using Bytes = std::vector<std::uint8_t>;
using NetClock = std::chrono::steady_clock;
using NetMs = std::chrono::milliseconds;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }
Bytes joined(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ser2net 4.3.11's greeting to a telnet(rfc2217) client, and its
// confirmations of 115200 8N1 without flow control.
const Bytes kSer2netGreeting{0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03, 0xFF, 0xFB, 0x01, 0xFF, 0xFE,
                             0x01, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x2C};
Bytes comPort(Bytes payload) { return joined(joined(Bytes{0xFF, 0xFA, 0x2C}, payload), Bytes{0xFF, 0xF0}); }
const Bytes kConfirmations =
    joined(joined(joined(comPort({0x65, 0x00, 0x01, 0xC2, 0x00}), comPort({0x66, 0x08})), comPort({0x67, 0x01})),
           joined(comPort({0x68, 0x01}), comPort({0x69, 0x01})));

// The server's end of one connection.
class Peer {
public:
    Peer(int fd, bool telnet) : fd_(fd), telnet_(telnet) {}

    void send(const Bytes& bytes) const { (void)::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Data as the client meant it (Telnet undone), `n` bytes or what came
    // within `limit`.
    Bytes data(std::size_t n, NetMs limit = NetMs(2000)) {
        const auto deadline = NetClock::now() + limit;
        while (data_.size() < n && receive(deadline)) {
        }
        const std::size_t take = std::min(n, data_.size());
        Bytes got(data_.begin(), data_.begin() + static_cast<long>(take));
        data_.erase(data_.begin(), data_.begin() + static_cast<long>(take));
        return got;
    }
    // Waits for a subnegotiation of the Com Port Control option with this
    // code; false when none came within `limit`.
    bool awaitComPort(std::uint8_t code, NetMs limit = NetMs(2000)) {
        const auto deadline = NetClock::now() + limit;
        for (;;) {
            for (std::size_t i = 0; i < events_.size(); ++i) {
                const telnet::Event& e = events_[i];
                if (e.kind == telnet::Event::Kind::Subnegotiation && !e.payload.empty() && e.payload[0] == code) {
                    events_.erase(events_.begin(), events_.begin() + static_cast<long>(i) + 1);
                    return true;
                }
            }
            if (!receive(deadline)) return false;
        }
    }
    // ser2net's side of the negotiation, with `confirmations` as its answer
    // to the line settings.
    bool negotiate(const Bytes& confirmations = kConfirmations) {
        send(kSer2netGreeting);
        for (std::uint8_t code = 1; code <= 5; ++code) {
            if (!awaitComPort(code)) return false;
        }
        send(confirmations);
        return true;
    }
    // Holds the connection until the client closes it or `limit` passes.
    void hold(NetMs limit) {
        const auto deadline = NetClock::now() + limit;
        while (receive(deadline)) {
        }
    }

private:
    bool receive(NetClock::time_point deadline) {
        const auto left = std::chrono::duration_cast<NetMs>(deadline - NetClock::now()).count();
        pollfd pfd{fd_, POLLIN, 0};
        if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) return false;
        std::array<std::uint8_t, 4096> buf{};
        const ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
        if (n <= 0) return false;
        const auto got = std::span(buf).first(static_cast<std::size_t>(n));
        if (telnet_) {
            decoder_.feed(got, data_, events_);
        } else {
            data_.insert(data_.end(), got.begin(), got.end());
        }
        return true;
    }

    int fd_;
    bool telnet_;
    telnet::Decoder decoder_;
    Bytes data_;
    std::vector<telnet::Event> events_;
};

// Listens on 127.0.0.1 at a port of the system's choosing and serves one
// client with `serve` in a thread of its own; an empty `serve` accepts
// nothing, and the port is then closed, refusing.
class FakeServer {
public:
    FakeServer(bool telnet, std::function<void(Peer&)> serve) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        if (!serve) {
            ::close(listener_);
            listener_ = -1;
            return;
        }
        ::listen(listener_, 4);
        thread_ = std::thread([this, telnet, serve = std::move(serve)] {
            pollfd pfd{listener_, POLLIN, 0};
            if (::poll(&pfd, 1, 5000) <= 0) return;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            Peer peer(fd, telnet);
            serve(peer);
            ::close(fd);
        });
    }
    ~FakeServer() {
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    std::string name(const char* scheme) const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_); }

private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

const Bytes kInUse = bytesOf("Port already in use\r\n");

TEST(NetworkLink, AServerThatWillNotServeSaysWhy) {
    struct Case {
        const char* what;
        const char* scheme;
        std::function<void(Peer&)> serve;
        OpenError error;
        std::string reason;
    };
    const Case cases[] = {
        {"nothing listens", "rfc2217", {}, OpenError::Refused, "connection refused: is the server running and is "},
        {"never negotiates", "rfc2217", [](Peer& p) { p.hold(NetMs(3500)); }, OpenError::NotRfc2217,
         "the server did not negotiate RFC 2217 within 3 s: a raw TCP port? name it tcp://"},
        {"9600 baud", "rfc2217",
         [](Peer& p) {
             p.negotiate(comPort({0x65, 0x00, 0x00, 0x25, 0x80}));
             p.hold(NetMs(1000));
         },
         OpenError::LineSettings, "the server set 9600 baud, not 115200"},
        {"XON/XOFF", "rfc2217",
         [](Peer& p) {
             p.negotiate(joined(comPort({0x69, 0x02}), kConfirmations));
             p.hold(NetMs(1000));
         },
         OpenError::LineSettings, "the server set flow control XON/XOFF, not none"},
        {"a second client of ser2net", "rfc2217", [](Peer& p) { p.send(joined(kSer2netGreeting, kInUse)); },
         OpenError::Busy, "port is in use by another client of the server"},
        {"a second client of a raw port", "tcp", [](Peer& p) { p.send(kInUse); }, OpenError::Busy,
         "port is in use by another client of the server"},
        {"a raw port that closes without a word", "tcp", [](Peer&) {}, OpenError::Other,
         "the server closed the connection"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool telnet = std::string_view(c.scheme) == "rfc2217";
        FakeServer server(telnet, c.serve);
        const std::string name = server.name(c.scheme);
        test::expectOpenFailure(name, c.error, c.reason);
    }
}

// An open link to a server that negotiated as ser2net does, or to a raw port.
struct Served {
    FakeServer server;
    OpenResult opened;
    Served(const char* scheme, std::function<void(Peer&)> script)
        : server(std::string_view(scheme) == "rfc2217",
                 [telnet = std::string_view(scheme) == "rfc2217", script = std::move(script)](Peer& p) {
                     if (!telnet || p.negotiate()) script(p);
                 }),
          opened(openPort(server.name(scheme), OpenMode::StartUp, LineTiming::Auto)) {}
};

std::span<const std::uint8_t> asBytes(const std::string& text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(NetworkLink, EveryByteAccountedForAcrossTheNetwork) {
    for (const char* scheme : {"rfc2217", "tcp"}) {
        SCOPED_TRACE(scheme);
        const std::string longLine(1000, '0');  // 87 ms on the server's wire
        Bytes everyValue(256);
        for (std::size_t i = 0; i < everyValue.size(); ++i) everyValue[i] = static_cast<std::uint8_t>(255 - i);
        const bool telnet = std::string_view(scheme) == "rfc2217";
        Served s(scheme, [&](Peer& p) {
            // A stray byte as the line begins to arrive, an answer once it
            // has all come and its wire time passed.
            p.data(1);
            p.send(bytesOf("!"));
            p.data(longLine.size() - 1);
            std::this_thread::sleep_for(NetMs(100));
            p.send(bytesOf("."));
            p.data(13);
            // Every byte value, both ways.
            EXPECT_EQ(p.data(everyValue.size()), everyValue) << "0xFF reaches the server's wire as one byte";
            Bytes back;
            if (telnet) {
                telnet::encodeData(everyValue, back);
            } else {
                back = everyValue;
            }
            p.send(back);
            p.hold(NetMs(2000));
        });
        ASSERT_TRUE(s.opened.link) << s.opened.message;
        SerialLink& link = *s.opened.link;
        EXPECT_TRUE(link.network());
        std::array<std::uint8_t, 256> buf{};
        EXPECT_EQ(link.readWaiting(buf), 0) << "the negotiation is no data";

        ASSERT_EQ(link.write(asBytes(longLine)), 1000);
        ASSERT_EQ(link.awaitSent(buf), 1) << "it came while the line went out";
        EXPECT_EQ(buf[0], '!');
        ASSERT_EQ(link.write(asBytes(":00000005FB\r\n")), 13);
        EXPECT_EQ(link.awaitSent(buf), 0) << "the answer to the long line, after its time: left for read";
        ASSERT_EQ(link.read(std::span(buf).first(1)), 1);
        EXPECT_EQ(buf[0], '.');

        ASSERT_EQ(link.write(everyValue), 256);
        int got = 0;
        for (int reads = 0; got < 256 && reads < 10; ++reads) {
            const int n = link.read(std::span(buf).subspan(static_cast<std::size_t>(got)));
            ASSERT_GE(n, 0);
            got += n;
        }
        EXPECT_EQ(Bytes(buf.begin(), buf.begin() + got), everyValue);
    }
}

// The server's data that came before its purge confirmation is older than
// the purge and goes; what comes after it is the instrument's answer.
TEST(NetworkLink, PurgeDropsWhatCameBeforeTheServersConfirmation) {
    Served s("rfc2217", [](Peer& p) {
        p.send(bytesOf("old"));
        if (!p.awaitComPort(0x0C)) return;
        p.send(joined(joined(bytesOf("older"), comPort({0x70, 0x03})), bytesOf("U")));
        p.hold(NetMs(2000));
    });
    ASSERT_TRUE(s.opened.link) << s.opened.message;
    std::this_thread::sleep_for(NetMs(50));
    EXPECT_EQ(s.opened.link->purge(), 0);
    std::array<std::uint8_t, 16> buf{};
    ASSERT_EQ(s.opened.link->read(buf), 1);
    EXPECT_EQ(buf[0], 'U');
}

// A server that sends the rest of a block only once the client acknowledged
// its first piece: pieces about 40 ms apart. A block that merely trickles
// in is not that.
TEST(NetworkLink, CountsAnswersHeldBackInPieces) {
    for (int gapMs : {40, 5}) {
        SCOPED_TRACE(gapMs);
        Served s("tcp", [gapMs](Peer& p) {
            p.data(4);
            p.send(Bytes(100, 'A'));
            std::this_thread::sleep_for(NetMs(gapMs));
            p.send(Bytes(156, 'B'));
            p.hold(NetMs(2000));
        });
        ASSERT_TRUE(s.opened.link) << s.opened.message;
        std::array<std::uint8_t, 256> buf{};
        ASSERT_EQ(s.opened.link->write(asBytes("read")), 4);
        EXPECT_EQ(s.opened.link->read(buf), 256);
        EXPECT_EQ(s.opened.link->heldBackAnswers(), gapMs == 40 ? 1u : 0u);
    }
}

// A connection that drops is a failed port at once, never a silent one.
TEST(NetworkLink, ADroppedConnectionFailsTheReadAtOnce) {
    for (const char* scheme : {"rfc2217", "tcp"}) {
        SCOPED_TRACE(scheme);
        Served s(scheme, [](Peer& p) {
            p.data(1);
            std::this_thread::sleep_for(NetMs(50));
        });
        ASSERT_TRUE(s.opened.link) << s.opened.message;
        std::array<std::uint8_t, 256> buf{};
        ASSERT_EQ(s.opened.link->write(asBytes("U")), 1);
        const auto start = NetClock::now();
        int n = 0;
        for (int reads = 0; n == 0 && reads < 10; ++reads) n = s.opened.link->read(buf);
        EXPECT_EQ(n, -1);
        EXPECT_LT(NetClock::now() - start, NetMs(1000));
        EXPECT_EQ(s.opened.link->readWaiting(buf), -1);
        EXPECT_EQ(s.opened.link->write(asBytes("U")), -1);
    }
}

TEST(NetworkLink, OneServerPortUnderTwoNamesIsOnePort) {
    EXPECT_EQ(portIdentity("RFC2217://Bench3:7000"), portIdentity("tcp://bench3:7000"));
    EXPECT_NE(portIdentity("rfc2217://bench3:7000"), portIdentity("rfc2217://bench3:7001"));
}

}  // namespace
}  // namespace qelisp
