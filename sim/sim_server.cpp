#include "sim/sim_server.h"

#include "sim/flash_file.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace qelisp::sim {
namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;
// How often to look again for a client while nobody has the slave open: the
// master reports POLLHUP all the time then, so poll() would not wait.
constexpr std::int64_t kNoClientPauseNs = 5 * kNsPerMs;

std::int64_t monotonicNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

timespec toTimespec(std::int64_t ns) {
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

void writeToStderr(const std::string& text) {
    const std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

LoaderOptions loaderOptions(const SimOptions& options) {
    return {options.erase, options.verbose, options.log ? options.log : LogSink(writeToStderr)};
}

}  // namespace

std::unique_ptr<SimServer> SimServer::create(const SimOptions& options, std::string& error) {
    auto server = std::make_unique<SimServer>(Key{}, options);
    if (!server->setUp(options, error)) return nullptr;
    return server;
}

SimServer::SimServer(Key, const SimOptions& options)
    : options_(options),
      loader_(loaderOptions(options), options.faults),
      pacer_(options.pacing ? WirePacer::kByteTime115200 : 0),
      stream_(options.dotStream ? DotStream(*options.dotStream) : DotStream()) {}

SimServer::~SimServer() {
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool SimServer::setUp(const SimOptions& options, std::string& error) {
    if (!options.loadPath.empty()) {
        auto image = readFlashFile(options.loadPath, error);
        if (!image) return false;
        loader_.flash().load(*image);
    }
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    if (!pty_.open(error)) return false;
    if (!options.linkPath.empty() && !symlink_.make(options.linkPath, pty_.slavePath(), error)) return false;
    return true;
}

void SimServer::stop() noexcept {
    stopRequested_.store(true);
    if (wakeWrite_ >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
    }
}

SimStats SimServer::stats() const {
    std::lock_guard lock(mutex_);
    return loader_.stats();
}

std::vector<std::uint8_t> SimServer::flashCopy() const {
    std::lock_guard lock(mutex_);
    const auto bytes = loader_.flash().bytes();
    return {bytes.begin(), bytes.end()};
}

void SimServer::run() {
    if (pty_.fd() < 0) return;
    while (endReason_.load() == EndReason::Running) {
        if (stopRequested_.load()) {
            end(EndReason::Stopped);
            break;
        }
        if (!sendDue()) {
            pty_.close();
            end(EndReason::FaultHangUp);
            break;
        }
        std::array<pollfd, 2> fds{
            {{pty_.fd(), static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0}, {wakeRead_, POLLIN, 0}}};
        timespec timeout{};
        timespec* wait = nullptr;  // nothing to send: sleep until input or stop
        if (const auto next = nextWake()) {
            timeout = toTimespec(std::max<std::int64_t>(0, *next - monotonicNs()));
            wait = &timeout;
        }
        if (::ppoll(fds.data(), fds.size(), wait, nullptr) < 0) {
            if (errno == EINTR) continue;
            logLine(std::string("qelisp-sim: poll: ") + std::strerror(errno));
            end(EndReason::PortError);
            break;
        }
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        const short events = fds[0].revents;
        if (events & POLLOUT) writeBlocked_ = false;
        if (events & (POLLIN | POLLHUP | POLLERR)) {
            if (!readInput(events)) {
                if (clientPresent_) {
                    clientGone();
                    if (options_.exitOnHangup) {
                        end(EndReason::ClientHungUp);
                        break;
                    }
                }
                pauseWithoutClient();
            }
        } else {
            clientPresent_ = true;  // no hang-up reported: someone has the slave open
        }
    }
}

bool SimServer::readInput(short events) {
    std::array<std::uint8_t, 4096> buffer;
    const ssize_t n = ::read(pty_.fd(), buffer.data(), buffer.size());
    if (n > 0) {
        clientPresent_ = true;
        take(std::span(buffer).first(static_cast<std::size_t>(n)), monotonicNs());
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return !(events & (POLLHUP | POLLERR));
    return false;  // EIO (or end of file): nobody has the slave open
}

void SimServer::take(std::span<const std::uint8_t> bytes, std::int64_t readAt) {
    std::lock_guard lock(mutex_);
    Replies replies;
    for (std::uint8_t byte : bytes) {
        // The loader acts on the byte at once, but what it says goes out only
        // once this byte has come down the wire.
        const std::int64_t arrival = pacer_.arrive(readAt);
        replies.clear();
        loader_.receive(byte, replies);
        if (replies.empty()) continue;
        releaseDeferred(arrival);  // a stray byte due before this answer goes first
        schedule(replies, arrival);
    }
}

void SimServer::schedule(std::span<const Reply> replies, std::int64_t readyAt) {
    // The wire's schedule stays the instrument's; the adapter's latency
    // timer only delays when the bytes reach the program, all alike, so
    // their order holds.
    const std::int64_t held = std::int64_t{options_.latencyMs} * kNsPerMs;
    std::int64_t cursor = readyAt;
    for (auto it = replies.begin(); it != replies.end(); ++it) {
        const Reply& reply = *it;
        switch (reply.kind) {
            case Reply::Kind::Send:
                for (std::uint8_t byte : reply.bytes) {
                    const bool backToBack = pacer_.backToBack(cursor);
                    queue_.push(pacer_.send(cursor) + held, byte, backToBack);
                }
                break;
            case Reply::Kind::EraseWait:
                // The erase starts when its 'E' has gone out.
                cursor = std::max(cursor, pacer_.lastSent()) + std::int64_t{options_.eraseMs} * kNsPerMs;
                break;
            case Reply::Kind::Delay:
                cursor += std::int64_t{reply.ms} * kNsPerMs;
                // A stray byte due before this late answer is ready goes
                // out before it.
                releaseDeferred(cursor);
                break;
            case Reply::Kind::Pause:
                // Taking a place on the wire now would push back every
                // answer due meanwhile; the rest waits aside instead.
                deferred_.emplace(std::max(cursor, pacer_.lastSent()) + std::int64_t{reply.ms} * kNsPerMs,
                                  Replies(it + 1, replies.end()));
                return;
            case Reply::Kind::HangUp: queue_.pushHangUp(std::max(cursor, pacer_.lastSent()) + held); break;
            case Reply::Kind::HandshakeEchoed: stream_.start(std::max(cursor, pacer_.lastSent()) + held); break;
        }
    }
}

void SimServer::releaseDeferred(std::int64_t upTo) {
    while (!deferred_.empty() && deferred_.begin()->first <= upTo) {
        auto node = deferred_.extract(deferred_.begin());
        schedule(node.mapped(), node.key());
    }
}

std::optional<std::int64_t> SimServer::nextWake() const {
    if (writeBlocked_) return std::nullopt;  // room on the port comes first
    std::optional<std::int64_t> next;
    auto consider = [&next](std::int64_t at) { next = next ? std::min(*next, at) : at; };
    if (!queue_.empty()) consider(queue_.wakeAt());
    if (!deferred_.empty()) consider(deferred_.begin()->first);
    if (stream_.running()) consider(stream_.wakeAt(ReplyQueue::kBatchNs));
    return next;
}

bool SimServer::sendDue() {
    if (writeBlocked_) return true;
    const std::int64_t now = monotonicNs();
    releaseDeferred(now);
    std::vector<std::uint8_t> due;
    const bool hangUp = queue_.due(now, due);
    if (!due.empty()) {
        const ssize_t n = ::write(pty_.fd(), due.data(), due.size());
        std::size_t sent = n > 0 ? static_cast<std::size_t>(n) : 0;
        if (n < 0 && errno != EAGAIN && errno != EINTR) sent = due.size();  // no client: the bytes are lost
        queue_.handedOver(sent);
        if (sent < due.size()) {
            writeBlocked_ = true;  // the client is not reading; wait for room
            return true;
        }
    }
    if (hangUp) return false;
    sendStream(now);
    return true;
}

void SimServer::sendStream(std::int64_t now) {
    static constexpr std::size_t kChunk = 512;
    // A client that reads as fast as this writes must not keep the loop
    // from its input: at most this many chunks per turn.
    static constexpr int kChunksPerTurn = 64;
    static const std::vector<std::uint8_t> dots(kChunk, '.');
    for (int chunk = 0; chunk < kChunksPerTurn; ++chunk) {
        const std::uint64_t n = stream_.due(now, kChunk);
        if (n == 0) return;
        const ssize_t written = ::write(pty_.fd(), dots.data(), n);
        // What the port does not take is lost, as on a wire nobody reads:
        // the stream's schedule does not wait for the client.
        stream_.handedOver(n);
        if (written < 0 && errno != EAGAIN && errno != EINTR) return;  // no client
        if (written < static_cast<ssize_t>(n)) {
            if (stream_.fast()) {
                writeBlocked_ = true;  // full: the next dots when there is room
            } else {
                stream_.handedOver(stream_.due(now, UINT64_MAX));
            }
            return;
        }
    }
}

void SimServer::clientGone() {
    {
        std::lock_guard lock(mutex_);
        loader_.linkDropped();
    }
    queue_.clear();
    deferred_.clear();
    stream_.stop();
    writeBlocked_ = false;
    pacer_.reset();
    clientPresent_ = false;
    ::tcflush(pty_.fd(), TCIOFLUSH);  // nothing of this client for the next one
    if (options_.verbose) logLine("qelisp-sim: client closed the port");
}

void SimServer::pauseWithoutClient() {
    pollfd wake{wakeRead_, POLLIN, 0};
    const timespec pause = toTimespec(kNoClientPauseNs);
    ::ppoll(&wake, 1, &pause, nullptr);
}

void SimServer::end(EndReason reason) { endReason_.store(reason); }

void SimServer::logLine(const std::string& text) const {
    if (options_.log) {
        options_.log(text);
    } else {
        writeToStderr(text);
    }
}

}  // namespace qelisp::sim
