#pragma once
// A serial port on a POSIX system: a tty opened exclusively, raw 8N1 at
// 115200, with every read bounded by one 200 ms deadline.
#include "link/port.h"
#include "link/serial_link.h"

#include <chrono>
#include <string>

namespace qelisp {

class PosixSerialLink final : public SerialLink {
public:
    // `wire`: false for a pseudo-terminal, which has no line to wait for.
    PosixSerialLink(int fd, bool wire) : fd_(fd), wire_(wire) {}
    ~PosixSerialLink() override;
    PosixSerialLink(const PosixSerialLink&) = delete;
    PosixSerialLink& operator=(const PosixSerialLink&) = delete;

    int purge() override;
    int readWaiting(std::span<std::uint8_t> buf) override;
    int write(std::span<const std::uint8_t> bytes) override;
    int awaitSent(std::span<std::uint8_t> buf) override;
    int read(std::span<std::uint8_t> buf) override;

private:
    int fd_;
    bool wire_;
    // When the last write began and how much it wrote: what awaitSent waits for.
    std::chrono::steady_clock::time_point writeStart_{};
    std::size_t written_ = 0;
};

// "ttyUSB0" -> "/dev/ttyUSB0"; a name with a slash is a path already.
std::string devicePath(const std::string& name);

// Why opening `path`, the port the user calls `name`, failed with errno
// `err`: the error and message openPort() gives for it.
OpenResult openFailure(const std::string& name, const std::string& path, int err);

}  // namespace qelisp
