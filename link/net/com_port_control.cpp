#include "link/net/com_port_control.h"

#include <algorithm>

namespace qelisp {

namespace {

using telnet::Event;

constexpr std::uint8_t kServerOffset = 100;  // the server's answer to SET-x is x + 100
constexpr std::uint8_t kPurgeData = 12;
constexpr std::uint8_t kPurgeBoth = 3;

// The options this client wants on: on its own side, and on the server's.
bool wantedOurs(std::uint8_t option) {
    return option == telnet::kComPortOption || option == telnet::kBinary || option == telnet::kSuppressGoAhead;
}
bool wantedTheirs(std::uint8_t option) { return option == telnet::kBinary || option == telnet::kSuppressGoAhead; }

std::string parityName(std::uint32_t value) {
    switch (value) {
        case 1: return "none";
        case 2: return "odd";
        case 3: return "even";
        case 4: return "mark";
        case 5: return "space";
        default: return "code " + std::to_string(value);
    }
}

std::string stopBitsName(std::uint32_t value) {
    switch (value) {
        case 1: return "1";
        case 2: return "2";
        case 3: return "1.5";
        default: return "code " + std::to_string(value);
    }
}

std::string controlName(std::uint32_t value) {
    switch (value) {
        case 1: return "none";
        case 2: return "XON/XOFF";
        case 3: return "hardware (RTS/CTS)";
        default: return "code " + std::to_string(value);
    }
}

// "the server set 9600 baud, not 115200", and the like for each setting.
std::string mismatch(std::uint8_t code, std::uint32_t got, std::uint32_t asked) {
    switch (code) {
        case 1: return "the server set " + std::to_string(got) + " baud, not " + std::to_string(asked);
        case 2: return "the server set " + std::to_string(got) + " data bits, not " + std::to_string(asked);
        case 3: return "the server set parity " + parityName(got) + ", not " + parityName(asked);
        case 4: return "the server set " + stopBitsName(got) + " stop bits, not " + stopBitsName(asked);
        default: return "the server set flow control " + controlName(got) + ", not " + controlName(asked);
    }
}

}  // namespace

void ComPortControl::start(std::vector<std::uint8_t>& out) {
    for (std::uint8_t option : {telnet::kComPortOption, telnet::kBinary, telnet::kSuppressGoAhead}) {
        ours_[option] = Option::Requested;
        telnet::encodeCommand(telnet::kWill, option, out);
        if (!wantedTheirs(option)) continue;
        theirs_[option] = Option::Requested;
        telnet::encodeCommand(telnet::kDo, option, out);
    }
}

void ComPortControl::take(const Event& event, std::vector<std::uint8_t>& out) {
    switch (event.kind) {
        case Event::Kind::Do: takeOurs(true, event.option, out); break;
        case Event::Kind::Dont: takeOurs(false, event.option, out); break;
        case Event::Kind::Will: takeTheirs(true, event.option, out); break;
        case Event::Kind::Wont: takeTheirs(false, event.option, out); break;
        case Event::Kind::Subnegotiation:
            if (event.option == telnet::kComPortOption) takeSubnegotiation(event.payload);
            break;
    }
    checkReady();
}

// The server's DO or DONT. An option that is already as asked gets no
// answer (RFC 854: acknowledging it again could loop), and one this client
// does not want is declined once, however often the server asks.
void ComPortControl::takeOurs(bool enable, std::uint8_t option, std::vector<std::uint8_t>& out) {
    Option& mine = ours_[option];
    if (enable) {
        if (!wantedOurs(option)) {
            if (mine != Option::Declined) telnet::encodeCommand(telnet::kWont, option, out);
            mine = Option::Declined;
            return;
        }
        if (mine == Option::On) return;
        if (mine != Option::Requested) telnet::encodeCommand(telnet::kWill, option, out);
        mine = Option::On;
        if (option == telnet::kComPortOption) sendSettings(out);
        return;
    }
    if (mine != Option::On && mine != Option::Requested) return;
    if (mine == Option::On) telnet::encodeCommand(telnet::kWont, option, out);
    mine = Option::Off;
    if (option == telnet::kComPortOption) {
        fail(State::NotRfc2217, "the server refused the Com Port Control option (RFC 2217)");
    } else if (option == telnet::kBinary) {
        fail(State::Refused,
             "the server refused binary transmission from this side, without which the loader's bytes are not "
             "carried as they are");
    }
}

// The server's WILL or WONT, for its own side. A server that knows nothing
// of the Com Port Control option may say WONT to its WILL, the wrong side:
// it is a refusal all the same.
void ComPortControl::takeTheirs(bool enable, std::uint8_t option, std::vector<std::uint8_t>& out) {
    if (!enable && option == telnet::kComPortOption) {
        fail(State::NotRfc2217, "the server refused the Com Port Control option (RFC 2217)");
        return;
    }
    Option& its = theirs_[option];
    if (enable) {
        if (!wantedTheirs(option)) {
            if (its != Option::Declined) telnet::encodeCommand(telnet::kDont, option, out);
            its = Option::Declined;
            return;
        }
        if (its == Option::On) return;
        if (its != Option::Requested) telnet::encodeCommand(telnet::kDo, option, out);
        its = Option::On;
        return;
    }
    if (its != Option::On && its != Option::Requested) return;
    if (its == Option::On) telnet::encodeCommand(telnet::kDont, option, out);
    its = Option::Off;
    if (option == telnet::kBinary) {
        fail(State::Refused,
             "the server refused binary transmission from its side, without which the instrument's bytes are not "
             "carried as they are");
    }
}

void ComPortControl::sendSettings(std::vector<std::uint8_t>& out) {
    if (settingsSent_) return;
    settingsSent_ = true;
    for (const Setting& setting : settings_) {
        std::vector<std::uint8_t> payload{setting.code};
        for (int shift = 8 * (setting.width - 1); shift >= 0; shift -= 8) {
            payload.push_back(static_cast<std::uint8_t>(setting.value >> shift));
        }
        telnet::encodeSubnegotiation(telnet::kComPortOption, payload, out);
    }
}

// A setting's confirmation carries the value the server set, which may not
// be the one asked for (a port that cannot do 115200, a server that keeps
// its own configuration). Line and modem state notices and the rest are
// taken and left alone.
void ComPortControl::takeSubnegotiation(const std::vector<std::uint8_t>& payload) {
    if (payload.empty() || !settingsSent_ || state_ != State::Negotiating) return;
    const auto setting = std::find_if(settings_.begin(), settings_.end(), [&](const Setting& s) {
        return payload[0] == static_cast<std::uint8_t>(s.code + kServerOffset);
    });
    if (setting == settings_.end()) return;
    if (payload.size() != 1u + setting->width) {
        fail(State::Refused, "the server answered a line setting with " + std::to_string(payload.size() - 1) +
                                 " bytes instead of " + std::to_string(setting->width));
        return;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 1; i < payload.size(); ++i) value = (value << 8) | payload[i];
    if (value != setting->value) {
        fail(State::Refused, mismatch(setting->code, value, setting->value));
        return;
    }
    setting->confirmed = true;
}

void ComPortControl::fail(State state, std::string reason) {
    if (state_ != State::Negotiating) return;  // the first failure is the one to tell
    state_ = state;
    reason_ = std::move(reason);
}

void ComPortControl::checkReady() {
    if (state_ != State::Negotiating) return;
    const bool confirmed =
        settingsSent_ && std::all_of(settings_.begin(), settings_.end(), [](const Setting& s) { return s.confirmed; });
    if (confirmed && ours_[telnet::kBinary] == Option::On && theirs_[telnet::kBinary] == Option::On) {
        state_ = State::Ready;
    }
}

ComPortControl::State ComPortControl::stateAfterTimeOut() const {
    if (state_ != State::Negotiating) return state_;
    return settingsSent_ ? State::Refused : State::NotRfc2217;
}

std::string ComPortControl::timeOutReason(int seconds) const {
    const std::string within = " within " + std::to_string(seconds) + " s";
    if (state_ != State::Negotiating) return reason_;
    if (!settingsSent_) return "the server did not negotiate RFC 2217" + within + ": a raw TCP port? name it tcp://";
    if (std::any_of(settings_.begin(), settings_.end(), [](const Setting& s) { return !s.confirmed; })) {
        return "the server did not confirm the line settings" + within;
    }
    return "the server did not agree to binary transmission" + within;
}

std::vector<std::uint8_t> purgeRequest() {
    std::vector<std::uint8_t> out;
    const std::array<std::uint8_t, 2> payload{kPurgeData, kPurgeBoth};
    telnet::encodeSubnegotiation(telnet::kComPortOption, payload, out);
    return out;
}

bool confirmsPurge(const Event& event) {
    return event.kind == Event::Kind::Subnegotiation && event.option == telnet::kComPortOption &&
           event.payload == std::vector<std::uint8_t>{kPurgeData + kServerOffset, kPurgeBoth};
}

}  // namespace qelisp
