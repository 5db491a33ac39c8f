#include "cli/records/append_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#endif

#include <array>
#include <cerrno>
#include <cstring>

namespace qelisp::cli {

namespace {

// A character device that is a terminal or serial port, told without
// opening it: opening a serial port raises its DTR line, which resets some
// instruments.
bool terminalDevice(dev_t device) {
#ifdef __linux__
    // Pseudo-terminals (136 to 143) are in no sysfs class; the other
    // terminals and the serial ports are in "tty".
    if (major(device) >= 136 && major(device) <= 143) return true;
    const std::string link =
        "/sys/dev/char/" + std::to_string(major(device)) + ":" + std::to_string(minor(device)) + "/subsystem";
    std::array<char, 256> target{};
    const ssize_t n = ::readlink(link.c_str(), target.data(), target.size() - 1);
    return n > 4 && std::string_view(target.data(), static_cast<std::size_t>(n)).ends_with("/tty");
#else
    (void)device;
    return false;
#endif
}

std::string whatItIs(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return "a directory";
    if (S_ISFIFO(info.st_mode)) return "a FIFO";
    if (S_ISSOCK(info.st_mode)) return "a socket";
    if (S_ISCHR(info.st_mode)) return terminalDevice(info.st_rdev) ? "a terminal or serial port" : "a device";
    if (S_ISBLK(info.st_mode)) return "a disk device";
    return "no regular file";
}

// The file's lock for as long as the object lives. Where the file system
// has no locks the record is still appended in one write.
class FileLock {
public:
    explicit FileLock(int fd) : fd_(fd) {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FileLock() { ::flock(fd_, LOCK_UN); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

class PosixAppendFile final : public AppendFile {
public:
    explicit PosixAppendFile(int fd) : fd_(fd) {}
    ~PosixAppendFile() override { ::close(fd_); }
    PosixAppendFile(const PosixAppendFile&) = delete;
    PosixAppendFile& operator=(const PosixAppendFile&) = delete;

    bool append(std::string_view line, std::string& error) override {
        const FileLock lock(fd_);
        const off_t before = ::lseek(fd_, 0, SEEK_END);
        if (before < 0) {
            error = std::strerror(errno);
            return false;
        }
        // A line torn by an older program, or a file edited by hand, would
        // glue this record to its last line.
        std::string text;
        char last = '\n';
        if (before > 0 && ::pread(fd_, &last, 1, before - 1) == 1 && last != '\n') text = "\n";
        text.append(line);
        // O_APPEND puts each write at the end of the file as it is then.
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                error = n < 0 ? std::strerror(errno) : "nothing was written";
                // Half a record would spoil the line the next one is put on.
                if (done > 0 && ::ftruncate(fd_, before) != 0) {
                    error += std::string("; the part written stays in the file: ") + std::strerror(errno);
                }
                return false;
            }
        }
        return true;
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<AppendFile> AppendFile::open(const std::string& path, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = notAFile(whatItIs(info));
        return nullptr;
    }
    // Without blocking: a FIFO put there since would otherwise wait for a reader.
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) {
        const int openError = errno;
        error = ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) ? notAFile(whatItIs(info))
                                                                           : std::strerror(openError);
        return nullptr;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = notAFile(whatItIs(info));
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, O_APPEND);
    return std::make_unique<PosixAppendFile>(fd);
}

}  // namespace qelisp::cli
