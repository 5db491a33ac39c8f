#include "cli/port_probe.h"

#include "link/port.h"
#include "link/printable_name.h"
#include "protocol/reply.h"
#include "state/clock.h"
#include "state/job_state.h"

#include <chrono>
#include <thread>

namespace qelisp::cli {

namespace {

struct Greeting {
    std::string port;
    std::unique_ptr<SerialLink> link;
    JobState state;  // the handshake's own: its status text goes nowhere
    std::atomic<bool> done{false};
    bool answered = false;
};

}  // namespace

std::string portList(const std::vector<std::string>& ports) {
    std::string text;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == ports.size() ? " and " : ", ") + printableName(ports[i]);
    }
    return text;
}

std::string searchFailure(const std::vector<std::string>& greeted, const std::vector<std::string>& answered) {
    if (greeted.empty()) return "no serial port can be opened";
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
    for (auto& g : greetings) {
        greeted.push_back(g->port);
        if (g->answered) answered.push_back(g->port);
    }
    if (answered.size() != 1) {
        found.error = searchFailure(greeted, answered);
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
