#pragma once
// A serial port across the network: a serial port server's TCP port, spoken
// to in Telnet with the Com Port Control option (rfc2217://) or as raw bytes
// (tcp://). The same rules as a local port's: every byte accounted for, each
// read within its 200 ms, a dropped connection a failed port.
#include "link/net/com_port_control.h"
#include "link/net/tcp_stream.h"
#include "link/net/telnet_codec.h"
#include "link/port.h"
#include "link/serial_link.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace qelisp {

// How long the server has to agree to the Com Port Control option and
// confirm the line settings, and to confirm a purge.
inline constexpr std::chrono::seconds kNegotiationTimeOut{3};
inline constexpr std::chrono::seconds kPurgeTimeOut{1};
// A raw port's server that turns a second client away does so at once.
inline constexpr std::chrono::milliseconds kEarlyCloseWindow{100};

class NetworkLink final : public SerialLink {
public:
    // `telnet`: rfc2217:// (else raw bytes). `wire`: watch each line's time
    // on the server's wire in awaitSent.
    NetworkLink(std::unique_ptr<TcpStream> stream, bool telnet, bool wire);

    struct Opening {
        OpenError error = OpenError::None;
        std::string text;  // for after the port's name
    };
    // rfc2217://: the options and the line settings, within `limit`.
    Opening negotiate(std::chrono::milliseconds limit = kNegotiationTimeOut);
    // tcp://: whether the server closes the connection within `window`, as
    // one does that serves another client already.
    Opening awaitEarlyClose(std::chrono::milliseconds window = kEarlyCloseWindow);

    int purge() override;
    int readWaiting(std::span<std::uint8_t> buf) override;
    int write(std::span<const std::uint8_t> bytes) override;
    int awaitSent(std::span<std::uint8_t> buf) override;
    int read(std::span<std::uint8_t> buf) override;
    bool network() const override { return true; }
    std::uint64_t heldBackAnswers() const override { return heldBack_; }

private:
    // One wait for the server (until `deadline`); what came is taken. The
    // count of bytes from the socket, 0 when the deadline passed, -1 when
    // the connection is gone.
    int pump(SteadyTime deadline);
    // All the socket holds now, without waiting; -1 when the connection is gone.
    int pumpNow();
    // Bytes from the server: data queued, commands answered.
    void take(std::span<const std::uint8_t> raw);
    // Queued data into `buf`: how many.
    std::size_t handOut(std::span<std::uint8_t> buf);
    // The connection closed while opening: another client's port, or not.
    Opening closedWhileOpening() const;

    std::unique_ptr<TcpStream> stream_;
    bool telnet_;
    bool wire_;
    telnet::Decoder decoder_;
    ComPortControl control_;
    std::deque<std::uint8_t> data_;  // decoded, not handed out yet
    bool closed_ = false;
    bool purgePending_ = false;
    // When the last write began and how many of the caller's bytes it wrote.
    SteadyTime writeStart_{};
    std::size_t written_ = 0;
    SteadyTime lastArrival_{};  // when data last came
    std::uint64_t heldBack_ = 0;
};

}  // namespace qelisp
