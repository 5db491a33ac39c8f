#include "sim/flash_file.h"

#include "sim/nor_flash.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace qelisp::sim {

std::optional<std::vector<std::uint8_t>> readFlashFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::vector<std::uint8_t> image;
    image.resize(NorFlash::kSize + 1);
    in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (in.bad()) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    image.resize(static_cast<std::size_t>(in.gcount()));
    if (image.size() > NorFlash::kSize) {
        error = path + " is larger than the 1 MB flash";
        return std::nullopt;
    }
    return image;
}

bool writeFlashFile(const std::string& path, std::span<const std::uint8_t> image, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (out) out.close();
    if (!out) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace qelisp::sim
