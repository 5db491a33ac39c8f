#pragma once
// Wraps the port and prints every line sent and every byte received, with
// the milliseconds since the run started, for --trace. With several ports
// each line starts with its port's prefix. The lines go to a queue, so that a
// stalled reader of standard error never holds up the conversation.
#include "cli/terminal/output_queue.h"
#include "link/serial_link.h"

#include <chrono>
#include <string>

namespace qelisp::cli {

class TracingLink final : public SerialLink {
public:
    TracingLink(SerialLink& inner, OutputQueue& out, std::string prefix = {});

    int purge() override;
    int readWaiting(std::span<std::uint8_t> buf) override;
    int write(std::span<const std::uint8_t> bytes) override;
    int awaitSent(std::span<std::uint8_t> buf) override;
    int read(std::span<std::uint8_t> buf) override;
    void note(std::string_view remark) override;

private:
    void line(const char* direction, const std::string& text);

    SerialLink& inner_;
    OutputQueue& out_;
    std::string prefix_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace qelisp::cli
