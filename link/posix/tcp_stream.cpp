// TCP with POSIX sockets: non-blocking throughout, every wait a ppoll
// against the caller's deadline.
#include "link/net/tcp_stream.h"

#include "link/net/connect_failure.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace qelisp {

namespace {

using SteadyClock = std::chrono::steady_clock;

// 1 when `fd` is ready for `events` (or has an error to report), 0 when the
// deadline passed first, -1 when polling failed.
int waitReady(int fd, short events, SteadyTime deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - SteadyClock::now()).count();
        if (left <= 0) return 0;
        const timespec timeout{static_cast<time_t>(left / 1'000'000'000), static_cast<long>(left % 1'000'000'000)};
        pollfd pfd{fd, events, 0};
        const int r = ::ppoll(&pfd, 1, &timeout, nullptr);
        if (r < 0 && errno == EINTR) continue;
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
}

class PosixTcpStream final : public TcpStream {
public:
    explicit PosixTcpStream(int fd) : fd_(fd) {}
    ~PosixTcpStream() override { ::close(fd_); }
    PosixTcpStream(const PosixTcpStream&) = delete;
    PosixTcpStream& operator=(const PosixTcpStream&) = delete;

    int send(std::span<const std::uint8_t> bytes, SteadyTime deadline) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            // A peer that went away is an error here, not SIGPIPE.
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return done > 0 ? static_cast<int>(done) : -1;
            const int r = waitReady(fd_, POLLOUT, deadline);
            if (r < 0) return done > 0 ? static_cast<int>(done) : -1;
            if (r == 0) break;
        }
        return static_cast<int>(done);
    }

    int receive(std::span<std::uint8_t> buf, SteadyTime deadline) override {
        for (;;) {
            const int n = receiveNow(buf);
            if (n != 0 || buf.empty()) return n;
            const int r = waitReady(fd_, POLLIN, deadline);
            if (r <= 0) return r;
        }
    }

    int receiveNow(std::span<std::uint8_t> buf) override {
        if (buf.empty()) return 0;
        for (;;) {
            const ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
            if (n > 0) return static_cast<int>(n);
            if (n == 0) return -1;  // the server closed the connection
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
        }
    }

private:
    int fd_;
};

// Every answer is a byte or a short block and every line waits for the one
// before: Nagle's algorithm would only hold lines back. Keepalive notices a
// server that vanished without a word while the conversation is idle.
void tune(int fd) {
    const int on = 1;
    (void)setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    (void)setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    const int idle = 5;
    const int interval = 1;
    const int count = 3;
    (void)setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    (void)setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    (void)setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

// 0 once connected, ETIMEDOUT when the deadline passed, else the errno.
int connectBy(int fd, const addrinfo& address, SteadyTime deadline) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) return 0;
    if (errno != EINPROGRESS && errno != EINTR) return errno;
    const int r = waitReady(fd, POLLOUT, deadline);
    if (r == 0) return ETIMEDOUT;
    if (r < 0) return errno;
    int err = 0;
    socklen_t size = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0) return errno;
    return err;
}

}  // namespace

TcpConnectResult connectTcp(const std::string& host, std::uint16_t port) {
    const auto deadline = SteadyClock::now() + kConnectTimeOut;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int gai = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (gai != 0) {
        const std::string detail = gai == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(gai);
        return connectFailed(OpenError::HostNotFound, host, port, detail);
    }
    // Each address the name has, in the resolver's order ("localhost" is ::1
    // and 127.0.0.1, a server may listen on one only), all within one time-out.
    bool refused = false;
    int lastError = 0;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        const int fd =
            ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        const int err = connectBy(fd, *address, deadline);
        if (err == 0) {
            ::freeaddrinfo(found);
            tune(fd);
            TcpConnectResult result;
            result.stream = std::make_unique<PosixTcpStream>(fd);
            return result;
        }
        ::close(fd);
        if (err == ECONNREFUSED) refused = true;
        lastError = err;
        if (err == ETIMEDOUT) break;
    }
    ::freeaddrinfo(found);
    if (refused) return connectFailed(OpenError::Refused, host, port);
    switch (lastError) {
        case ETIMEDOUT: return connectFailed(OpenError::NoServer, host, port);
        case EHOSTUNREACH:
        case ENETUNREACH:
        case EHOSTDOWN: return connectFailed(OpenError::NoServer, host, port, std::strerror(lastError));
        default: return connectFailed(OpenError::Other, host, port, std::strerror(lastError));
    }
}

}  // namespace qelisp
