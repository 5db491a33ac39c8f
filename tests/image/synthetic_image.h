#pragma once
// A hand-laid image block for the reader tests: header texts and records
// placed slot by slot, everything else 0xFF as in a built image.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "image/firmware_image.h"

namespace qelisp::test {

class SyntheticImage {
public:
    SyntheticImage() : bytes_(kImageSize, 0xFF) {
        text(0, "synthetic image ", kMarkerSize);
        text(kModelOffset, "QX-TEST", kTextLength);
        text(kVersionOffset, "2001.02.03", kTextLength);
    }

    // Record in `slot`: block number, then 128 bytes counting up from `seed`.
    SyntheticImage& record(std::size_t slot, std::uint16_t block, std::uint8_t seed = 0) {
        auto at = bytes_.begin() + static_cast<std::ptrdiff_t>(kTableOffset + slot * kRecordSize);
        at[0] = static_cast<std::uint8_t>(block >> 8);
        at[1] = static_cast<std::uint8_t>(block);
        for (std::size_t i = 0; i < kRecordDataSize; ++i) at[2 + i] = static_cast<std::uint8_t>(seed + i);
        return *this;
    }

    // Field at `offset`: `value`, spaces up to `width`, and a NUL after a
    // 15-character field.
    SyntheticImage& text(std::size_t offset, std::string_view value, std::size_t width) {
        auto at = bytes_.begin() + static_cast<std::ptrdiff_t>(offset);
        std::fill_n(std::copy(value.begin(), value.end(), at), width - value.size(), ' ');
        if (width == kTextLength) at[kTextLength] = 0;
        return *this;
    }

    FirmwareImage image() const { return FirmwareImage(std::span<const std::uint8_t, kImageSize>(bytes_)); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace qelisp::test
