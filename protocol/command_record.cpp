#include "protocol/command_record.h"

#include "protocol/hex_line.h"

#include <algorithm>

namespace qelisp {

namespace {

void putHex(std::span<std::uint8_t, kMaxLineLength> out, std::size_t& pos, std::uint8_t byte) {
    out[pos++] = static_cast<std::uint8_t>(kHexDigits[byte >> 4]);
    out[pos++] = static_cast<std::uint8_t>(kHexDigits[byte & 0x0F]);
}

int writeAll(Session& session, std::span<const std::uint8_t> bytes) {
    if (session.link == nullptr) return 1;
    int written = session.link->write(bytes);
    return written == static_cast<int>(bytes.size()) ? 0 : 1;
}

}  // namespace

std::size_t EncodeRecord(const CommandRecord& record, std::size_t n,
                         std::span<std::uint8_t, kMaxLineLength> out) {
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
    field(record.type);
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

void DecodeReadBack(std::span<std::uint8_t, 256> buffer) {
    auto nibble = [](std::uint8_t c) {
        int v = c <= '9' ? c - 0x30 : c - 0x37;
        return static_cast<std::uint8_t>(v & 0x0F);
    };
    // Reading pair i (positions 2i, 2i+1) before writing byte i is safe: 2i >= i.
    for (std::size_t i = 0; i < 128; ++i) {
        buffer[i] = static_cast<std::uint8_t>((nibble(buffer[2 * i]) << 4) | nibble(buffer[2 * i + 1]));
    }
}

}  // namespace qelisp
