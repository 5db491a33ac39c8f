#pragma once
// Small image blocks made in the test, in the layout the program embeds.
#include "image/firmware_image.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qelisp::test {

// Deterministic record contents for a block.
std::array<std::uint8_t, kRecordDataSize> blockData(std::uint16_t block);

// An image block with the given records (contents from blockData) in the given
// order, then the end marker and 0xFF fill.
std::vector<std::uint8_t> makeImageBlock(const std::vector<std::uint16_t>& blocks, const std::string& model = "QX-TEST",
                                         const std::string& version = "2026.01.02");

// Keeps the bytes alive alongside the image that views them.
struct OwnedImage {
    explicit OwnedImage(std::vector<std::uint8_t> b) : bytes(std::move(b)), image(view()) {}
    std::vector<std::uint8_t> bytes;
    FirmwareImage image;

private:
    std::span<const std::uint8_t, kImageSize> view() const {
        return std::span<const std::uint8_t, kImageSize>(bytes.data(), kImageSize);
    }
};

// Blocks first..last inclusive.
std::vector<std::uint16_t> blockRange(std::uint16_t first, std::uint16_t last);

// A real image in small: block 0, a full page 0x03 (blocks 0x60-0x7F) and two
// records of page 0x04.
std::vector<std::uint16_t> twoPageBlocks();

}  // namespace qelisp::test
