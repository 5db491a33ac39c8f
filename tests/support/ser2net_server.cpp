#include "tests/support/ser2net_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace qelisp::test {
namespace {

constexpr const char* kLoopback = "127.0.0.1";

// ser2net keeps running when an accepter cannot listen or a line of its
// configuration is wrong; it says so in its log.
bool ser2netComplained(const std::string& log) {
    return log.find("Unable to startup network port") != std::string::npos ||
           log.find("Unknown config item") != std::string::npos;
}

}  // namespace

std::uint16_t freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

bool loopbackListening(std::uint16_t port) {
    // "  0: 0100007F:1CE8 00000000:0000 0A ...": local address and port in
    // hexadecimal, then the remote's, then the state (0A: listening).
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, localAddress, remoteAddress, state;
        fields >> slot >> localAddress >> remoteAddress >> state;
        if (localAddress == local && state == "0A") return true;
    }
    return false;
}

std::string ser2netConfig(const std::vector<ServedDevice>& devices) {
    std::ostringstream yaml;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const ServedDevice& d = devices[i];
        const auto connection = [&](const char* alias, const char* protocol, std::uint16_t port) {
            yaml << "connection: &" << alias << i << "\n"
                 << "  accepter: " << protocol << "tcp(nodelay)," << kLoopback << "," << port << "\n"
                 << "  connector: serialdev," << d.device << ",115200n81,local\n"
                 << "  options:\n"
                 << "    chardelay: false\n";
        };
        connection("rfc", "telnet(rfc2217),", d.rfc2217Port);
        connection("raw", "", d.rawPort);
    }
    return yaml.str();
}

Ser2netServer::Ser2netServer(std::string executable, const std::vector<std::string>& devices)
    : executable_(std::move(executable)) {
    // The system may hand out a port again once it is let go: each taken once.
    std::vector<std::uint16_t> taken;
    const auto another = [&] {
        std::uint16_t port = 0;
        for (int tries = 0; tries < 20 && (port == 0 || std::ranges::count(taken, port) > 0); ++tries) {
            port = freeLoopbackPort();
        }
        taken.push_back(port);
        return port;
    };
    for (const std::string& device : devices) {
        const std::uint16_t rfc2217 = another();
        devices_.push_back(ServedDevice{device, rfc2217, another()});
    }
    writeFile(dir_ / "ser2net.yaml", ser2netConfig(devices_));
}

Ser2netServer::~Ser2netServer() { kill(); }

bool Ser2netServer::start(std::chrono::milliseconds timeout) {
    for (const ServedDevice& d : devices_) {
        if (d.rfc2217Port == 0 || d.rawPort == 0) {
            error_ = "no free port on " + std::string(kLoopback);
            return false;
        }
    }
    // -n: in the foreground, as our child; -d: its log on standard output.
    process_ = std::make_unique<ChildProcess>(
        executable_, std::vector<std::string>{"-n", "-d", "-c", (dir_ / "ser2net.yaml").string()});
    if (!process_->started()) {
        error_ = process_->error();
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        bool listening = true;
        for (const ServedDevice& d : devices_) {
            listening = listening && loopbackListening(d.rfc2217Port) && loopbackListening(d.rawPort);
        }
        if (ser2netComplained(output())) {
            error_ = "ser2net: " + output();
            return false;
        }
        if (listening) return true;
        if (!process_->running() || std::chrono::steady_clock::now() >= deadline) {
            error_ = "ser2net is not listening on every port: " + output();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void Ser2netServer::kill() {
    if (!process_ || !process_->running()) return;
    process_->signal(SIGKILL);
    process_->waitForExit(std::chrono::seconds(5));
}

std::string Ser2netServer::rfc2217Name(std::size_t i) const {
    return "rfc2217://" + std::string(kLoopback) + ":" + std::to_string(devices_.at(i).rfc2217Port);
}

std::string Ser2netServer::tcpName(std::size_t i) const {
    return "tcp://" + std::string(kLoopback) + ":" + std::to_string(devices_.at(i).rawPort);
}

std::string Ser2netServer::output() const {
    return process_ ? process_->stdoutText() + process_->stderrText() : std::string();
}

}  // namespace qelisp::test
