#pragma once
// The simulated instrument on a pseudo-terminal: the loader state machine
// behind a pty master, with wire-speed pacing, erase time, hang-up detection
// and fault injection. Runs on the caller's thread until stop() or a hang-up;
// usable in-process (tests, the console program's --simulate) or from
// qelisp-sim.
#include "sim/dot_stream.h"
#include "sim/fault_plan.h"
#include "sim/loader.h"
#include "sim/port_symlink.h"
#include "sim/pty_port.h"
#include "sim/reply_queue.h"
#include "sim/sim_stats.h"
#include "sim/wire_pacer.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qelisp::sim {

struct SimOptions {
    std::string linkPath;          // symlink to the pty slave; none when empty
    bool pacing = true;            // 115200 8N1 wire speed in both directions
    std::uint32_t eraseMs = 2000;  // time between 'E' and '.' of an erase
    // Each reply is held this long before the program can read it, as a USB
    // adapter's latency timer holds the bytes it has received.
    std::uint32_t latencyMs = 0;
    bool erase = true;     // false: the begin line is acknowledged without erasing
    std::string loadPath;  // raw flash image to start from; erased flash when empty
    FaultPlan faults;
    // A stream of '.' nobody asked for after each echoed 'U'; none when empty.
    std::optional<DotStreamRate> dotStream;
    bool exitOnHangup = false;  // end run() when a client that had connected closes the port
    bool verbose = false;       // log every line and reply
    LogSink log;                // log lines (violations, verbose); stderr when empty
};

class SimServer {
    struct Key {
        explicit Key() = default;
    };

public:
    enum class EndReason { Running, Stopped, ClientHungUp, FaultHangUp, PortError };

    // Opens the pty (and the symlink, and loads the flash). Null and `error`
    // on failure.
    static std::unique_ptr<SimServer> create(const SimOptions& options, std::string& error);

    SimServer(Key, const SimOptions& options);
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;
    ~SimServer();

    const std::string& ptyPath() const { return pty_.slavePath(); }

    // Serves the pty until stop(), a hang-up fault, or (with exitOnHangup)
    // the client closing the port. Call once.
    void run();

    // Thread-safe and async-signal-safe: a flag and a byte down a pipe.
    void stop() noexcept;

    EndReason endReason() const { return endReason_.load(); }
    SimStats stats() const;
    std::vector<std::uint8_t> flashCopy() const;

private:
    bool setUp(const SimOptions& options, std::string& error);
    void take(std::span<const std::uint8_t> bytes, std::int64_t readAt);
    void schedule(std::span<const Reply> replies, std::int64_t readyAt);
    void releaseDeferred(std::int64_t upTo);
    std::optional<std::int64_t> nextWake() const;
    bool sendDue();  // false: the line is to be dropped (hang-up fault)
    void sendStream(std::int64_t now);
    bool readInput(short revents);  // false: no client on the slave
    void clientGone();
    void pauseWithoutClient();
    void end(EndReason reason);
    void logLine(const std::string& text) const;

    SimOptions options_;
    PtyPort pty_;
    PortSymlink symlink_;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;

    mutable std::mutex mutex_;  // guards loader_ against stats() and flashCopy()
    Loader loader_;

    WirePacer pacer_;
    ReplyQueue queue_;  // monotonic ns
    // Replies after a pause, by when they are ready; they go on the wire's
    // schedule only then, so that they hold back no answer due before.
    std::multimap<std::int64_t, Replies> deferred_;
    DotStream stream_;
    bool writeBlocked_ = false;
    bool clientPresent_ = false;  // a client has had the slave open since the last hang-up
    std::atomic<bool> stopRequested_{false};
    std::atomic<EndReason> endReason_{EndReason::Running};
};

}  // namespace qelisp::sim
