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
        HangUp,     // drop the line without another byte
    };
    Kind kind = Kind::Send;
    std::vector<std::uint8_t> bytes;
};

using Replies = std::vector<Reply>;

}  // namespace qelisp::sim
