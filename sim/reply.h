#pragma once
// What the loader does in answer to input, in order. The loader has no clock;
// whoever runs it decides how long an erase lasts and when bytes go out.
#include <cstdint>
#include <vector>

namespace qelisp::sim {

struct Reply {
    enum class Kind {
        Send,       // send `bytes`
        EraseWait,  // let the erase time pass before the next reply
        // Let `ms` pass from the line's arrival before the replies that
        // follow. Unlike a Pause they keep their place in the conversation:
        // answers to lines that arrive meanwhile wait behind them.
        Delay,
        // Let `ms` pass once the bytes before have gone out, then the rest.
        // What follows is off the conversation's timeline: it holds back no
        // answer to a line that arrives meanwhile.
        Pause,
        HangUp,  // drop the line without another byte
        // Sends nothing: marks where a handshake's echoed 'U' ends, which is
        // where an unasked stream of dots starts.
        HandshakeEchoed,
    };
    Kind kind = Kind::Send;
    std::vector<std::uint8_t> bytes;
    std::uint32_t ms = 0;  // Delay, Pause
};

using Replies = std::vector<Reply>;

}  // namespace qelisp::sim
