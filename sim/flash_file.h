#pragma once
// The flash as a raw file: --load starts from one, --save writes one at exit.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qelisp::sim {

// Reads a raw image of at most 1 MB (a shorter file covers the flash from 0).
// On failure returns nothing and says why in `error`.
std::optional<std::vector<std::uint8_t>> readFlashFile(const std::string& path, std::string& error);

// Writes `image` to `path`, replacing it. False (and `error`) on failure.
bool writeFlashFile(const std::string& path, std::span<const std::uint8_t> image, std::string& error);

}  // namespace qelisp::sim
