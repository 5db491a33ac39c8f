#pragma once
// Judging the loader's one-byte answers, following an erase, and the 'U'
// handshake that opens every job.
#include "protocol/session.h"

#include <cstdint>

namespace qelisp {

enum class ReplyResult : std::uint8_t {
    ReplyOk = 0,           // the awaited byte; or '.' after an erase; or cancelled during an erase
    ReplyTimeout = 1,      // nothing within 200 ms; or a byte other than '.' after an erase; or a dead port
    ReplyUnexpected = 2,   // first byte neither the awaited one nor 'E'
    ReplyEraseFailed = 3,  // the erase wait ran out
};

inline constexpr std::uint8_t kHandshakeByte = 'U';
inline constexpr std::uint8_t kAckByte = '.';
inline constexpr std::uint8_t kEraseByte = 'E';
inline constexpr std::uint8_t kReadBackStart = 'A';

// Reads after an 'E' before the erase counts as failed: 76 x 200 ms, a little
// over 15 s.
inline constexpr int kEraseReadLimit = 75;
inline constexpr std::uint32_t kHandshakePauseMs = 1000;
// A pause looks at the cancel flag this often, so a user who gives up is
// heard within a read's time, not after the whole pause.
inline constexpr std::uint32_t kCancelCheckMs = 50;

ReplyResult WaitReply(Session& session, std::uint8_t awaited);

// What a wait came to beyond its result.
struct ReplyDetail {
    // The wait ended because the user cancelled during an erase, before any
    // byte came: the result is ReplyResult::ReplyOk, but the line was never answered.
    bool cancelled = false;
    // For any other result than ReplyResult::ReplyOk: why.
    FailureCause cause = FailureCause::None;
};

ReplyResult WaitReply(Session& session, std::uint8_t awaited, ReplyDetail& detail);

// After a job's last answer: listens one read budget more. None when nothing
// came; a byte now answers no line (StrayBytes), so the conversation was not
// what it seemed, and the job must not report success.
FailureCause NothingMoreComes(Session& session);

// Sleeps `ms` in slices of kCancelCheckMs. False when the cancel flag was
// seen set, at once or during the pause.
bool PauseUnlessCancelled(Session& session, std::uint32_t ms);

enum class ConnectResult : std::uint8_t {
    Connected = 0,
    NotConnected = 1,      // neither attempt was answered
    ConnectCancelled = 2,  // the cancel flag was seen in a pause or after a wait
};

// Sets "Connecting...", then up to two attempts of: 1000 ms pause, purge,
// 'U', WaitReply('U'). The cancel flag is looked at during each pause and
// after each wait, also after an answered one: a job cancelled while it
// connected sends nothing more.
ConnectResult ConnectDevice(Session& session);

// The same; for ConnectResult::NotConnected, `cause` says why the last attempt failed.
ConnectResult ConnectDevice(Session& session, FailureCause& cause);

}  // namespace qelisp
