#include "protocol/reply.h"

#include <array>

namespace qelisp {

namespace {

// One byte within the read budget: the byte, or -1 for nothing (or a dead
// port, which the caller cannot tell apart from silence and need not).
int readByte(Session& session, bool& portFailed) {
    if (session.link == nullptr) {
        portFailed = true;
        return -1;
    }
    std::array<std::uint8_t, 1> byte{};
    int n = session.link->read(byte);
    if (n < 0) portFailed = true;
    return n == 1 ? byte[0] : -1;
}

ReplyResult judgeAfterErase(int byte) { return byte == kAckByte ? ReplyOk : ReplyTimeout; }

}  // namespace

ReplyResult WaitReply(Session& session, std::uint8_t awaited) {
    bool cancelled = false;
    return WaitReply(session, awaited, cancelled);
}

ReplyResult WaitReply(Session& session, std::uint8_t awaited, bool& cancelled) {
    cancelled = false;
    bool portFailed = false;
    int first = readByte(session, portFailed);
    if (first < 0) return ReplyTimeout;
    if (first == awaited) return ReplyOk;
    if (first != kEraseByte) return ReplyUnexpected;

    session.state.setStatus("Erasing Flash ");
    ReplyResult result = ReplyOk;
    int last = -1;
    for (int i = 0;;) {
        last = readByte(session, portFailed);
        ++i;
        // A port that died cannot finish the erase; reading it 75 more times
        // would only spin.
        if (portFailed) return ReplyTimeout;
        if (i > kEraseReadLimit) {
            session.state.setStatus("Erase Flash Failer!");
            result = ReplyEraseFailed;
            break;
        }
        if (i % 2 == 0) session.state.appendStatus(".");
        if (session.state.cancel.load()) {
            session.state.setStatus("User Canceled!");
            cancelled = last < 0;
            break;
        }
        if (last >= 0) return judgeAfterErase(last);
    }
    // The byte of the last read, if any, decides over the limit or the cancel.
    if (last >= 0) return judgeAfterErase(last);
    return result;
}

bool NothingMoreComes(Session& session) {
    if (session.link == nullptr) return false;
    std::array<std::uint8_t, 32> stray{};
    const int n = session.link->read(stray);
    if (n > 0) session.link->note("unexpected: bytes after the last answer");
    return n == 0;
}

bool PauseUnlessCancelled(Session& session, std::uint32_t ms) {
    for (;;) {
        if (session.state.cancel.load()) return false;
        if (ms == 0) return true;
        const std::uint32_t slice = ms < kCancelCheckMs ? ms : kCancelCheckMs;
        session.clock.sleepMs(slice);
        ms -= slice;
    }
}

ConnectResult ConnectDevice(Session& session) {
    session.state.setStatus("Connecting...");
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!PauseUnlessCancelled(session, kHandshakePauseMs)) return ConnectCancelled;
        if (session.link == nullptr) continue;
        session.link->purge();
        const std::array<std::uint8_t, 1> handshake{kHandshakeByte};
        if (session.link->write(handshake) != 1) continue;
        const ReplyResult reply = WaitReply(session, kHandshakeByte);
        // An erase wait that saw the cancel returns as answered.
        if (session.state.cancel.load()) return ConnectCancelled;
        if (reply == ReplyOk) return Connected;
    }
    return NotConnected;
}

}  // namespace qelisp
