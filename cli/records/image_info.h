#pragma once
// What `qelisp-cli info` prints about the built-in firmware.
#include "image/firmware_image.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qelisp::cli {

struct ImageSummary {
    std::string model;  // 15 characters, trailing spaces kept
    std::string version;
    std::size_t tableRecords = 0;  // records before the end marker
    std::size_t sentRecords = 0;   // from the start record on
    std::uint32_t firstAddress = 0;
    std::uint32_t lastAddress = 0;  // last byte of the last record sent
    std::string sha256;             // of the 128-byte records sent, in order
    bool hasStart = false;
};

ImageSummary summarize(const FirmwareImage& image);
std::string formatSummary(const ImageSummary& summary);
// `qelisp-cli --version`: the program's version, then the firmware it carries.
std::string formatVersion(std::string_view programVersion, const ImageSummary& summary);

}  // namespace qelisp::cli
