#pragma once
// ser2net serving serial devices (simulated instruments' ptys) on loopback,
// as a bench's serial port server does: for each device one accepter that
// speaks Telnet with RFC 2217 and one raw TCP accepter, both with nodelay,
// on ports that were free when the server was made. ser2net runs as a child
// process with a configuration written for it; stopping it drops every
// connection it holds.
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qelisp::test {

// A TCP port on 127.0.0.1 that nothing listens on now (the system's pick
// for a socket bound to port 0); 0 when none could be had.
std::uint16_t freeLoopbackPort();

// Whether TCP `port` on 127.0.0.1 is listening (Linux's /proc/net/tcp).
bool loopbackListening(std::uint16_t port);

struct ServedDevice {
    std::string device;  // the serial device ser2net opens on each connection
    std::uint16_t rfc2217Port = 0;
    std::uint16_t rawPort = 0;
};

// ser2net's YAML: two connections per device, 115200 8N1 without modem
// lines, nodelay on both accepters (ser2net otherwise holds the rest of an
// answer back until the client acknowledges its first piece) and no
// character delay (which would hold every answer a millisecond).
std::string ser2netConfig(const std::vector<ServedDevice>& devices);

class Ser2netServer {
public:
    // Picks the ports and writes the configuration; start() starts ser2net,
    // so that a port's name can be given out before anything listens there.
    Ser2netServer(std::string executable, const std::vector<std::string>& devices);
    ~Ser2netServer();  // kills ser2net if it still runs
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    // Starts ser2net and waits up to `timeout` until every accepter listens.
    // False with error() set when it did not (a port taken meanwhile, ser2net
    // refusing its configuration or not starting).
    bool start(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    const std::string& error() const { return error_; }

    // SIGKILL: the server is gone at once, its connections dropped by the
    // system, as when the bench's server dies under a job.
    void kill();

    // "rfc2217://127.0.0.1:PORT" and "tcp://127.0.0.1:PORT" for device i.
    std::string rfc2217Name(std::size_t i) const;
    std::string tcpName(std::size_t i) const;
    const std::vector<ServedDevice>& devices() const { return devices_; }

    // What ser2net printed (its log, with -d), for a failure's message.
    std::string output() const;

private:
    std::string executable_;
    std::vector<ServedDevice> devices_;
    TempDir dir_;
    std::unique_ptr<ChildProcess> process_;
    std::string error_;
};

}  // namespace qelisp::test
