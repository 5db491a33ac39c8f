#pragma once
// The one connection to the instrument: purge, write and read with the loader's
// fixed time-outs. Backends live in posix/ and win32/; everything above this
// header sees only this interface.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qelisp {

// Every read returns within this budget, however many bytes were asked for.
inline constexpr int kReadBudgetMs = 200;

// One byte on the wire at 115200 baud 8N1 (start, 8 data and stop bits), in
// nanoseconds.
inline constexpr std::int64_t kByteTimeNs = 1'000'000'000LL * 10 / 115200;

class SerialLink {
public:
    virtual ~SerialLink() = default;

    // Discards both the transmit and the receive queue. Returns 0 on success.
    virtual int purge() = 0;

    // Reads, without waiting, what has arrived and not been read yet (at most
    // buf.size() bytes). Asking costs one query of the driver's count, and no
    // more when it is 0, so the conversation asks before every line: an answer
    // is due only after a line, and whatever is waiting then answers nothing.
    // Returns the count (0: nothing waiting), or -1 when the port failed.
    virtual int readWaiting(std::span<std::uint8_t> buf) = 0;

    // Writes the whole buffer. Returns the number of bytes written, which is
    // less than bytes.size() when the write time-out (10 ms per byte + 10 ms)
    // ran out, or -1 when the port failed.
    virtual int write(std::span<const std::uint8_t> bytes) = 0;

    // After a write: waits as long as the written bytes may still be on their
    // way out, and reads what arrived meanwhile (at most buf.size() bytes).
    // The loader answers a line only once it has all of it, so such bytes
    // answer nothing. A port without a wire (a pseudo-terminal hands the whole
    // line over at once) returns 0 at once. Never holds up the answer: a byte
    // seen after the line could have crossed is left for read() (or kept and
    // handed out first by the next read() or readWaiting()). Returns the
    // count (0: nothing came), or -1 when the port failed.
    virtual int awaitSent(std::span<std::uint8_t> buf) = 0;

    // Reads up to buf.size() bytes within one 200 ms budget. Returns the count
    // received (0 when nothing came in time), or -1 when the port failed, for
    // example because the adapter was unplugged: callers never spin on it.
    virtual int read(std::span<std::uint8_t> buf) = 0;

    // What the conversation made of the bytes, for whoever watches it (the
    // console's trace); the port itself has nothing to do with it.
    virtual void note(std::string_view /*remark*/) {}

    // Whether the port is across a network (rfc2217:// or tcp://): every
    // answer then also waits for the network's round trip, which is not an
    // adapter's latency timer.
    virtual bool network() const { return false; }

    // A network port: how many answers so far came in pieces held back about
    // 40 ms each, the mark of a server that sends the rest of an answer only
    // once the client acknowledged the first piece (ser2net without its
    // nodelay option). 0 for a local port.
    virtual std::uint64_t heldBackAnswers() const { return 0; }
};

}  // namespace qelisp
