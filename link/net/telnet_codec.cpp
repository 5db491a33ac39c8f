#include "link/net/telnet_codec.h"

namespace qelisp::telnet {

void encodeData(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) {
    for (std::uint8_t byte : data) {
        out.push_back(byte);
        if (byte == kIac) out.push_back(kIac);
    }
}

void encodeCommand(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), {kIac, verb, option});
}

void encodeSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), {kIac, kSb, option});
    encodeData(payload, out);
    out.insert(out.end(), {kIac, kSe});
}

void Decoder::feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data, std::vector<Event>& events) {
    const std::size_t dataStart = data.size();
    auto emit = [&](Event event) {
        event.dataBefore = data.size() - dataStart;
        events.push_back(std::move(event));
    };
    for (std::uint8_t byte : bytes) {
        switch (state_) {
            case State::Data:
                if (byte == kIac) {
                    state_ = State::Iac;
                } else {
                    data.push_back(byte);
                }
                break;
            case State::Iac:
                if (byte == kIac) {
                    data.push_back(kIac);
                    state_ = State::Data;
                } else {
                    command(byte);
                }
                break;
            case State::Verb: {
                Event event;
                event.kind = verb_ == kWill   ? Event::Kind::Will
                             : verb_ == kWont ? Event::Kind::Wont
                             : verb_ == kDo   ? Event::Kind::Do
                                              : Event::Kind::Dont;
                event.option = byte;
                emit(std::move(event));
                state_ = State::Data;
                break;
            }
            case State::SbOption:
                sub_ = Event{Event::Kind::Subnegotiation, byte, {}, 0};
                subTooLong_ = false;
                state_ = State::SbData;
                break;
            case State::SbData:
                if (byte == kIac) {
                    state_ = State::SbIac;
                } else {
                    keep(byte);
                }
                break;
            case State::SbIac:
                if (byte == kIac) {
                    keep(kIac);
                    state_ = State::SbData;
                    break;
                }
                state_ = State::Data;
                if (byte == kSe) {
                    if (subTooLong_) {
                        ++overlong_;
                    } else {
                        emit(std::move(sub_));
                    }
                } else {
                    // Any other command ends it broken, and is taken as
                    // that command.
                    command(byte);
                }
                sub_ = Event{};
                break;
        }
    }
}

// A payload byte; an overlong subnegotiation is followed to its end, never kept.
void Decoder::keep(std::uint8_t byte) {
    if (subTooLong_) return;
    if (sub_.payload.size() == kMaxSubnegotiation) {
        subTooLong_ = true;
        sub_.payload = {};
        return;
    }
    sub_.payload.push_back(byte);
}

// The byte after IAC that is not a second IAC.
void Decoder::command(std::uint8_t byte) {
    switch (byte) {
        case kWill:
        case kWont:
        case kDo:
        case kDont:
            verb_ = byte;
            state_ = State::Verb;
            break;
        case kSb: state_ = State::SbOption; break;
        default: state_ = State::Data; break;  // NOP, GA, a stray SE, ...
    }
}

}  // namespace qelisp::telnet
