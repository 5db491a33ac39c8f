#include "link/net/network_link.h"

#include "link/printable_name.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace qelisp {

namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::chrono::nanoseconds kByteTime{kByteTimeNs};
// Answers to the server's commands are a few bytes on an idle connection:
// they go at once or the connection is broken.
constexpr milliseconds kAnswerBudget{100};
// A server without TCP_NODELAY sends the rest of an answer only once the
// first piece is acknowledged, and this side's delayed acknowledgement
// holds that back about 40 ms.
constexpr milliseconds kHeldBackMin{30};
constexpr milliseconds kHeldBackMax{60};

bool mentionsInUse(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text.find("in use") != std::string::npos;
}

}  // namespace

NetworkLink::NetworkLink(std::unique_ptr<TcpStream> stream, bool telnet, bool wire)
    : stream_(std::move(stream)), telnet_(telnet), wire_(wire) {}

NetworkLink::Opening NetworkLink::negotiate(std::chrono::milliseconds limit) {
    const auto deadline = SteadyClock::now() + limit;
    std::vector<std::uint8_t> requests;
    control_.start(requests);
    if (stream_->send(requests, SteadyClock::now() + kAnswerBudget) != static_cast<int>(requests.size())) {
        return {OpenError::Other, "the connection to the server failed as it began"};
    }
    while (control_.state() == ComPortControl::State::Negotiating) {
        const int n = pump(deadline);
        if (n < 0) return closedWhileOpening();
        if (n > 0) continue;
        const int seconds = static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(limit).count());
        const OpenError error = control_.stateAfterTimeOut() == ComPortControl::State::NotRfc2217
                                    ? OpenError::NotRfc2217
                                    : OpenError::LineSettings;
        return {error, control_.timeOutReason(seconds)};
    }
    switch (control_.state()) {
        case ComPortControl::State::NotRfc2217: return {OpenError::NotRfc2217, control_.reason()};
        case ComPortControl::State::Refused: return {OpenError::LineSettings, control_.reason()};
        default: break;
    }
    // Ready, but the last answers found the connection gone.
    if (closed_) return closedWhileOpening();
    return {};
}

NetworkLink::Opening NetworkLink::awaitEarlyClose(std::chrono::milliseconds window) {
    const auto deadline = SteadyClock::now() + window;
    for (;;) {
        const int n = pump(deadline);
        if (n < 0) return closedWhileOpening();
        if (n == 0) return {};
    }
}

// ser2net greets a second client and then says "Port already in use" and
// closes; other servers just close.
NetworkLink::Opening NetworkLink::closedWhileOpening() const {
    const std::string said(data_.begin(), data_.end());
    if (mentionsInUse(said)) return {OpenError::Busy, "port is in use by another client of the server"};
    std::string text = "the server closed the connection";
    if (!said.empty()) text += ", saying \"" + printableText(said) + "\"";
    return {OpenError::Other, text};
}

int NetworkLink::pump(SteadyTime deadline) {
    if (closed_) return -1;
    std::array<std::uint8_t, 4096> raw{};
    const int n = stream_->receive(raw, deadline);
    if (n < 0) {
        closed_ = true;
        return -1;
    }
    take(std::span(raw).first(static_cast<std::size_t>(n)));
    return closed_ ? -1 : n;
}

int NetworkLink::pumpNow() {
    std::array<std::uint8_t, 4096> raw{};
    int total = 0;
    while (!closed_) {
        const int n = stream_->receiveNow(raw);
        if (n < 0) closed_ = true;
        if (n <= 0) break;
        take(std::span(raw).first(static_cast<std::size_t>(n)));
        total += n;
    }
    return closed_ ? -1 : total;
}

void NetworkLink::take(std::span<const std::uint8_t> raw) {
    if (raw.empty()) return;
    const std::size_t queued = data_.size();
    if (!telnet_) {
        data_.insert(data_.end(), raw.begin(), raw.end());
    } else {
        std::vector<std::uint8_t> data;
        std::vector<telnet::Event> events;
        decoder_.feed(raw, data, events);
        std::vector<std::uint8_t> answers;
        std::size_t kept = 0;
        for (const telnet::Event& event : events) {
            if (purgePending_ && confirmsPurge(event)) {
                // The connection keeps the order: everything that came
                // before the confirmation is older than the purge, and
                // nothing older comes after it.
                data_.clear();
                kept = event.dataBefore;
                purgePending_ = false;
            }
            control_.take(event, answers);
        }
        data_.insert(data_.end(), data.begin() + static_cast<long>(kept), data.end());
        if (!answers.empty() &&
            stream_->send(answers, SteadyClock::now() + kAnswerBudget) != static_cast<int>(answers.size())) {
            closed_ = true;
        }
    }
    if (data_.size() > queued) lastArrival_ = SteadyClock::now();
}

std::size_t NetworkLink::handOut(std::span<std::uint8_t> buf) {
    const std::size_t n = std::min(buf.size(), data_.size());
    std::copy_n(data_.begin(), n, buf.begin());
    data_.erase(data_.begin(), data_.begin() + static_cast<long>(n));
    return n;
}

int NetworkLink::purge() {
    if (!telnet_) {
        // Only this side's queue is there to empty; the server's stays.
        const int n = pumpNow();
        data_.clear();
        return n < 0 ? 1 : 0;
    }
    if (closed_) return 1;
    const std::vector<std::uint8_t> request = purgeRequest();
    purgePending_ = true;
    if (stream_->send(request, SteadyClock::now() + kAnswerBudget) != static_cast<int>(request.size())) {
        closed_ = true;
        return 1;
    }
    const auto deadline = SteadyClock::now() + kPurgeTimeOut;
    while (purgePending_) {
        if (pump(deadline) <= 0) break;
    }
    // Unconfirmed, what came meanwhile goes all the same.
    const bool confirmed = !purgePending_;
    if (!confirmed) data_.clear();
    purgePending_ = false;
    return confirmed && !closed_ ? 0 : 1;
}

int NetworkLink::readWaiting(std::span<std::uint8_t> buf) {
    pumpNow();
    const std::size_t n = handOut(buf);
    if (n == 0 && closed_) return -1;
    return static_cast<int>(n);
}

int NetworkLink::write(std::span<const std::uint8_t> bytes) {
    writeStart_ = SteadyClock::now();
    written_ = 0;
    if (closed_) return -1;
    // 10 ms per byte plus 10 ms, as for a local port.
    const auto deadline = writeStart_ + milliseconds(10 * bytes.size() + 10);
    std::vector<std::uint8_t> wire;
    if (telnet_) {
        telnet::encodeData(bytes, wire);
    } else {
        wire.assign(bytes.begin(), bytes.end());
    }
    const int sent = stream_->send(wire, deadline);
    if (sent < 0) {
        closed_ = true;
        return -1;
    }
    // The caller's bytes that went whole (a doubled 0xFF is one of them).
    std::size_t count = 0;
    for (std::size_t used = 0; count < bytes.size(); ++count) {
        used += telnet_ && bytes[count] == telnet::kIac ? 2 : 1;
        if (used > static_cast<std::size_t>(sent)) break;
    }
    written_ = count;
    return static_cast<int>(count);
}

// The loader answers a line only once it has all of it, and the line's last
// byte leaves the server's UART no sooner than its wire time after the write
// began, whatever the network adds. Data that comes sooner answers nothing.
int NetworkLink::awaitSent(std::span<std::uint8_t> buf) {
    if (!wire_ || written_ == 0) return 0;
    const auto lineEnd = writeStart_ + kByteTime * static_cast<long>(written_);
    written_ = 0;
    for (;;) {
        if (!data_.empty()) return static_cast<int>(handOut(buf));
        if (SteadyClock::now() >= lineEnd) return 0;
        const int n = pump(lineEnd);
        if (n <= 0) return n;
        // Seen after the line could have crossed: maybe the answer. The
        // next read hands it out.
        if (!data_.empty() && SteadyClock::now() > lineEnd) return 0;
    }
}

// heldBackAnswers() counts the reads (of more than one byte: a single byte
// comes whole) in which a piece of data came 30 to 60 ms after the piece
// before it, both since the last write began, so of one answer: the
// rhythm of a server waiting for the acknowledgement of its first piece.
int NetworkLink::read(std::span<std::uint8_t> buf) {
    const auto deadline = SteadyClock::now() + milliseconds(kReadBudgetMs);
    std::size_t got = handOut(buf);
    bool heldBack = false;
    while (got < buf.size() && !closed_) {
        const SteadyTime before = lastArrival_;
        if (pump(deadline) <= 0) break;
        if (data_.empty()) continue;  // only commands came
        const auto gap = lastArrival_ - before;
        if (buf.size() > 1 && before >= writeStart_ && gap >= kHeldBackMin && gap <= kHeldBackMax) heldBack = true;
        got += handOut(buf.subspan(got));
    }
    if (heldBack) ++heldBack_;
    if (got == 0 && closed_) return -1;
    return static_cast<int>(got);
}

}  // namespace qelisp
