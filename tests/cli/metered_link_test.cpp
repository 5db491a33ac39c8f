// The console times each answer against its line's time on the wire: what an
// adapter's latency timer adds shows as extra wait.
#include "cli/run/metered_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace qelisp::cli {
namespace {

// Answers every read after `delay` with the byte it is given.
class SlowPort final : public SerialLink {
public:
    std::chrono::milliseconds delay{0};
    std::uint8_t answer = '.';
    int purge() override { return 0; }
    int readWaiting(std::span<std::uint8_t>) override { return 0; }
    int write(std::span<const std::uint8_t> bytes) override { return static_cast<int>(bytes.size()); }
    int awaitSent(std::span<std::uint8_t>) override { return 0; }
    int read(std::span<std::uint8_t> buf) override {
        std::this_thread::sleep_for(delay);
        buf[0] = answer;
        return 1;
    }
};

TEST(MeteredLink, CountsLinesAndTimesPlainAnswersOnly) {
    struct Case {
        const char* sent;
        std::uint8_t answer;
        int delayMs;
        std::uint64_t lines;
        std::uint64_t timed;
        double atLeastMs;  // the extra wait it must have seen
    };
    const Case cases[] = {
        {":00000005FB\r\n", '.', 6, 1, 1, 4.0},  // 1.2 ms on the wire, 6 ms waited
        {":00000005FB\r\n", 'E', 6, 1, 0, 0.0},  // an erase takes its own time
        {"U", 'U', 6, 0, 0, 0.0},                // the handshake is no line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        SlowPort port;
        port.delay = std::chrono::milliseconds(c.delayMs);
        port.answer = c.answer;
        MeteredLink meter(port);
        const std::string line = c.sent;
        meter.write(std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
        std::array<std::uint8_t, 1> byte{};
        meter.read(byte);
        meter.read(byte);  // a second byte answers no line: not timed
        const MeteredLink::Figures figures = meter.take();
        EXPECT_EQ(figures.lines, c.lines);
        EXPECT_EQ(figures.timedAnswers, c.timed);
        EXPECT_GE(figures.extraSeconds * 1000, c.atLeastMs);
        EXPECT_EQ(meter.take().lines, 0u) << "taking starts the count afresh";
    }
}

}  // namespace
}  // namespace qelisp::cli
