#pragma once
// The program's end of the cable in the pty tests: opens the slave raw and
// reads with a deadline.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace qelisp::sim::testing {

class PtyClient {
public:
    explicit PtyClient(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) return;
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;
    ~PtyClient() {
        if (fd_ >= 0) ::close(fd_);
    }

    bool isOpen() const { return fd_ >= 0; }

    void send(std::string_view bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Drops what arrived unread, as the program does before its handshake:
    // a pty keeps what the last client left unread for the next one.
    void purge() { ::tcflush(fd_, TCIOFLUSH); }

    // Up to `n` bytes, or fewer when `timeout` runs out first.
    std::string receive(std::size_t n, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (text.size() < n) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[512];
            const ssize_t got = ::read(fd_, buffer, std::min(sizeof buffer, n - text.size()));
            if (got <= 0) break;
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }

    // Sends a command and returns the answer of the expected length.
    std::string exchange(std::string_view bytes, std::size_t answerLength) {
        send(bytes);
        return receive(answerLength);
    }

private:
    int fd_ = -1;
};

}  // namespace qelisp::sim::testing
