#pragma once
// Writes the image block as a C++ source that defines qelisp::embeddedImage().
// The block is one brace-initialised byte array: unlike string literals (size
// limits on MSVC) or assembler includes (GCC only), every compiler takes it,
// and it compiles in a couple of seconds with modest memory.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "image/firmware_image.h"

namespace qelisp {

// `note` goes into the file's heading comment (which firmware, which texts).
std::string writeImageSource(std::span<const std::uint8_t, kImageSize> block, std::string_view note);

}  // namespace qelisp
