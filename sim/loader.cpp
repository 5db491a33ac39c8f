#include "sim/loader.h"

#include "protocol/hex_line.h"

#include <array>

namespace qelisp::sim {
namespace {

constexpr std::uint8_t kAck = '.';
constexpr std::uint8_t kRefuse = '?';
constexpr std::uint8_t kErase = 'E';
constexpr std::uint8_t kHandshake = 'U';
constexpr std::uint8_t kEraseFailed = 'x';
// Software flow control's pause and resume, as a device that keeps it on
// sends them.
constexpr std::uint8_t kXoff = 0x13;
constexpr std::uint8_t kXon = 0x11;
constexpr std::uint32_t kXoffMs = 30;
constexpr std::size_t kBlock = 128;

std::string hex(std::uint64_t value, int digits) {
    std::string text = "0x";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) text.push_back(kHexDigits[(value >> shift) & 0x0F]);
    return text;
}

Reply send(std::string_view bytes) { return {Reply::Kind::Send, {bytes.begin(), bytes.end()}, 0}; }
Reply send(std::uint8_t byte) { return {Reply::Kind::Send, {byte}, 0}; }
Reply eraseWait() { return {Reply::Kind::EraseWait, {}, 0}; }
Reply delay(std::uint32_t ms) { return {Reply::Kind::Delay, {}, ms}; }
Reply pause(std::uint32_t ms) { return {Reply::Kind::Pause, {}, ms}; }
Reply hangUp() { return {Reply::Kind::HangUp, {}, 0}; }
Reply handshakeEchoed() { return {Reply::Kind::HandshakeEchoed, {}, 0}; }

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}

// Answers for the faults that replace the normal answer altogether; the line
// is then not applied.
std::optional<Replies> replacingAnswer(FaultKind kind) {
    switch (kind) {
        case FaultKind::Silence: return Replies{};
        case FaultKind::Wrong: return Replies{send(kRefuse)};
        case FaultKind::HangUp: return Replies{hangUp()};
        case FaultKind::EraseForever: return Replies{send(kErase)};
        case FaultKind::EraseBad: return Replies{send(kErase), eraseWait(), send(kEraseFailed)};
        default: return std::nullopt;
    }
}

}  // namespace

Loader::Loader(LoaderOptions options, FaultPlan faults) : options_(std::move(options)), faults_(std::move(faults)) {}

void Loader::receive(std::span<const std::uint8_t> bytes, Replies& out) {
    for (std::uint8_t b : bytes) receive(b, out);
}

void Loader::receive(std::uint8_t byte, Replies& out) {
    switch (rx_) {
        case Rx::BetweenLines:
            if (byte == kHandshake) {
                inStrayRun_ = false;
                handshake(out);
            } else if (byte == ':') {
                inStrayRun_ = false;
                line_.assign(1, ':');
                rx_ = Rx::InLine;
            } else {
                strayByte(byte);
            }
            return;
        case Rx::InLine:
            if (byte == '\n') {
                rx_ = Rx::BetweenLines;
                completeLine(out);
            } else if (byte == kHandshake) {
                // 'U' is never part of a line: the program gave up on this one
                // and starts over, so the handshake wins.
                ++lines_;
                violate(Rule::BrokenLine, printableBytes(line_));
                rx_ = Rx::BetweenLines;
                handshake(out);
            } else {
                line_.push_back(static_cast<char>(byte));
                if (line_.size() > kMaxLineLength) {
                    ++lines_;
                    violate(Rule::Overlong);
                    line_.clear();
                    rx_ = Rx::Discarding;
                }
            }
            return;
        case Rx::Discarding:
            if (byte == '\n') {
                rx_ = Rx::BetweenLines;
            } else if (byte == kHandshake) {
                rx_ = Rx::BetweenLines;
                handshake(out);
            }
            return;
    }
}

void Loader::linkDropped() {
    rx_ = Rx::BetweenLines;
    line_.clear();
    inStrayRun_ = false;
    resetSession();
    sessionOpen_ = false;
}

void Loader::strayByte(std::uint8_t byte) {
    // One violation per run of stray bytes, so line noise does not flood the log.
    if (inStrayRun_) return;
    inStrayRun_ = true;
    record({lines_, true, Rule::StrayBytes, "first " + hex(byte, 2)});
}

void Loader::handshake(Replies& out) {
    const std::uint64_t number = ++handshakes_;
    if (options_.verbose) log("qelisp-sim: handshake " + std::to_string(number) + ": U");
    const auto fault = faults_.forHandshake(number);
    Replies replies;
    if (!fault) {
        resetSession();
        replies = {send(kHandshake), handshakeEchoed()};
    } else if (fault->kind == FaultKind::Erase || fault->kind == FaultKind::EraseDouble) {
        resetSession();
        // After an announced erase the program takes '.' as success.
        replies = {send(kErase), eraseWait(), send(kAck)};
        if (fault->kind == FaultKind::EraseDouble) replies.push_back(send(kAck));
    } else {
        replies = replacingAnswer(fault->kind).value_or(Replies{});
    }
    if (fault) logFault(*fault, "handshake", number);
    logReplies("handshake", number, replies);
    out.insert(out.end(), replies.begin(), replies.end());
}

void Loader::completeLine(Replies& out) {
    const std::uint64_t number = ++lines_;
    std::string_view text = line_;
    if (options_.verbose) {
        log("qelisp-sim: line " + std::to_string(number) + ": " + printableBytes(text) + "\\n");
    }
    if (text.back() == '\r') {
        text.remove_suffix(1);
    } else {
        violate(Rule::NoCrLf);
    }
    for (char c : text) {
        if (c >= 'a' && c <= 'f') {
            violate(Rule::LowerCaseHex);
            break;
        }
    }
    if (!sessionOpen_) {
        violate(Rule::NoHandshake);
    } else if (finished_) {
        violate(Rule::AfterEnd);
    }

    const auto fault = faults_.forLine(number);
    const std::optional<FaultKind> kind = fault ? std::optional(fault->kind) : std::nullopt;
    if (fault) logFault(*fault, "line", number);
    std::optional<Replies> replies = kind ? replacingAnswer(*kind) : std::nullopt;
    if (!replies) {
        const HexLineParse parse = parseHexLine(text);
        if (!parse.line) {
            violate(parse.error == HexLineError::CountMismatch ? Rule::CountMismatch : Rule::Malformed,
                    describe(parse.error));
            replies = Replies{send(kRefuse)};
        } else if (!parse.line->checksumOk) {
            violate(Rule::BadChecksum, "checksum " + hex(parse.line->checksum, 2));
            replies = Replies{send(kRefuse)};
        } else {
            replies = answer(*parse.line, kind);
        }
        const bool erasing =
            !replies->empty() && replies->front().kind == Reply::Kind::Send && replies->front().bytes.front() == kErase;
        if ((kind == FaultKind::Erase || kind == FaultKind::EraseDouble) && !erasing) {
            replies->insert(replies->begin(), {send(kErase), eraseWait()});
        }
        // The extra '.' ends the erase; the normal answer follows it.
        if (kind == FaultKind::EraseDouble) replies->insert(replies->begin() + 2, send(kAck));
        if (kind == FaultKind::Double) {
            if (fault->delayMs > 0) replies->push_back(pause(fault->delayMs));
            replies->push_back(send(kAck));
        }
        if (kind == FaultKind::Xoff) {
            if (fault->delayMs > 0) replies->push_back(pause(fault->delayMs));
            replies->insert(replies->end(), {send(kXoff), pause(kXoffMs), send(kXon)});
        }
        // A slow loader: the same answer, all of it later.
        if (kind == FaultKind::Late && fault->delayMs > 0) replies->insert(replies->begin(), delay(fault->delayMs));
    }
    ++linesInSession_;
    logReplies("line", number, *replies);
    out.insert(out.end(), replies->begin(), replies->end());
}

Replies Loader::answer(const HexLine& line, std::optional<FaultKind> fault) {
    switch (line.type) {
        case 0x00: return data(line);
        case 0x01: return endOfRun();
        case 0x02: return readRequest(line, fault);
        case 0x04: return pageSelect(line);
        case 0x05: return pageEnd();
        case 0x06: return begin(line);
        default: violate(Rule::UnknownType, "type " + hex(line.type, 2)); return {send(kRefuse)};
    }
}

Replies Loader::begin(const HexLine& line) {
    if (sessionOpen_) {
        if (begun_) {
            violate(Rule::BeginTwice);
        } else if (linesInSession_ > 0) {
            violate(Rule::BeginNotFirst);
        }
    }
    if (line.data != std::vector<std::uint8_t>{0x03, 0x1A}) violate(Rule::BeginData);
    begun_ = true;
    if (!options_.erase) return {send(kAck)};
    flash_.erase(kApplicationStart, NorFlash::kSize);
    return {send(kErase), eraseWait(), send(kAck)};
}

Replies Loader::pageSelect(const HexLine& line) {
    if (line.count != 1) violate(Rule::PageSelectCount, "count " + std::to_string(line.count));
    const std::uint8_t page = line.data.empty() ? 0 : line.data.front();
    if (openPage_) violate(Rule::PageStillOpen, "page " + hex(*openPage_, 2) + " open, " + hex(page, 2) + " selected");
    if (lastPage_ && page <= *lastPage_) {
        violate(Rule::PageOrder, "page " + hex(page, 2) + " after " + hex(*lastPage_, 2));
    }
    openPage_ = page;
    lastPage_ = page;
    pageRegister_ = page;
    return {send(kAck)};
}

Replies Loader::data(const HexLine& line) {
    const std::uint32_t address = (std::uint32_t{pageRegister_} << 12) | (line.address & 0x0FFFu);
    if (!openPage_) {
        violate(Rule::DataNoPage, "address field " + hex(line.address, 4));
    } else if ((line.address >> 12) != (*openPage_ & 0x0F)) {
        violate(Rule::DataOutsidePage, "address field " + hex(line.address, 4) + ", page " + hex(*openPage_, 2));
    }
    if (line.count != kBlock) violate(Rule::DataCount, "count " + std::to_string(line.count));
    if (address % kBlock != 0) violate(Rule::DataAlignment, "address " + hex(address, 5));
    if (lastDataAddress_ && address <= *lastDataAddress_) {
        violate(Rule::DataOrder, "address " + hex(address, 5) + " after " + hex(*lastDataAddress_, 5));
    }
    if (address < kApplicationStart) violate(Rule::DataBelowApplication, "address " + hex(address, 5));
    lastDataAddress_ = address;

    const NorFlash::ProgramResult result = flash_.program(address, line.data);
    if (result.unerased > 0) {
        violate(Rule::UnerasedFlash,
                std::to_string(result.unerased) + " bytes, first at " + hex(result.firstUnerased, 5));
    }
    return {send(kAck)};
}

Replies Loader::pageEnd() {
    if (!openPage_) violate(Rule::PageEndNoPage);
    openPage_.reset();
    return {send(kAck)};
}

Replies Loader::endOfRun() {
    if (openPage_) violate(Rule::EndWithPageOpen, "page " + hex(*openPage_, 2));
    if (!begun_) violate(Rule::EndBeforeBegin);
    finished_ = true;
    return {send(kAck)};
}

Replies Loader::readRequest(const HexLine& line, std::optional<FaultKind> fault) {
    if (line.count != 8) violate(Rule::ReadCount, "count " + std::to_string(line.count));
    if (line.data.size() < 8) return {send(kRefuse)};  // no start and end to read
    const std::uint32_t start = bigEndian32(std::span(line.data).first(4));
    const std::uint32_t end = bigEndian32(std::span(line.data).subspan(4, 4));
    if (std::uint64_t{end} != std::uint64_t{start} + kBlock - 1) {
        violate(Rule::ReadRange, "start " + hex(start, 8) + ", end " + hex(end, 8));
    }
    if (start % kBlock != 0) violate(Rule::ReadAlignment, "start " + hex(start, 8));
    if (std::uint64_t{start} + kBlock > NorFlash::kSize) violate(Rule::ReadBeyondFlash, "start " + hex(start, 8));

    if (fault == FaultKind::NoA) return {send(kAck)};
    if (fault == FaultKind::AckHangUp) return {send(kAck), hangUp()};
    std::array<std::uint8_t, kBlock> block{};
    flash_.read(start, block);
    if (fault == FaultKind::Corrupt) block[5] ^= 0x01;
    std::string text = fault == FaultKind::Noise ? ".\r\n?#xA" : ".A";
    for (std::uint8_t b : block) appendHexByte(text, b);
    if (fault == FaultKind::Short || fault == FaultKind::BlockHangUp) text.resize(text.size() - 2 * kBlock + 100);
    if (fault == FaultKind::BlockHangUp) return {send(text), hangUp()};
    return {send(text)};
}

void Loader::violate(Rule rule, std::string detail) { record({lines_, false, rule, std::move(detail)}); }

void Loader::record(Violation violation) {
    ++violationCount_;
    log("qelisp-sim: " + format(violation));
    if (violations_.size() < kKeptViolations) violations_.push_back(std::move(violation));
}

void Loader::resetSession() {
    sessionOpen_ = true;
    linesInSession_ = 0;
    begun_ = false;
    finished_ = false;
    openPage_.reset();
    lastPage_.reset();
    pageRegister_ = 0;
    lastDataAddress_.reset();
}

void Loader::log(const std::string& text) const {
    if (options_.log) options_.log(text);
}

void Loader::logFault(const Fault& fault, const char* what, std::uint64_t number) const {
    if (options_.verbose) {
        log("qelisp-sim: fault " + faultName(fault) + " on " + what + " " + std::to_string(number));
    }
}

void Loader::logReplies(const char* what, std::uint64_t number, const Replies& replies) const {
    if (!options_.verbose) return;
    std::string text = std::string("qelisp-sim: reply to ") + what + " " + std::to_string(number) + ":";
    if (replies.empty()) text += " (none)";
    for (const Reply& r : replies) {
        switch (r.kind) {
            case Reply::Kind::Send: text += " " + printableBytes(r.bytes); break;
            case Reply::Kind::EraseWait: text += " (erase time)"; break;
            case Reply::Kind::Delay: text += " (late " + std::to_string(r.ms) + " ms)"; break;
            case Reply::Kind::Pause: text += " (pause " + std::to_string(r.ms) + " ms)"; break;
            case Reply::Kind::HangUp: text += " (hang up)"; break;
            case Reply::Kind::HandshakeEchoed: break;
        }
    }
    log(text);
}

}  // namespace qelisp::sim
