#pragma once
// The client's side of the Com Port Control option (RFC 2217): the Telnet
// options a serial port server is asked for, the line set to 115200 8N1
// without flow control, and each setting checked against what the server
// says it set. Fed the decoder's events; what to send back goes to `out`.
#include "link/net/telnet_codec.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qelisp {

class ComPortControl {
public:
    enum class State : std::uint8_t {
        Negotiating,
        Ready,       // options agreed, every setting confirmed as asked
        NotRfc2217,  // the server refused the Com Port Control option
        Refused,     // it refused binary transmission or set the line otherwise
    };

    // The opening requests: WILL COM-PORT-OPTION, WILL and DO BINARY, WILL
    // and DO SUPPRESS-GO-AHEAD.
    void start(std::vector<std::uint8_t>& out);

    // One command from the server; answers and requests go to `out`.
    void take(const telnet::Event& event, std::vector<std::uint8_t>& out);

    State state() const { return state_; }
    // Why it failed, in words for the user; empty while all is well.
    const std::string& reason() const { return reason_; }
    // What is still awaited, for a negotiation that ran out of time: the
    // server's DO COM-PORT-OPTION, a setting's confirmation, or binary mode.
    State stateAfterTimeOut() const;
    std::string timeOutReason(int seconds) const;

private:
    // Where an option stands on one side (ours: WILL/WONT; the server's:
    // DO/DONT are its WILL/WONT seen from here).
    enum class Option : std::uint8_t { Off, Requested, On, Declined };
    struct Setting {
        std::uint8_t code;  // the client's SET-... code; the server answers code + 100
        std::uint32_t value;
        std::uint8_t width;  // bytes of the value
        bool confirmed;
    };

    void takeOurs(bool enable, std::uint8_t option, std::vector<std::uint8_t>& out);
    void takeTheirs(bool enable, std::uint8_t option, std::vector<std::uint8_t>& out);
    void takeSubnegotiation(const std::vector<std::uint8_t>& payload);
    void sendSettings(std::vector<std::uint8_t>& out);
    void fail(State state, std::string reason);
    void checkReady();

    State state_ = State::Negotiating;
    std::string reason_;
    std::array<Option, 256> ours_{};
    std::array<Option, 256> theirs_{};
    bool settingsSent_ = false;
    std::array<Setting, 5> settings_{{
        {1, 115200, 4, false},  // SET-BAUDRATE
        {2, 8, 1, false},       // SET-DATASIZE
        {3, 1, 1, false},       // SET-PARITY: NONE
        {4, 1, 1, false},       // SET-STOPSIZE: 1
        {5, 1, 1, false},       // SET-CONTROL: no flow control
    }};
};

// PURGE-DATA for both of the server's buffers, and whether an event is the
// server's confirmation of it.
std::vector<std::uint8_t> purgeRequest();
bool confirmsPurge(const telnet::Event& event);

}  // namespace qelisp
