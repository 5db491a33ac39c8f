#include "cli/ports/port_probe.h"

#include "link/port.h"
#include "link/printable_name.h"
#include "protocol/reply.h"
#include "state/clock.h"
#include "state/job_state.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <span>
#include <string_view>
#include <thread>

namespace qelisp::cli {

namespace {

struct Greeting {
    std::string port;
    std::unique_ptr<SerialLink> link;
    JobState state;  // the handshake's own: its status text goes nowhere
    std::atomic<bool> done{false};
    bool answered = false;
    bool echoing = false;
};

// The verify job's first read request, for 03000H to 0307FH: harmless to
// the loader, which answers it with '.', 'A' and the block.
constexpr std::string_view kProbeLine = ":08000002000030000000307F17\r\n";
// Enough of the line to know it again, before any CR LF a modem may change.
constexpr std::size_t kEchoedPart = 11;
constexpr int kDrainReads = 16;

// Whether what echoed the 'U' echoes everything it is sent, as a loopback
// plug or a modem does: the line comes back where the loader answers '.'.
// A byte the loader sends unasked is no echo. What answers is read to its
// end, so the job's own 'U' finds the line quiet.
bool echoesEverything(SerialLink& link) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(kProbeLine.data());
    if (link.write(std::span(bytes, kProbeLine.size())) != static_cast<int>(kProbeLine.size())) return false;
    std::array<std::uint8_t, kEchoedPart> got{};
    std::size_t n = 0;
    while (n < got.size()) {
        const int r = link.read(std::span(got).subspan(n));
        if (r <= 0) break;
        n += static_cast<std::size_t>(r);
    }
    const bool echoing = n == got.size() && std::equal(got.begin(), got.end(), bytes);
    std::array<std::uint8_t, 300> rest{};
    int reads = 0;
    while (reads++ < kDrainReads && link.read(rest) > 0) continue;
    return echoing;
}

}  // namespace

std::string portList(const std::vector<std::string>& ports) {
    std::string text;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == ports.size() ? " and " : ", ") + printableName(ports[i]);
    }
    return text;
}

std::string searchFailure(const std::vector<std::string>& greeted, const std::vector<std::string>& answered,
                          const std::vector<std::string>& echoing) {
    if (greeted.empty()) return "no serial port can be opened";
    if (answered.empty() && !echoing.empty()) {
        return "no instrument answered on " + portList(greeted) + "; " + portList(echoing) +
               (echoing.size() == 1 ? " is a port that echoes" : " are ports that echo") +
               " everything it is sent (a loopback plug or a modem)";
    }
    if (answered.empty()) return "no instrument answered on " + portList(greeted);
    return "instruments answered on " + portList(answered) +
           "; name the one to use with --port, or give each its own --port";
}

FoundInstrument findInstrument(const std::vector<std::string>& candidates, LineTiming timing,
                               std::atomic<bool>& interrupted) {
    std::vector<std::unique_ptr<Greeting>> greetings;
    for (const std::string& port : candidates) {
        OpenResult opened = openPort(port, OpenMode::StartUp, timing);
        if (!opened.link) continue;  // held by another program, or gone: not ours to greet
        auto greeting = std::make_unique<Greeting>();
        greeting->port = port;
        greeting->link = std::move(opened.link);
        greetings.push_back(std::move(greeting));
    }

    std::vector<std::thread> threads;
    for (auto& g : greetings) {
        threads.emplace_back([&g = *g] {
            SystemClock clock;
            Session session{g.link.get(), g.state, clock};
            g.answered = ConnectDevice(session) == ConnectResult::Connected;
            if (g.answered) g.echoing = echoesEverything(*g.link);
            g.done.store(true);
        });
    }
    FoundInstrument found;
    for (auto& g : greetings) {
        while (!g->done.load()) {
            if (interrupted.load()) {
                found.interrupted = true;
                for (auto& other : greetings) other->state.cancel.store(true);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    for (auto& thread : threads) thread.join();
    if (found.interrupted) {
        found.error = "interrupted while looking for the instrument";
        return found;
    }

    std::vector<std::string> greeted;
    std::vector<std::string> answered;
    std::vector<std::string> echoing;
    for (auto& g : greetings) {
        greeted.push_back(g->port);
        if (g->answered && g->echoing) echoing.push_back(g->port);
        if (g->answered && !g->echoing) answered.push_back(g->port);
        // Not an instrument: it is not kept.
        if (g->echoing) g->answered = false;
    }
    if (answered.size() != 1) {
        found.error = searchFailure(greeted, answered, echoing);
        found.echoing = answered.empty() && !echoing.empty();
        found.several = answered.size() > 1;
        found.noPort = greeted.empty();
        return found;
    }
    for (auto& g : greetings) {
        if (g->answered) {
            found.port = g->port;
            found.link = std::move(g->link);
        }
    }
    return found;
}

}  // namespace qelisp::cli
