#pragma once
// The instrument's 1 MB NOR flash: erased bytes read 0xFF and programming can
// only clear bits, so writing over unerased data leaves old & new.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qelisp::sim {

class NorFlash {
public:
    static constexpr std::uint32_t kSize = 0x100000;

    NorFlash();

    struct ProgramResult {
        std::size_t written = 0;   // bytes inside the flash that were programmed
        std::size_t unerased = 0;  // of those, bytes that did not end up equal to the data
        std::uint32_t firstUnerased = 0;
    };

    // Programs data from `address` on (new = old & data). Bytes past the end
    // of the flash are dropped.
    ProgramResult program(std::uint32_t address, std::span<const std::uint8_t> data);

    // Sets [begin, end) to 0xFF; clipped to the flash.
    void erase(std::uint32_t begin, std::uint32_t end);

    // Copies flash from `address` into `out`; past the end reads as 0xFF.
    void read(std::uint32_t address, std::span<std::uint8_t> out) const;

    // Replaces the content from address 0 with `image` (at most kSize bytes);
    // the rest is erased.
    void load(std::span<const std::uint8_t> image);

    std::span<const std::uint8_t> bytes() const { return cells_; }
    std::uint64_t bytesWritten() const { return bytesWritten_; }

private:
    std::vector<std::uint8_t> cells_;
    std::uint64_t bytesWritten_ = 0;
};

}  // namespace qelisp::sim
