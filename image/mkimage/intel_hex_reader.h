#pragma once
// Reads a firmware in Intel HEX form into device memory. Record types 00
// (data), 01 (end of file), 02 (extended segment address) and 04 (extended
// linear address) are understood. The start address records 03 and 05 that
// toolchains (objcopy, srec_cat) write are checked for their form and then
// ignored: they say where a CPU starts, not what the flash holds. Anything
// else is refused rather than guessed at, since a wrong byte here is a wrong
// byte in the instrument. Digits of either case, LF or CR LF line ends.
#include <cstdint>
#include <string_view>

#include "image/mkimage/device_memory.h"
#include "image/mkimage/input_error.h"

namespace qelisp {

// A HEX file's record types. The loader's command lines have the same form
// but numbers of their own (protocol/command_record.h: 02 asks for a read).
enum class HexRecordType : std::uint8_t {
    Data = 0x00,
    EndOfFile = 0x01,
    ExtendedSegment = 0x02,
    StartSegment = 0x03,
    ExtendedLinear = 0x04,
    StartLinear = 0x05,
};

// Throws InputError naming the offending line.
DeviceMemory readIntelHex(std::string_view text);

}  // namespace qelisp
