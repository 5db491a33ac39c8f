#include "image/mkimage/hex_file.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "image/mkimage/file_ptr.h"

namespace qelisp {

std::string readHexFile(const std::string& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        throw InputError(InputError::kWholeFile, "is a directory, not an Intel HEX file");
    }
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw InputError(InputError::kWholeFile, "cannot read the file");

    std::string text;
    char chunk[65536];
    while (std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get())) {
        if (got > kMaxHexFileSize - text.size()) {
            throw InputError(InputError::kWholeFile, "more than " + std::to_string(kMaxHexFileSize >> 20) +
                                                         " MiB; an Intel HEX file for the 1 MB device needs far less "
                                                         "(about 2.9 MB when full), so this is not a firmware file");
        }
        text.append(chunk, got);
    }
    if (std::ferror(file.get())) throw InputError(InputError::kWholeFile, "cannot read the file");
    return text;
}

}  // namespace qelisp
