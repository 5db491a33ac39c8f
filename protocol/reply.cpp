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

}  // namespace

ReplyResult WaitReply(Session& session, std::uint8_t awaited) {
    ReplyDetail detail;
    return WaitReply(session, awaited, detail);
}

ReplyResult WaitReply(Session& session, std::uint8_t awaited, ReplyDetail& detail) {
    detail = {};
    if (session.link == nullptr) {
        detail.cause = FailureCause::NoPort;
        return ReplyResult::ReplyTimeout;
    }
    bool portFailed = false;
    auto judgeAfterErase = [&](int byte) {
        if (byte == kAckByte) return ReplyResult::ReplyOk;
        detail.cause = FailureCause::WrongAnswer;
        return ReplyResult::ReplyTimeout;
    };
    int first = readByte(session, portFailed);
    if (first < 0) {
        detail.cause = portFailed ? FailureCause::PortGone : FailureCause::NoAnswer;
        return ReplyResult::ReplyTimeout;
    }
    if (first == awaited) return ReplyResult::ReplyOk;
    if (first != kEraseByte) {
        detail.cause = FailureCause::WrongAnswer;
        return ReplyResult::ReplyUnexpected;
    }

    session.state.setStatus("Erasing Flash ", StatusKind::Erasing);
    ReplyResult result = ReplyResult::ReplyOk;
    int last = -1;
    for (int i = 0;;) {
        last = readByte(session, portFailed);
        ++i;
        // A port that died cannot finish the erase; reading it 75 more times
        // would only spin.
        if (portFailed) {
            detail.cause = FailureCause::PortGone;
            return ReplyResult::ReplyTimeout;
        }
        if (i > kEraseReadLimit) {
            session.state.setStatus("Erase Flash Failer!");
            result = ReplyResult::ReplyEraseFailed;
            detail.cause = FailureCause::EraseNeverEnded;
            break;
        }
        if (i % 2 == 0) session.state.appendStatus(".");
        if (session.state.cancel.load()) {
            session.state.setStatus("User Canceled!");
            detail.cancelled = last < 0;
            break;
        }
        if (last >= 0) return judgeAfterErase(last);
    }
    // The byte of the last read, if any, decides over the limit or the cancel.
    if (last >= 0) {
        detail.cause = FailureCause::None;
        return judgeAfterErase(last);
    }
    return result;
}

FailureCause NothingMoreComes(Session& session) {
    if (session.link == nullptr) return FailureCause::NoPort;
    std::array<std::uint8_t, 32> stray{};
    const int n = session.link->read(stray);
    if (n > 0) session.link->note("unexpected: bytes after the last answer");
    if (n < 0) return FailureCause::PortGone;
    return n == 0 ? FailureCause::None : FailureCause::StrayBytes;
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
    FailureCause cause = FailureCause::None;
    return ConnectDevice(session, cause);
}

ConnectResult ConnectDevice(Session& session, FailureCause& cause) {
    session.state.setStatus("Connecting...");
    cause = FailureCause::None;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!PauseUnlessCancelled(session, kHandshakePauseMs)) return ConnectResult::ConnectCancelled;
        if (session.link == nullptr) {
            cause = FailureCause::NoPort;
            continue;
        }
        session.link->purge();
        const std::array<std::uint8_t, 1> handshake{kHandshakeByte};
        if (session.link->write(handshake) != 1) {
            cause = FailureCause::PortGone;
            continue;
        }
        ReplyDetail detail;
        const ReplyResult reply = WaitReply(session, kHandshakeByte, detail);
        // An erase wait that saw the cancel returns as answered.
        if (session.state.cancel.load()) return ConnectResult::ConnectCancelled;
        if (reply == ReplyResult::ReplyOk) return ConnectResult::Connected;
        cause = detail.cause;
    }
    return ConnectResult::NotConnected;
}

}  // namespace qelisp
