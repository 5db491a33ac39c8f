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
// "0xHH," entries; nullopt if anything else is found there.
inline std::optional<std::vector<std::uint8_t>> generatedBytes(std::string_view source) {
    constexpr std::string_view kOpen = "kEmbeddedBlock[] = {";
    std::size_t open = source.find(kOpen);
    if (open == std::string_view::npos) return std::nullopt;
    std::size_t close = source.find("};", open);
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view body = source.substr(open + kOpen.size(), close - open - kOpen.size());

    std::vector<std::uint8_t> bytes;
    std::size_t i = 0;
    while (i < body.size()) {
        if (body[i] == '\n') {
            ++i;
            continue;
        }
        if (body.substr(i, 2) != "0x" || i + 5 > body.size() || body[i + 4] != ',') return std::nullopt;
        int hi = hexDigitValue(body[i + 2]);
        int lo = hexDigitValue(body[i + 3]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        i += 5;
    }
    return bytes;
}

}  // namespace qelisp::test
