#include "sim/nor_flash.h"

#include <algorithm>

namespace qelisp::sim {

NorFlash::NorFlash() : cells_(kSize, 0xFF) {}

NorFlash::ProgramResult NorFlash::program(std::uint32_t address, std::span<const std::uint8_t> data) {
    ProgramResult result;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint64_t at = std::uint64_t{address} + i;
        if (at >= kSize) break;
        std::uint8_t& cell = cells_[at];
        cell = static_cast<std::uint8_t>(cell & data[i]);
        if (cell != data[i] && result.unerased++ == 0) {
            result.firstUnerased = static_cast<std::uint32_t>(at);
        }
        ++result.written;
    }
    bytesWritten_ += result.written;
    return result;
}

void NorFlash::erase(std::uint32_t begin, std::uint32_t end) {
    begin = std::min(begin, kSize);
    end = std::min(end, kSize);
    if (begin < end) std::fill(cells_.begin() + begin, cells_.begin() + end, std::uint8_t{0xFF});
}

void NorFlash::read(std::uint32_t address, std::span<std::uint8_t> out) const {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint64_t at = std::uint64_t{address} + i;
        out[i] = at < kSize ? cells_[at] : std::uint8_t{0xFF};
    }
}

void NorFlash::load(std::span<const std::uint8_t> image) {
    const std::size_t n = std::min<std::size_t>(image.size(), kSize);
    std::copy_n(image.begin(), n, cells_.begin());
    std::fill(cells_.begin() + n, cells_.end(), std::uint8_t{0xFF});
}

}  // namespace qelisp::sim
