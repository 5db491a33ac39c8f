#include "image/mkimage/device_memory.h"

#include <algorithm>

namespace qelisp {
namespace {

// Calls visit(blockNumber, offsetInBlock, firstIndex, count) for each piece
// of [address, address + size) that lies in one block.
template <typename Visit>
bool eachPiece(std::uint32_t address, std::size_t size, Visit&& visit) {
    for (std::size_t i = 0; i < size;) {
        const auto at = static_cast<std::uint32_t>(address + i);
        const std::size_t offset = at % kRecordDataSize;
        const std::size_t count = std::min(size - i, kRecordDataSize - offset);
        if (!visit(at / kRecordDataSize, offset, i, count)) return false;
        i += count;
    }
    return true;
}

}  // namespace

DeviceMemory::Block::Block() {
    bytes.fill(0xFF);
    lines.fill(0);
}

DeviceMemory::PutResult DeviceMemory::put(std::uint32_t address, std::span<const std::uint8_t> bytes,
                                          std::size_t line) {
    if (address >= kDeviceSpan) return {Put::OutOfRange, address, 0};
    if (bytes.size() > kDeviceSpan - address) return {Put::OutOfRange, kDeviceSpan, 0};
    PutResult result;
    eachPiece(address, bytes.size(), [&](std::uint32_t number, std::size_t offset, std::size_t, std::size_t count) {
        auto block = blocks_.find(number);
        if (block == blocks_.end()) return true;
        for (std::size_t k = offset; k < offset + count; ++k) {
            if (block->second.lines[k] != 0) {
                result = {Put::Overlap, static_cast<std::uint32_t>(number * kRecordDataSize + k),
                          block->second.lines[k]};
                return false;
            }
        }
        return true;
    });
    if (result.outcome != Put::Done) return result;
    eachPiece(address, bytes.size(),
              [&](std::uint32_t number, std::size_t offset, std::size_t first, std::size_t count) {
                  Block& block = blocks_[number];
                  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(first), count,
                              block.bytes.begin() + static_cast<std::ptrdiff_t>(offset));
                  std::fill_n(block.lines.begin() + static_cast<std::ptrdiff_t>(offset), count,
                              static_cast<std::uint32_t>(line));
                  return true;
              });
    return {};
}

std::uint32_t DeviceMemory::lineOf(std::uint32_t address) const {
    auto block = blocks_.find(address / kRecordDataSize);
    return block == blocks_.end() ? 0 : block->second.lines[address % kRecordDataSize];
}

std::uint8_t DeviceMemory::at(std::uint32_t address) const {
    auto block = blocks_.find(address / kRecordDataSize);
    return block == blocks_.end() ? 0xFF : block->second.bytes[address % kRecordDataSize];
}

std::vector<std::uint32_t> DeviceMemory::blocksWithData() const {
    // A block exists only once a byte in it was given.
    std::vector<std::uint32_t> numbers;
    for (const auto& [number, block] : blocks_) numbers.push_back(number);
    return numbers;
}

std::span<const std::uint8_t, kRecordDataSize> DeviceMemory::block(std::uint32_t blockNumber) const {
    static const Block erased;
    auto found = blocks_.find(blockNumber);
    return (found == blocks_.end() ? erased : found->second).bytes;
}

}  // namespace qelisp
