// Whatever a serial port server sends, the client's Telnet decoder and its
// Com Port Control negotiation stay in bounds, and the stream decodes the
// same however it is split across reads. The server is anyone who answers
// on the port a user named: its bytes are untrusted.
//
// Input: the first byte is where to split the rest (0: not at all); the
// rest is the server's stream.
#include "link/net/com_port_control.h"
#include "link/net/telnet_codec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

struct Decoded {
    std::vector<std::uint8_t> data;
    std::vector<qelisp::telnet::Event> events;
};

Decoded decodeInPieces(std::span<const std::uint8_t> stream, std::size_t piece) {
    Decoded out;
    qelisp::telnet::Decoder decoder;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const std::size_t n = std::min(piece, stream.size() - at);
        decoder.feed(stream.subspan(at, n), out.data, out.events);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    const std::span<const std::uint8_t> stream(bytes + 1, size - 1);
    const std::size_t piece = bytes[0] == 0 ? std::max<std::size_t>(stream.size(), 1) : bytes[0];
    const Decoded whole = decodeInPieces(stream, std::max<std::size_t>(stream.size(), 1));
    const Decoded split = decodeInPieces(stream, piece);
    // Where a read ends is the network's doing, never the meaning's (the
    // events' positions are counted per piece, so only their order and
    // content are compared).
    if (whole.data != split.data || whole.events.size() != split.events.size()) std::abort();
    for (std::size_t i = 0; i < whole.events.size(); ++i) {
        const auto& a = whole.events[i];
        const auto& b = split.events[i];
        if (a.kind != b.kind || a.option != b.option || a.payload != b.payload) std::abort();
        if (a.payload.size() > qelisp::telnet::kMaxSubnegotiation) std::abort();
    }
    if (whole.data.size() > stream.size()) std::abort();

    // The negotiation answers each command with a few bytes at most: a
    // server cannot make the client talk without end.
    qelisp::ComPortControl control;
    std::vector<std::uint8_t> out;
    control.start(out);
    for (const qelisp::telnet::Event& event : whole.events) {
        const std::size_t before = out.size();
        control.take(event, out);
        if (out.size() - before > 64) std::abort();
        const bool ended = control.state() != qelisp::ComPortControl::State::Negotiating &&
                           control.state() != qelisp::ComPortControl::State::Ready;
        if (ended && control.reason().empty()) std::abort();
    }
    return 0;
}
