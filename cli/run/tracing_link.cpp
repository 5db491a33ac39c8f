#include "cli/run/tracing_link.h"

#include "protocol/hex_line.h"

#include <cstdio>

namespace qelisp::cli {

TracingLink::TracingLink(SerialLink& inner, OutputQueue& out, std::string prefix)
    : inner_(inner), out_(out), prefix_(std::move(prefix)), start_(std::chrono::steady_clock::now()) {}

void TracingLink::line(const char* direction, const std::string& text) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%8.3f] ", static_cast<double>(ms.count()) / 1000.0);
    out_.append(prefix_ + stamp + direction + " " + text + "\n");
}

int TracingLink::purge() {
    int result = inner_.purge();
    line("--", result == 0 ? "purge" : "purge failed");
    return result;
}

int TracingLink::readWaiting(std::span<std::uint8_t> buf) {
    // Silent when nothing waits: it is asked before every line.
    int n = inner_.readWaiting(buf);
    if (n > 0) line("<<", printableBytes(buf.first(static_cast<std::size_t>(n))) + "  (waiting before the line)");
    if (n < 0) line("<<", "(port failed)");
    return n;
}

int TracingLink::awaitSent(std::span<std::uint8_t> buf) {
    int n = inner_.awaitSent(buf);
    if (n > 0) line("<<", printableBytes(buf.first(static_cast<std::size_t>(n))) + "  (while the line went out)");
    if (n < 0) line("<<", "(port failed)");
    return n;
}

void TracingLink::note(std::string_view remark) { line("!!", std::string(remark)); }

int TracingLink::write(std::span<const std::uint8_t> bytes) {
    int n = inner_.write(bytes);
    std::string note = n == static_cast<int>(bytes.size())
                           ? ""
                           : "  (write " + std::to_string(n) + " of " + std::to_string(bytes.size()) + ")";
    line(">>", printableBytes(bytes) + note);
    return n;
}

int TracingLink::read(std::span<std::uint8_t> buf) {
    int n = inner_.read(buf);
    if (n > 0) {
        line("<<", printableBytes(buf.first(static_cast<std::size_t>(n))));
    } else if (n == 0) {
        line("<<", "(nothing within 200 ms)");
    } else {
        line("<<", "(port failed)");
    }
    return n;
}

}  // namespace qelisp::cli
