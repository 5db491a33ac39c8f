#pragma once
// A serial port on a POSIX system: a tty opened exclusively, raw 8N1 at
// 115200, with every read bounded by one 200 ms deadline.
#include "link/serial_link.h"

#include <string>

namespace qelisp {

class PosixSerialLink final : public SerialLink {
public:
    explicit PosixSerialLink(int fd) : fd_(fd) {}
    ~PosixSerialLink() override;
    PosixSerialLink(const PosixSerialLink&) = delete;
    PosixSerialLink& operator=(const PosixSerialLink&) = delete;

    int purge() override;
    int discardInput() override;
    int write(std::span<const std::uint8_t> bytes) override;
    int read(std::span<std::uint8_t> buf) override;

private:
    int fd_;
};

// "ttyUSB0" -> "/dev/ttyUSB0"; a name with a slash is a path already.
std::string devicePath(const std::string& name);

}  // namespace qelisp
