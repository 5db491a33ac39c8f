#pragma once
// The firmware image block carried inside the program:
//   offset  0: 16-character marker (not read)
//   offset 16: model, 15 characters space-padded, then NUL
//   offset 32: version date, 15 characters space-padded, then NUL
//   offset 48: 8,192 record slots of 130 bytes: block number (big-endian,
//              2 bytes) and the 128 bytes that belong at block number * 128.
// The first record whose block number is 0xFFFF ends the table; all bytes
// after it are 0xFF.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qelisp {

inline constexpr std::size_t kMarkerSize = 16;
inline constexpr std::size_t kModelOffset = 16;
inline constexpr std::size_t kVersionOffset = 32;
inline constexpr std::size_t kTextFieldSize = 16;  // 15 characters and a NUL
inline constexpr std::size_t kTextLength = 15;
inline constexpr std::size_t kTableOffset = 48;
inline constexpr std::size_t kRecordSize = 130;
inline constexpr std::size_t kRecordDataSize = 128;
inline constexpr std::size_t kRecordSlots = 8192;
inline constexpr std::size_t kImageSize = kTableOffset + kRecordSize * kRecordSlots;

inline constexpr std::uint16_t kEndMarkerBlock = 0xFFFF;
inline constexpr std::uint16_t kStartBlock = 0x0060;  // device address 0x3000
inline constexpr std::uint32_t kStartAddress = std::uint32_t{kStartBlock} << 7;

// One 130-byte record of the table, viewed in place.
class ImageRecord {
public:
    explicit ImageRecord(std::span<const std::uint8_t, kRecordSize> bytes) : bytes_(bytes) {}

    std::uint16_t blockNumber() const { return static_cast<std::uint16_t>((bytes_[0] << 8) | bytes_[1]); }
    std::uint32_t address() const { return std::uint32_t{blockNumber()} << 7; }
    bool isEndMarker() const { return blockNumber() == kEndMarkerBlock; }
    std::span<const std::uint8_t, kRecordDataSize> data() const { return bytes_.subspan<2, kRecordDataSize>(); }

private:
    std::span<const std::uint8_t, kRecordSize> bytes_;
};

class FirmwareImage {
public:
    // The block must be exactly kImageSize bytes; it is not copied.
    explicit FirmwareImage(std::span<const std::uint8_t, kImageSize> block) : block_(block) {}

    // The 15-character fields, trailing spaces kept.
    std::string model() const;
    std::string version() const;

    // Record in table slot `slot` (0 to 8,191).
    ImageRecord record(std::size_t slot) const;

    // Slot of the first record, in table order, whose block number is 0x0060.
    // The search stops at the end marker or after the last slot.
    std::optional<std::size_t> findStartRecord() const;

    // Walks from slot `first` to the end marker, calling visit(record) for each
    // record before it. The walk also stops after the last slot, so a table
    // without an end marker cannot run off the block. visit returns false to
    // stop early; walk returns false then, true when the end was reached.
    template <typename Visit>
    bool walk(std::size_t first, Visit&& visit) const {
        for (std::size_t slot = first; slot < kRecordSlots; ++slot) {
            ImageRecord rec = record(slot);
            if (rec.isEndMarker()) return true;
            if (!visit(rec)) return false;
        }
        return true;
    }

    std::span<const std::uint8_t, kImageSize> bytes() const { return block_; }

private:
    std::string textField(std::size_t offset) const;

    std::span<const std::uint8_t, kImageSize> block_;
};

// The image this program was built with.
const FirmwareImage& embeddedImage();

}  // namespace qelisp
