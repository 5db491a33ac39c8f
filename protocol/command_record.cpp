#include "protocol/command_record.h"

#include "protocol/hex_line.h"

#include <algorithm>
#include <string>

namespace qelisp {

namespace {

void putHex(std::span<std::uint8_t, kMaxLineLength> out, std::size_t& pos, std::uint8_t byte) {
    out[pos++] = static_cast<std::uint8_t>(kHexDigits[byte >> 4]);
    out[pos++] = static_cast<std::uint8_t>(kHexDigits[byte & 0x0F]);
}

// What a byte nobody asked for may look like in the trace: enough to tell
// a doubled '.' from line noise, not a whole flood.
constexpr std::size_t kShownStrayBytes = 32;

// Sends one line, making sure every byte the loader sent so far has been
// accounted for: the answers to the earlier lines were read, so a byte
// waiting now, or one that comes while this line is still going out, answers
// nothing. Taken for an answer, it would put the program a line ahead of the
// loader for good, and a line the loader never answered could pass.
int writeAll(Session& session, std::span<const std::uint8_t> bytes) {
    SerialLink* link = session.link;
    if (link == nullptr) return kSendFailed;
    std::array<std::uint8_t, kShownStrayBytes> stray{};
    const int before = link->readWaiting(stray);
    if (before != 0) {
        if (before > 0) {
            // The line by its head: the record type says whose step failed.
            const std::string head(bytes.begin(),
                                   bytes.begin() + static_cast<long>(std::min<std::size_t>(9, bytes.size())));
            link->note("unexpected: bytes no line asked for were waiting; " + head + "... is not sent");
        }
        return before > 0 ? kSendUnexpected : kSendFailed;
    }
    const int written = link->write(bytes);
    if (written != static_cast<int>(bytes.size())) return kSendFailed;
    const int during = link->awaitSent(stray);
    if (during > 0) link->note("unexpected: bytes came while the line was going out");
    if (during != 0) return during > 0 ? kSendUnexpected : kSendFailed;
    return kSendOk;
}

}  // namespace

std::size_t EncodeRecord(const CommandRecord& record, std::size_t n, std::span<std::uint8_t, kMaxLineLength> out) {
    n = std::min(n, kMaxRecordData);
    std::size_t pos = 0;
    std::uint8_t sum = 0;
    out[pos++] = ':';
    auto field = [&](std::uint8_t byte) {
        putHex(out, pos, byte);
        sum = static_cast<std::uint8_t>(sum + byte);
    };
    field(record.count);
    field(record.addressHigh);
    field(record.addressLow);
    field(static_cast<std::uint8_t>(record.type));
    for (std::size_t i = 0; i < n; ++i) field(record.data[i]);
    putHex(out, pos, static_cast<std::uint8_t>(-sum));
    out[pos++] = '\r';
    out[pos++] = '\n';
    return pos;
}

int SendRecord(Session& session, const CommandRecord& record, std::size_t n) {
    std::array<std::uint8_t, kMaxLineLength> line;
    std::size_t length = EncodeRecord(record, n, line);
    return writeAll(session, std::span(line).first(length));
}

int SendLine(Session& session, std::string_view line) {
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    return writeAll(session, bytes);
}

FailureCause SendFailure(const Session& session, int sent) {
    if (sent == kSendOk) return FailureCause::None;
    if (session.link == nullptr) return FailureCause::NoPort;
    return sent == kSendUnexpected ? FailureCause::StrayBytes : FailureCause::PortGone;
}

std::size_t DecodeReadBack(std::span<std::uint8_t, 256> buffer) {
    std::size_t valid = kReadBackBytes;
    // Reading pair i (positions 2i, 2i+1) before writing byte i is safe: 2i >= i.
    for (std::size_t i = 0; i < kReadBackBytes; ++i) {
        const int high = hexDigitValue(static_cast<char>(buffer[2 * i]));
        const int low = hexDigitValue(static_cast<char>(buffer[2 * i + 1]));
        if ((high < 0 || low < 0) && valid == kReadBackBytes) valid = i;
        buffer[i] = static_cast<std::uint8_t>(((high & 0x0F) << 4) | (low & 0x0F));
    }
    return valid;
}

}  // namespace qelisp
