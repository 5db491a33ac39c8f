#include "image/mkimage/new_file.h"

#include <cerrno>
#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace qelisp {
namespace {

std::string randomDigits() {
    // The clock joins in because some standard libraries give a fixed
    // random_device sequence; a name that is taken anyway is simply retried.
    static std::mt19937 engine(std::random_device{}() ^
                               static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(engine()));
    return text;
}

}  // namespace

NewFile createFileBeside(const std::filesystem::path& beside) {
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Appended piece by piece: GCC 12 at -O3 misreads "." + string as an
        // overlapping copy (-Wrestrict).
        std::filesystem::path path = beside;
        path += ".";
        path += randomDigits();
        path += ".tmp";
        errno = 0;
        if (FilePtr file{std::fopen(path.string().c_str(), "wbx")}) return {std::move(path), std::move(file)};
        const int reason = errno;
        std::error_code ignored;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ignored))) {
            throw std::runtime_error(reason != 0 ? std::generic_category().message(reason) : "cannot create a file");
        }
    }
    throw std::runtime_error("no free name for a temporary file after " + std::to_string(kAttempts) + " tries");
}

}  // namespace qelisp
