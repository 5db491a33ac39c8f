#include "image/mkimage/regular_output.h"

#include <system_error>

namespace qelisp {

std::optional<std::string> notRegularFile(const std::filesystem::path& path) {
    using std::filesystem::file_type;
    std::error_code error;
    switch (std::filesystem::symlink_status(path, error).type()) {
        case file_type::symlink: return "a symbolic link";
        case file_type::character: return "a character device";
        case file_type::block: return "a block device";
        case file_type::fifo: return "a FIFO";
        case file_type::socket: return "a socket";
        case file_type::unknown: return "a file of unknown kind";
        default: return std::nullopt;
    }
}

}  // namespace qelisp
