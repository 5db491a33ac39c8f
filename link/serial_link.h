#pragma once
// The one connection to the instrument: purge, write and read with the loader's
// fixed time-outs. Backends live in posix/ and win32/; everything above this
// header sees only this interface.
#include <cstddef>
#include <cstdint>
#include <span>

namespace qelisp {

// Every read returns within this budget, however many bytes were asked for.
inline constexpr int kReadBudgetMs = 200;

class SerialLink {
public:
    virtual ~SerialLink() = default;

    // Discards both the transmit and the receive queue. Returns 0 on success.
    virtual int purge() = 0;

    // Drops whatever has arrived and not been read yet; the transmit side is
    // left alone. Called before each command line goes out, so that only a
    // byte that came after the line can answer it. Returns 0 on success.
    virtual int discardInput() = 0;

    // Writes the whole buffer. Returns the number of bytes written, which is
    // less than bytes.size() when the write time-out (10 ms per byte + 10 ms)
    // ran out, or -1 when the port failed.
    virtual int write(std::span<const std::uint8_t> bytes) = 0;

    // Reads up to buf.size() bytes within one 200 ms budget. Returns the count
    // received (0 when nothing came in time), or -1 when the port failed, for
    // example because the adapter was unplugged: callers never spin on it.
    virtual int read(std::span<std::uint8_t> buf) = 0;
};

}  // namespace qelisp
