#pragma once
// The instrument's 1 MB of device address space as the HEX file fills it:
// each byte is either given (with the HEX line that gave it) or not. Only
// the 128-byte blocks that hold data take memory, so a small or refused
// file costs little (the fuzzer makes one per input).
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "image/firmware_image.h"

namespace qelisp {

inline constexpr std::uint32_t kDeviceSpan = 0x100000;
inline constexpr std::uint32_t kDeviceBlocks = kDeviceSpan / kRecordDataSize;  // 8,192

class DeviceMemory {
public:
    enum class Put { Done, OutOfRange, Overlap };
    struct PutResult {
        Put outcome = Put::Done;
        std::uint32_t address = 0;    // first byte at fault
        std::size_t earlierLine = 0;  // for Overlap: the line that gave it first
    };

    // Gives `bytes` from `address` on, as read from HEX line `line` (1-based).
    // Writes nothing unless every byte lies in the device span and none was
    // given before.
    PutResult put(std::uint32_t address, std::span<const std::uint8_t> bytes, std::size_t line);

    bool isGiven(std::uint32_t address) const { return lineOf(address) != 0; }
    // The byte at `address`; 0xFF, the erased state, where none was given.
    std::uint8_t at(std::uint32_t address) const;

    // Blocks of 128 bytes holding at least one given byte, ascending.
    std::vector<std::uint32_t> blocksWithData() const;
    std::span<const std::uint8_t, kRecordDataSize> block(std::uint32_t blockNumber) const;

private:
    struct Block {
        Block();
        std::array<std::uint8_t, kRecordDataSize> bytes;   // 0xFF where none was given
        std::array<std::uint32_t, kRecordDataSize> lines;  // 0 where none was given
    };

    // The line that gave the byte at `address`, or 0.
    std::uint32_t lineOf(std::uint32_t address) const;

    std::map<std::uint32_t, Block> blocks_;  // by block number
};

}  // namespace qelisp
