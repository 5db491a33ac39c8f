#include "protocol/hex_line.h"

namespace qelisp {

std::uint8_t lineChecksum(std::span<const std::uint8_t> bytes) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
    return static_cast<std::uint8_t>(-sum);
}

std::string printableBytes(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (std::uint8_t b : bytes) {
        if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\\') {
            out += "\\\\";
        } else if (b >= 0x20 && b < 0x7F) {
            out.push_back(static_cast<char>(b));
        } else {
            out += "\\x";
            appendHexByte(out, b);
        }
    }
    return out;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

HexLineParse parseHexLine(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    if (text.empty() || text.front() != ':') return {std::nullopt, HexLineError::NoColon};
    text.remove_prefix(1);
    if (text.size() % 2 != 0) return {std::nullopt, HexLineError::OddLength};

    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int hi = hexDigitValue(text[i]);
        int lo = hexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) return {std::nullopt, HexLineError::BadDigit};
        bytes.push_back(static_cast<std::uint8_t>((hi << 4) | lo));
    }
    if (bytes.size() < 5) return {std::nullopt, HexLineError::TooShort};
    if (bytes[0] != bytes.size() - 5) return {std::nullopt, HexLineError::CountMismatch};

    HexLine line;
    line.count = bytes[0];
    line.address = static_cast<std::uint16_t>((bytes[1] << 8) | bytes[2]);
    line.type = bytes[3];
    line.data.assign(bytes.begin() + 4, bytes.end() - 1);
    line.checksum = bytes.back();
    line.checksumOk = lineChecksum(std::span(bytes).first(bytes.size() - 1)) == line.checksum;
    return {std::move(line), HexLineError::None};
}

const char* describe(HexLineError error) {
    switch (error) {
        case HexLineError::None: return "no error";
        case HexLineError::NoColon: return "line does not start with ':'";
        case HexLineError::BadDigit: return "character that is not a hexadecimal digit";
        case HexLineError::OddLength: return "odd number of hexadecimal digits";
        case HexLineError::TooShort: return "line shorter than count, address, type and checksum";
        case HexLineError::CountMismatch: return "count field does not match the data length";
    }
    return "unknown error";
}

}  // namespace qelisp
