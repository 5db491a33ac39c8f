#include "cli/records/wait_note.h"

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

}  // namespace

std::optional<WaitNote> waitNote(const std::vector<JobRecord>& records, const std::string& adapterAdvice) {
    WaitNote note;
    double answers = 0;
    for (const JobRecord& record : records) {
        note.network = note.network || record.network;
        note.seconds += record.extraWaitSeconds;
        note.heldBackAnswers += record.heldBackAnswers;
        if (record.extraWaitMs > 0) answers += 1000.0 * record.extraWaitSeconds / record.extraWaitMs;
    }
    note.perAnswerMs = answers > 0 ? 1000.0 * note.seconds / answers : 0;
    if (!note.network) {
        if (note.perAnswerMs <= kNoticedMs) return std::nullopt;
        note.text = format("each answer waited %.1f ms longer than the wire needs: %.0f s of this run",
                           note.perAnswerMs, note.seconds) +
                    ". The USB-serial adapter holds what it receives for its latency timer; set it to 1 ms";
        note.advice = adapterAdvice;
        return note;
    }
    if (answers <= 0) return std::nullopt;
    note.text = format(
        "each answer waited %.1f ms longer than the wire needs, the network's round trip to the "
        "server: %.1f s of this run",
        note.perAnswerMs, note.seconds);
    const auto heldBackFloor =
        std::max(kHeldBackFloor, static_cast<std::uint64_t>(kHeldBackShare * static_cast<double>(answers)));
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

}  // namespace qelisp::cli
