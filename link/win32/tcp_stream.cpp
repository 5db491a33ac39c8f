// TCP with Winsock 2: non-blocking throughout, every wait a select against
// the caller's deadline (select takes microseconds; WSAPoll only
// milliseconds).
#include "link/net/tcp_stream.h"

#include "link/net/connect_failure.h"
#include "link/win32/windows_api.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <algorithm>
#include <array>
#include <limits>
#include <string>

namespace qelisp {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Winsock wants WSAStartup before the first call; once per process is enough
// and it is never undone (the process's end does that).
bool winsockStarted() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// The system's own words for a Winsock error, without the trailing line break.
std::string socketMessage(int err) {
    std::array<char, 256> text{};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(err), 0, text.data(), static_cast<DWORD>(text.size()), nullptr);
    std::string message(text.data(), n);
    while (!message.empty() &&
           (message.back() == '\r' || message.back() == '\n' || message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) message = "Winsock error " + std::to_string(err);
    return message;
}

// 1 when `s` is ready to read (or write), or has failed; 0 when the deadline
// passed first; -1 when select failed.
int waitReady(SOCKET s, bool write, SteadyTime deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - SteadyClock::now()).count();
    if (left <= 0) return 0;
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval timeout{static_cast<long>(left / 1'000'000), static_cast<long>(left % 1'000'000)};
    // The first argument is ignored by Winsock.
    const int r = ::select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &timeout);
    if (r == SOCKET_ERROR) return -1;
    return r > 0 ? 1 : 0;
}

int clampedSize(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

class WinsockTcpStream final : public TcpStream {
public:
    explicit WinsockTcpStream(SOCKET s) : socket_(s) {}
    ~WinsockTcpStream() override { ::closesocket(socket_); }
    WinsockTcpStream(const WinsockTcpStream&) = delete;
    WinsockTcpStream& operator=(const WinsockTcpStream&) = delete;

    int send(std::span<const std::uint8_t> bytes, SteadyTime deadline) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const int n = ::send(socket_, reinterpret_cast<const char*>(bytes.data() + done),
                                 clampedSize(bytes.size() - done), 0);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
                return done > 0 ? static_cast<int>(done) : -1;
            }
            const int r = waitReady(socket_, true, deadline);
            if (r < 0) return done > 0 ? static_cast<int>(done) : -1;
            if (r == 0) break;
        }
        return static_cast<int>(done);
    }

    int receive(std::span<std::uint8_t> buf, SteadyTime deadline) override {
        for (;;) {
            const int n = receiveNow(buf);
            if (n != 0 || buf.empty()) return n;
            const int r = waitReady(socket_, false, deadline);
            if (r <= 0) return r;
        }
    }

    int receiveNow(std::span<std::uint8_t> buf) override {
        if (buf.empty()) return 0;
        const int n = ::recv(socket_, reinterpret_cast<char*>(buf.data()), clampedSize(buf.size()), 0);
        if (n > 0) return n;
        if (n == 0) return -1;  // the server closed the connection
        return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
    }

private:
    SOCKET socket_;
};

// Every answer is a byte or a short block and every line waits for the one
// before: Nagle's algorithm would only hold lines back.
void tune(SOCKET s) {
    const BOOL on = TRUE;
    (void)setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    (void)setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
}

// 0 once connected, WSAETIMEDOUT when the deadline passed, else the error.
int connectBy(SOCKET s, const addrinfo& address, SteadyTime deadline) {
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return WSAGetLastError();
    if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return 0;
    const int err = WSAGetLastError();
    if (err != WSAEWOULDBLOCK) return err;
    // A refused connection shows in the failed set, a made one in the
    // writable set; SO_ERROR tells them apart.
    const int r = waitReady(s, true, deadline);
    if (r == 0) return WSAETIMEDOUT;
    if (r < 0) return WSAGetLastError();
    int result = 0;
    int size = sizeof result;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result), &size) != 0) return WSAGetLastError();
    return result;
}

}  // namespace

TcpConnectResult connectTcp(const std::string& host, std::uint16_t port) {
    if (!winsockStarted()) return connectFailed(OpenError::Other, host, port, "Winsock did not start");
    const auto deadline = SteadyClock::now() + kConnectTimeOut;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int gai = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (gai != 0) return connectFailed(OpenError::HostNotFound, host, port, socketMessage(gai));
    // Each address the name has, in the resolver's order, all within one
    // time-out.
    bool refused = false;
    int lastError = 0;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        // Not inherited by a program this one starts.
        const SOCKET s = ::WSASocketW(address->ai_family, address->ai_socktype, address->ai_protocol, nullptr, 0,
                                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
        if (s == INVALID_SOCKET) {
            lastError = WSAGetLastError();
            continue;
        }
        const int err = connectBy(s, *address, deadline);
        if (err == 0) {
            ::freeaddrinfo(found);
            tune(s);
            TcpConnectResult result;
            result.stream = std::make_unique<WinsockTcpStream>(s);
            return result;
        }
        ::closesocket(s);
        if (err == WSAECONNREFUSED) refused = true;
        lastError = err;
        if (err == WSAETIMEDOUT) break;
    }
    ::freeaddrinfo(found);
    if (refused) return connectFailed(OpenError::Refused, host, port);
    switch (lastError) {
        case WSAETIMEDOUT: return connectFailed(OpenError::NoServer, host, port);
        case WSAEHOSTUNREACH:
        case WSAENETUNREACH:
        case WSAEHOSTDOWN: return connectFailed(OpenError::NoServer, host, port, socketMessage(lastError));
        default: return connectFailed(OpenError::Other, host, port, socketMessage(lastError));
    }
}

}  // namespace qelisp
