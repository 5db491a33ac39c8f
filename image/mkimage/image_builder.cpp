#include "image/mkimage/image_builder.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace qelisp {
namespace {

void putText(std::vector<std::uint8_t>& block, std::size_t offset, std::string_view text, std::size_t width) {
    std::copy(text.begin(), text.end(), block.begin() + static_cast<std::ptrdiff_t>(offset));
    std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(offset + text.size()), width - text.size(), ' ');
}

void putTextField(std::vector<std::uint8_t>& block, std::size_t offset, std::string_view text, const char* name) {
    if (text.size() > kTextLength) throw std::invalid_argument(std::string(name) + " longer than 15 characters");
    putText(block, offset, text, kTextLength);
    block[offset + kTextLength] = 0;
}

}  // namespace

std::vector<std::uint8_t> buildImage(const DeviceMemory& memory, const ImageTexts& texts) {
    if (texts.marker.size() != kMarkerSize) throw std::invalid_argument("marker is not 16 characters");
    if (!memory.isGiven(kStartAddress)) {
        throw InputError(InputError::kWholeFile, "no data at device address 0x03000, where the program starts writing");
    }
    const std::vector<std::uint32_t> blocks = memory.blocksWithData();
    if (blocks.size() > kMaxRecords) {
        throw InputError(InputError::kWholeFile, "data in " + std::to_string(blocks.size()) +
                                                     " blocks of 128 bytes; the image has room for " +
                                                     std::to_string(kMaxRecords) + " and the end marker");
    }

    // Everything not written below (end marker, fill) stays 0xFF.
    std::vector<std::uint8_t> block(kImageSize, 0xFF);
    putText(block, 0, texts.marker, kMarkerSize);
    putTextField(block, kModelOffset, texts.model, "model");
    putTextField(block, kVersionOffset, texts.version, "version");

    auto slot = block.begin() + static_cast<std::ptrdiff_t>(kTableOffset);
    for (std::uint32_t number : blocks) {
        slot[0] = static_cast<std::uint8_t>(number >> 8);
        slot[1] = static_cast<std::uint8_t>(number);
        std::ranges::copy(memory.block(number), slot + 2);
        slot += kRecordSize;
    }
    return block;
}

}  // namespace qelisp
