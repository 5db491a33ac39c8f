#include "tests/support/test_image.h"

#include <algorithm>

namespace qelisp::test {

std::array<std::uint8_t, kRecordDataSize> blockData(std::uint16_t block) {
    std::array<std::uint8_t, kRecordDataSize> data{};
    std::uint32_t x = 0x9E3779B9u ^ block;
    for (auto& b : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return data;
}

std::vector<std::uint8_t> makeImageBlock(const std::vector<std::uint16_t>& blocks, const std::string& model,
                                         const std::string& version) {
    std::vector<std::uint8_t> image(kImageSize, 0xFF);
    std::fill_n(image.begin(), kMarkerSize, static_cast<std::uint8_t>('#'));
    auto text = [&](std::size_t offset, const std::string& value) {
        std::fill_n(image.begin() + static_cast<long>(offset), kTextLength, static_cast<std::uint8_t>(' '));
        std::copy_n(value.begin(), std::min(value.size(), kTextLength), image.begin() + static_cast<long>(offset));
        image[offset + kTextLength] = 0;
    };
    text(kModelOffset, model);
    text(kVersionOffset, version);
    std::size_t pos = kTableOffset;
    for (std::uint16_t block : blocks) {
        image[pos] = static_cast<std::uint8_t>(block >> 8);
        image[pos + 1] = static_cast<std::uint8_t>(block);
        auto data = blockData(block);
        std::copy(data.begin(), data.end(), image.begin() + static_cast<long>(pos + 2));
        pos += kRecordSize;
    }
    return image;  // the slot at pos is already all 0xFF: the end marker
}

std::vector<std::uint16_t> blockRange(std::uint16_t first, std::uint16_t last) {
    std::vector<std::uint16_t> blocks;
    for (std::uint32_t b = first; b <= last; ++b) blocks.push_back(static_cast<std::uint16_t>(b));
    return blocks;
}

std::vector<std::uint16_t> twoPageBlocks() {
    auto blocks = blockRange(0x60, 0x81);
    blocks.insert(blocks.begin(), 0x0000);
    return blocks;
}

}  // namespace qelisp::test
