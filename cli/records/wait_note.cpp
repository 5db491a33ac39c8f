#include "cli/records/wait_note.h"

#include "cli/records/listed_adapter.h"
#include "link/printable_name.h"

#include <algorithm>
#include <cstdio>

namespace qelisp::cli {

namespace {

// Below this a local port's answers come as fast as the loader gives them.
constexpr double kNoticedMs = 2.0;
// A stall now and then is the network's; this share of held-back answers is
// the server's habit.
constexpr std::uint64_t kHeldBackFloor = 10;
constexpr double kHeldBackShare = 0.02;

std::string format(const char* pattern, double a, double b) {
    char text[200];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

// One port's waits over its jobs.
struct Waits {
    bool network = false;
    double answers = 0;
    double seconds = 0;
    std::uint64_t heldBackAnswers = 0;
    double perAnswerMs() const { return answers > 0 ? 1000.0 * seconds / answers : 0; }
    bool adapterNoticed() const { return !network && perAnswerMs() > kNoticedMs; }
};

Waits waitsOf(const std::vector<JobRecord>& records) {
    Waits waits;
    for (const JobRecord& record : records) {
        waits.network = waits.network || record.network;
        waits.seconds += record.extraWaitSeconds;
        waits.heldBackAnswers += record.heldBackAnswers;
        if (record.extraWaitMs > 0) waits.answers += 1000.0 * record.extraWaitSeconds / record.extraWaitMs;
    }
    return waits;
}

std::optional<WaitNote> networkNote(const Waits& waits, WaitNote note) {
    if (waits.answers <= 0) return std::nullopt;
    note.text = format(
        "each answer waited %.1f ms longer than the wire needs, the network's round trip to the "
        "server: %.1f s of this run",
        note.perAnswerMs, note.seconds);
    const auto heldBackFloor = std::max(kHeldBackFloor, static_cast<std::uint64_t>(kHeldBackShare * waits.answers));
    if (note.heldBackAnswers >= heldBackFloor) {
        note.text += "; " + std::to_string(note.heldBackAnswers) +
                     " answers came in pieces about 40 ms apart: the server sends the rest of an answer only "
                     "once this client has acknowledged the first piece";
        note.advice = "give the server's accepter its nodelay option (ser2net: telnet(rfc2217),tcp(nodelay),...)";
    } else if (note.perAnswerMs > kNoticedMs) {
        // ser2net waits two characters' time, at least 1 ms, after each byte
        // from the instrument before it sends on: 3 to 5 ms on every answer.
        note.advice =
            "a round trip this long on a bench network is the server's own wait before it sends on: ser2net "
            "waits after each byte unless the connection's options say chardelay: false";
    }
    return note;
}

std::optional<WaitNote> noteOf(const Waits& waits, const PortInfo* adapter, const AdapterAdvice& advice) {
    WaitNote note;
    note.network = waits.network;
    note.perAnswerMs = waits.perAnswerMs();
    note.seconds = waits.seconds;
    note.heldBackAnswers = waits.heldBackAnswers;
    if (note.network) return networkNote(waits, note);
    if (!waits.adapterNoticed() || !adapter) return std::nullopt;
    note.text = format("%.1f ms each (%.0f s of this run)", note.perAnswerMs, note.seconds);
    note.advice = advice({*adapter});
    return note;
}

}  // namespace

std::optional<WaitNote> waitNote(const std::vector<JobRecord>& records, const PortInfo* adapter,
                                 const AdapterAdvice& advice) {
    return noteOf(waitsOf(records), adapter, advice);
}

RunWaitNotes runWaitNotes(const std::vector<PortWaits>& ports, const std::function<std::vector<PortInfo>()>& listed,
                          const AdapterAdvice& advice) {
    RunWaitNotes notes;
    std::optional<std::vector<PortInfo>> known;
    std::vector<PortInfo> adapters;
    std::string figures;  // "ttyUSB0 16.1 ms each (61 s of this run), ..."
    for (const PortWaits& port : ports) {
        const Waits waits = waitsOf(port.records);
        const PortInfo* adapter = nullptr;
        if (waits.adapterNoticed()) {
            if (!known) known = listed();
            adapter = listedAdapter(port.name, *known);
        }
        std::optional<WaitNote> note = noteOf(waits, adapter, advice);
        if (note && note->network) {
            notes.lines.push_back(printableName(port.name) + ": " + note->text +
                                  (note->advice.empty() ? "" : ": " + note->advice));
        } else if (note) {
            adapters.push_back(*adapter);
            figures += (figures.empty() ? "" : ", ") + printableName(port.name) + " " + note->text;
        }
        notes.ports.push_back(std::move(note));
    }
    // One note for every adapter: the same cause, and on Linux one command
    // sets all their timers.
    if (!adapters.empty()) {
        notes.lines.push_back(std::string(adapters.size() == 1 ? "the USB adapter" : "the USB adapters") +
                              " held each answer longer than the wire needs: " + figures + "; " + advice(adapters));
    }
    return notes;
}

}  // namespace qelisp::cli
