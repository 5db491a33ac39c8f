#pragma once
// Builds Intel HEX text for the tests one record at a time, checksums
// included.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "image/mkimage/intel_hex_reader.h"
#include "protocol/hex_line.h"

namespace qelisp::test {

inline std::string hexRecord(std::uint8_t type, std::uint16_t address, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.push_back(lineChecksum(bytes));
    std::string line = ":";
    for (std::uint8_t b : bytes) appendHexByte(line, b);
    return line;
}

inline std::string hexRecord(HexRecordType type, std::uint16_t address, std::span<const std::uint8_t> data) {
    return hexRecord(static_cast<std::uint8_t>(type), address, data);
}

class HexText {
public:
    HexText& data(std::uint16_t offset, std::span<const std::uint8_t> bytes) {
        return raw(hexRecord(HexRecordType::Data, offset, bytes));
    }
    HexText& data(std::uint16_t offset, std::initializer_list<std::uint8_t> bytes) {
        return data(offset, std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
    }
    HexText& linear(std::uint16_t upper) { return raw(hexRecord(HexRecordType::ExtendedLinear, 0, bigEndian(upper))); }
    HexText& segment(std::uint16_t segment) {
        return raw(hexRecord(HexRecordType::ExtendedSegment, 0, bigEndian(segment)));
    }
    HexText& end() { return raw(":00000001FF"); }
    HexText& raw(std::string line) {
        lines_.push_back(std::move(line));
        return *this;
    }

    std::string str() const {
        std::string text;
        for (const auto& line : lines_) text += line + "\n";
        return text;
    }

private:
    static std::vector<std::uint8_t> bigEndian(std::uint16_t value) {
        return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    }

    std::vector<std::string> lines_;
};

}  // namespace qelisp::test
