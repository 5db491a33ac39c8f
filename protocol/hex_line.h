#pragma once
// The Intel HEX line form that the loader speaks: ':' count address(2) type
// data checksum, as upper-case hexadecimal pairs, then CR LF. Shared by the
// program, the simulated loader and the image tool.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qelisp {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Two's complement of the byte sum, as the line's last pair.
std::uint8_t lineChecksum(std::span<const std::uint8_t> bytes);

// Appends the two upper-case hexadecimal digits of `byte`.
inline void appendHexByte(std::string& out, std::uint8_t byte) {
    out.push_back(kHexDigits[byte >> 4]);
    out.push_back(kHexDigits[byte & 0x0F]);
}

// What crossed the wire, readable in a log: CR and LF as \r \n, a backslash
// doubled, other control bytes as \xNN.
std::string printableBytes(std::span<const std::uint8_t> bytes);
inline std::string printableBytes(std::string_view text) {
    return printableBytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// Value of a hexadecimal digit (either case), or -1.
int hexDigitValue(char c);

// A line taken apart. `address` is the 16-bit address field.
struct HexLine {
    std::uint8_t count = 0;
    std::uint16_t address = 0;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> data;
    std::uint8_t checksum = 0;
    bool checksumOk = false;
};

enum class HexLineError {
    None,
    NoColon,
    BadDigit,  // a character that is not a hexadecimal digit
    OddLength,
    TooShort,       // fewer than the five bytes every line has
    CountMismatch,  // count field does not match the number of data bytes
};

struct HexLineParse {
    std::optional<HexLine> line;
    HexLineError error = HexLineError::None;
};

// Parses one line without its line ending (a trailing CR, LF or both is
// ignored). The checksum is reported, not enforced.
HexLineParse parseHexLine(std::string_view text);

const char* describe(HexLineError error);

}  // namespace qelisp
