#include "image/mkimage/device_memory.h"

namespace qelisp {

DeviceMemory::DeviceMemory() : bytes_(kDeviceSpan, 0xFF), lines_(kDeviceSpan, 0) {}

DeviceMemory::PutResult DeviceMemory::put(std::uint32_t address, std::span<const std::uint8_t> bytes,
                                          std::size_t line) {
    if (address >= kDeviceSpan) return {Put::OutOfRange, address, 0};
    if (bytes.size() > kDeviceSpan - address) return {Put::OutOfRange, kDeviceSpan, 0};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto at = static_cast<std::uint32_t>(address + i);
        if (lines_[at] != 0) return {Put::Overlap, at, lines_[at]};
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes_[address + i] = bytes[i];
        lines_[address + i] = static_cast<std::uint32_t>(line);
    }
    return {};
}

std::vector<std::uint32_t> DeviceMemory::blocksWithData() const {
    std::vector<std::uint32_t> blocks;
    for (std::uint32_t b = 0; b < kDeviceBlocks; ++b) {
        auto first = lines_.begin() + static_cast<std::ptrdiff_t>(b * kRecordDataSize);
        for (auto it = first; it != first + kRecordDataSize; ++it) {
            if (*it != 0) {
                blocks.push_back(b);
                break;
            }
        }
    }
    return blocks;
}

std::span<const std::uint8_t, kRecordDataSize> DeviceMemory::block(std::uint32_t blockNumber) const {
    return std::span<const std::uint8_t>(bytes_).subspan(blockNumber * kRecordDataSize).first<kRecordDataSize>();
}

}  // namespace qelisp
