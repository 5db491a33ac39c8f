#include "image/mkimage/staged_file.h"

#include <fstream>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace qelisp {

StagedFile::StagedFile(std::filesystem::path target, std::string_view contents)
    : target_(std::move(target)), temporary_(target_.string() + ".tmp") {
    std::ofstream out(temporary_, std::ios::binary | std::ios::trunc);
    if (out) out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (out) out.close();
    if (!out) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
        throw std::runtime_error("cannot write " + temporary_.string());
    }
}

StagedFile::~StagedFile() {
    if (committed_) return;
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

void StagedFile::commit() {
    std::error_code error;
    std::filesystem::rename(temporary_, target_, error);
    if (error) throw std::runtime_error("cannot rename " + temporary_.string() + " to " + target_.string() + ": " +
                                        error.message());
    committed_ = true;
}

}  // namespace qelisp
