#pragma once
// Lays device memory out as the program's image block: marker, model,
// version, one record per 128-byte block that holds data (ascending), the end
// marker, and 0xFF to the end.
#include <cstdint>
#include <string_view>
#include <vector>

#include "image/firmware_image.h"
#include "image/mkimage/device_memory.h"
#include "image/mkimage/input_error.h"

namespace qelisp {

inline constexpr std::string_view kDefaultMarker = "QelIsp image v1 ";
static_assert(kDefaultMarker.size() == kMarkerSize);

struct ImageTexts {
    std::string_view marker = kDefaultMarker;  // exactly 16 characters
    std::string_view model;                    // at most 15 characters
    std::string_view version;                  // at most 15 characters
};

// At most this many records fit: the last slot is needed for the end marker.
inline constexpr std::size_t kMaxRecords = kRecordSlots - 1;

// Throws InputError (for the whole file) when the firmware has no data at the
// start address or needs more than kMaxRecords records, and
// std::invalid_argument when a text does not fit its field; callers check
// texts first (see tool_options.h).
std::vector<std::uint8_t> buildImage(const DeviceMemory& memory, const ImageTexts& texts);

}  // namespace qelisp
