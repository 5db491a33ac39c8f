#pragma once
// Reads the firmware file whole, but never more than a firmware can need, so
// that a wrong path (a device such as /dev/zero, a pipe, a disk image) is
// refused instead of filling memory.
#include <cstddef>
#include <string>

#include "image/mkimage/input_error.h"

namespace qelisp {

// 32 MiB: eleven times a full 1 MB device in the usual 16-byte records
// (about 2.9 MB), and still twice what it takes written one byte per record
// with CR LF (about 15.7 MB), so no real firmware comes near it.
inline constexpr std::size_t kMaxHexFileSize = std::size_t{32} << 20;

// Throws InputError (for the whole file) when `path` is a directory, cannot
// be read, or holds more than kMaxHexFileSize bytes; reading stops there.
std::string readHexFile(const std::string& path);

}  // namespace qelisp
