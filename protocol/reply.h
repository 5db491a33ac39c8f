#pragma once
// Judging the loader's one-byte answers, following an erase, and the 'U'
// handshake that opens every job.
#include "protocol/session.h"

#include <cstdint>

namespace qelisp {

enum ReplyResult : std::uint8_t {
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

ReplyResult WaitReply(Session& session, std::uint8_t awaited);

// Sets "Connecting...", then up to two attempts of: 1000 ms pause, purge,
// 'U', WaitReply('U'). True when either attempt was answered.
bool ConnectDevice(Session& session);

}  // namespace qelisp
