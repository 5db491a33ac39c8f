#pragma once
// Reads the byte values back out of a source written by the image tool, so
// the tests can compare what the compiler will see with the block itself.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "protocol/hex_line.h"

namespace qelisp::test {

// The values between "kEmbeddedBlock[] = {" and "};", which must all be
// "0xHH," entries (upper-case digits, as the tool writes them); nullopt if
// anything else is found there.
inline std::optional<std::vector<std::uint8_t>> generatedBytes(std::string_view source) {
    constexpr std::string_view kOpen = "kEmbeddedBlock[] = {";
    constexpr std::string_view kUpperDigits = kHexDigits;
    std::size_t open = source.find(kOpen);
    if (open == std::string_view::npos) return std::nullopt;
    std::size_t close = source.find("};", open);
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view body = source.substr(open + kOpen.size(), close - open - kOpen.size());

    std::vector<std::uint8_t> bytes;
    bytes.reserve(body.size() / 5);
    std::size_t i = 0;
    while (i < body.size()) {
        if (body[i] == '\n') {
            ++i;
            continue;
        }
        // Characters compared one by one: the fuzzer reads 5 MB of this per valid input.
        if (body.size() - i < 5 || body[i] != '0' || body[i + 1] != 'x' || body[i + 4] != ',') return std::nullopt;
        const std::size_t hi = kUpperDigits.find(body[i + 2]);
        const std::size_t lo = kUpperDigits.find(body[i + 3]);
        if (hi == std::string_view::npos || lo == std::string_view::npos) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        i += 5;
    }
    return bytes;
}

}  // namespace qelisp::test
