#pragma once
// Telnet's framing (RFC 854/855) as far as a serial port server speaks it:
// data with 0xFF doubled, option commands (WILL, WONT, DO, DONT) and
// subnegotiations (IAC SB option ... IAC SE). Plain code, no sockets.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qelisp::telnet {

inline constexpr std::uint8_t kIac = 0xFF;
inline constexpr std::uint8_t kDont = 0xFE;
inline constexpr std::uint8_t kDo = 0xFD;
inline constexpr std::uint8_t kWont = 0xFC;
inline constexpr std::uint8_t kWill = 0xFB;
inline constexpr std::uint8_t kSb = 0xFA;
inline constexpr std::uint8_t kSe = 0xF0;

// Options.
inline constexpr std::uint8_t kBinary = 0;
inline constexpr std::uint8_t kEcho = 1;
inline constexpr std::uint8_t kSuppressGoAhead = 3;
inline constexpr std::uint8_t kComPortOption = 44;

// No subnegotiation of the Com Port Control option is anywhere near this; a
// longer one (a server's signature text, or garbage) is dropped whole.
inline constexpr std::size_t kMaxSubnegotiation = 256;

// Appends `data` with every 0xFF doubled, so that it never reads as a command.
void encodeData(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out);
// IAC verb option (verb: kWill, kWont, kDo, kDont).
void encodeCommand(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& out);
// IAC SB option payload IAC SE, 0xFF in the payload doubled.
void encodeSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& out);

struct Event {
    enum class Kind : std::uint8_t { Will, Wont, Do, Dont, Subnegotiation };
    Kind kind = Kind::Will;
    std::uint8_t option = 0;
    std::vector<std::uint8_t> payload;  // a subnegotiation's bytes after the option, undoubled
    // How many data bytes of the same feed() came before it: where in the
    // data it happened.
    std::size_t dataBefore = 0;
    bool operator==(const Event&) const = default;
};

// Takes the stream as it comes, split anywhere (a command may end in the
// next piece), and keeps its place between pieces.
class Decoder {
public:
    // Appends the data bytes in `bytes` to `data` and the commands to
    // `events`, in the order they came. Commands without an option (NOP, GA,
    // and the like) mean nothing on a serial line and are dropped.
    void feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data, std::vector<Event>& events);

    // Subnegotiations dropped for being longer than kMaxSubnegotiation.
    std::size_t overlong() const { return overlong_; }

private:
    enum class State : std::uint8_t { Data, Iac, Verb, SbOption, SbData, SbIac };
    void command(std::uint8_t byte);
    void keep(std::uint8_t byte);

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    Event sub_;
    bool subTooLong_ = false;
    std::size_t overlong_ = 0;
};

}  // namespace qelisp::telnet
