#include "cli/append_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace qelisp::cli {

namespace {

class PosixAppendFile final : public AppendFile {
public:
    explicit PosixAppendFile(int fd) : fd_(fd) {}
    ~PosixAppendFile() override { ::close(fd_); }
    PosixAppendFile(const PosixAppendFile&) = delete;
    PosixAppendFile& operator=(const PosixAppendFile&) = delete;

    bool append(std::string_view line, std::string& error) override {
        // O_APPEND puts each write, whole, at the end of the file as it is
        // then, also with other writers.
        ssize_t n;
        do {
            n = ::write(fd_, line.data(), line.size());
        } while (n < 0 && errno == EINTR);
        if (n == static_cast<ssize_t>(line.size())) return true;
        error = n < 0 ? std::strerror(errno) : "only part of a record was written";
        return false;
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<AppendFile> AppendFile::open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<PosixAppendFile>(fd);
}

}  // namespace qelisp::cli
