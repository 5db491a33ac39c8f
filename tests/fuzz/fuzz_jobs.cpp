// Whatever the loader says, an update job ends, clears busy, shows one of its
// own texts, and never reports success unless the loader answered every line
// it sent exactly once. The fuzzer plays the loader over the scripted fake
// link in virtual time, so the erase waits and handshake pauses cost
// nothing; a line takes its time on the wire, so bytes can arrive while one
// is going out.
//
// Input: the first byte picks the job (bit 0: 0 program, 1 verify). Then one
// directive per thing the job sends (the 'U' or a command line):
//   0x00-0x3F  the right answer: 'U', '.', or '.', 'A' and the block as hex;
//   0x40-0x5F  the right answer followed by d - 0x3F spare '.';
//   0x60-0x7F  the right answer, then d - 0x5F spare '.' that arrive while
//              the next line is going out;
//   0x80-0xFF  raw: with the next byte a 15-bit count ((d & 0x7F) << 8 | next)
//              of bytes that follow: '~' is a read that finds nothing, 0xFF
//              the user cancelling, 0xFE the adapter pulled out, 0xFD puts
//              the bytes after it on the wire while the next line goes out,
//              any other byte is sent as it is.
// When the input runs out the loader falls silent.
#include "jobs/job_context.h"
#include "jobs/program_job.h"
#include "jobs/verify_job.h"
#include "protocol/command_record.h"
#include "protocol/hex_line.h"
#include "protocol/reply.h"
#include "tests/support/fake_link.h"
#include "tests/support/test_image.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <regex>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace qelisp;

constexpr std::uint8_t kQuiet = '~';
constexpr std::uint8_t kCancel = 0xFF;
constexpr std::uint8_t kPortDies = 0xFE;
constexpr std::uint8_t kWhileNextLine = 0xFD;

// Two pages: four records on page 03, one on page 04.
const test::OwnedImage& image() {
    static const test::OwnedImage owned(test::makeImageBlock({0x0000, 0x0060, 0x0061, 0x0062, 0x0063, 0x0080}));
    return owned;
}

[[noreturn]] void violated(const char* property, const std::string& detail) {
    std::fprintf(stderr, "property violated: %s: %s\n", property, detail.c_str());
    std::abort();
}

std::string readBackText(std::uint32_t address) {
    std::string text = "A";
    for (std::uint8_t b : test::blockData(static_cast<std::uint16_t>(address >> 7))) appendHexByte(text, b);
    return text;
}

std::optional<std::uint32_t> readRequestAddress(const std::string& line) {
    HexLineParse parsed = parseHexLine(line);
    if (!parsed.line || parsed.line->type != 0x02 || parsed.line->data.size() != 8) return std::nullopt;
    const auto& d = parsed.line->data;
    return (std::uint32_t{d[0]} << 24) | (std::uint32_t{d[1]} << 16) | (std::uint32_t{d[2]} << 8) | d[3];
}

// One answer as the loader scripted it: what follows a single write.
struct Answer {
    std::vector<std::uint8_t> steps;  // bytes, with kQuiet, kCancel and kPortDies as above
};

// Would this answer alone satisfy a wait for `awaited`? The awaited byte
// first, or 'E', at most 75 quiet reads, then '.'. A cancel is transparent
// here (it ends the job anyway); a dead port is no answer.
bool acknowledges(const Answer& answer, std::uint8_t awaited) {
    std::vector<std::uint8_t> s;
    for (std::uint8_t b : answer.steps) {
        if (b != kCancel) s.push_back(b);
    }
    if (s.empty()) return false;
    if (s[0] == awaited) return true;
    if (s[0] != kEraseByte) return false;
    std::size_t i = 1;
    while (i < s.size() && s[i] == kQuiet && i <= static_cast<std::size_t>(kEraseReadLimit)) ++i;
    return i < s.size() && s[i] == kAckByte;
}

// Is this answer one answer to its line, and nothing more? The bytes the
// link delivers (quiet reads and the user's cancel are no bytes) must be the
// awaited byte, or 'E' and '.'; for a read request then any bytes but 'A',
// 'A' and at most the 256 characters (a short block is a wrong answer, read
// again, not a second one). Nothing may come while the next line goes out. After the job's last line, what comes after
// a quiet read is past the program's listening and not held against it.
bool oneAnswer(const Answer& answer, std::uint8_t awaited, bool readRequest, bool last) {
    // The bytes as they arrive, with a quiet read as kQuiet between them.
    std::vector<std::uint8_t> s;
    bool inFlight = false;
    for (std::uint8_t b : answer.steps) {
        if (b == kWhileNextLine) {
            inFlight = true;
        } else if (b == kCancel || b == kPortDies || (inFlight && b == kQuiet)) {
            continue;
        } else if (inFlight) {
            // It comes while the next line goes out: a stray byte. After the
            // last line nothing goes out, and it never comes.
            if (last) break;
            return false;
        } else {
            s.push_back(b);
        }
    }
    std::size_t at = 0;
    auto skipQuiet = [&] {
        while (at < s.size() && s[at] == kQuiet) ++at;
    };
    if (at < s.size() && s[at] == awaited) {
        ++at;
    } else if (at < s.size() && s[at] == kEraseByte) {
        ++at;
        skipQuiet();
        if (at == s.size() || s[at] != kAckByte) return false;
        ++at;
    } else {
        return false;
    }
    if (readRequest) {
        while (at < s.size() && s[at] != kReadBackStart) ++at;
        if (at == s.size()) return false;
        std::size_t block = 0;
        for (++at; at < s.size() && s[at] != kQuiet && block < 256; ++at) ++block;
    }
    // What is left must hold no byte, or after the last line none before a
    // quiet read: past it the program no longer listens.
    for (; at < s.size(); ++at) {
        if (s[at] == kQuiet) {
            if (last) return true;
            continue;
        }
        return false;
    }
    return true;
}

class ScriptedLoader {
public:
    ScriptedLoader(std::span<const std::uint8_t> input, test::FakeLink& link, JobState& state)
        : input_(input), link_(link), state_(state) {}

    void onWrite(const std::string& bytes) {
        Answer answer = next(bytes);
        bool inFlight = false;
        for (std::uint8_t b : answer.steps) {
            if (b == kWhileNextLine) {
                inFlight = true;
            } else if (inFlight && b != kQuiet && b != kCancel && b != kPortDies) {
                link_.whileSending(std::string(1, static_cast<char>(b)));
            } else if (b == kQuiet) {
                link_.silence();
            } else if (b == kCancel) {
                link_.act([this] {
                    if (!state_.cancel) writesBeforeCancel = written.size();
                    state_.cancel = true;
                });
            } else if (b == kPortDies) {
                link_.fail();
            } else {
                link_.reply(std::string(1, static_cast<char>(b)));
            }
        }
        written.push_back(bytes);
        answers.push_back(std::move(answer));
    }

    std::vector<std::string> written;    // every write, the 'U's included
    std::vector<Answer> answers;         // the answer scripted after each
    std::size_t writesBeforeCancel = 0;  // when the user cancelled, if they did

private:
    Answer next(const std::string& bytes) {
        Answer answer;
        if (pos_ >= input_.size()) return answer;
        const std::uint8_t d = input_[pos_++];
        if (d >= 0x80) {
            const std::size_t count = pos_ < input_.size() ? ((d & 0x7Fu) << 8) | input_[pos_++] : 0;
            const std::size_t n = std::min(count, input_.size() - pos_);
            answer.steps.assign(input_.begin() + static_cast<long>(pos_), input_.begin() + static_cast<long>(pos_ + n));
            pos_ += n;
            return answer;
        }
        std::string right = bytes == "U" ? "U" : ".";
        if (auto address = readRequestAddress(bytes)) right += readBackText(*address);
        if (d >= 0x60) {
            right += static_cast<char>(kWhileNextLine) + std::string(d - 0x5Fu, '.');
        } else if (d >= 0x40) {
            right += std::string(d - 0x3Fu, '.');
        }
        answer.steps.assign(right.begin(), right.end());
        return answer;
    }

    std::span<const std::uint8_t> input_;
    test::FakeLink& link_;
    JobState& state_;
    std::size_t pos_ = 0;
};

struct Outcome {
    std::string status;
    std::vector<std::string> statuses;
    int beeps = 0;
    bool busy = true;
    bool cancel = false;
    int progress = -1;
    std::uint32_t elapsedMs = 0;
    std::size_t writesBeforeCancel = 0;
    std::vector<std::string> written;
    std::vector<Answer> answers;
};

bool matches(const std::string& text, const std::regex& pattern) { return std::regex_match(text, pattern); }

Outcome run(bool program, std::span<const std::uint8_t> script) {
    test::VirtualClock clock;
    test::FakeLink link(clock);
    JobState state;
    ScriptedLoader loader(script, link, state);
    Outcome outcome;
    link.onWrite = [&](const std::string& bytes) { loader.onWrite(bytes); };
    state.setStatusListener([&](const std::string& text) { outcome.statuses.push_back(text); });
    state.busy = true;
    JobContext context{Session{&link, state, clock}, image().image, [&] { ++outcome.beeps; }};
    program ? ProgramJob(context) : VerifyJob(context);
    outcome.status = state.status();
    outcome.busy = state.busy;
    outcome.cancel = state.cancel;
    outcome.progress = state.progress;
    outcome.elapsedMs = clock.now;
    outcome.writesBeforeCancel = loader.writesBeforeCancel;
    outcome.written = std::move(loader.written);
    outcome.answers = std::move(loader.answers);
    return outcome;
}

// The command lines of a run in which every answer is right.
const std::vector<std::string>& cleanLines(bool program) {
    auto lines = [](bool p) {
        const std::uint8_t allRight[64] = {};
        Outcome o = run(p, allRight);
        if (o.status.rfind(p ? "Data Writed OK!" : "Data Verify OK!", 0) != 0) violated("a clean run", o.status);
        return std::vector<std::string>(o.written.begin() + 1, o.written.end());
    };
    static const std::vector<std::string> programLines = lines(true);
    static const std::vector<std::string> verifyLines = lines(false);
    return program ? programLines : verifyLines;
}

void check(bool program, const Outcome& o) {
    if (o.busy) violated("busy cleared", o.status);

    // Every text the job showed is one of its own.
    static const std::regex common("Connecting\\.\\.\\.|Erasing Flash \\.{0,37}|Erase Flash Failer!|User Canceled!?");
    static const std::regex programTexts(
        "Writing Data To Address: 0[3-4][0-9A-F]{3}H|Connecting Error( [1-4])?!|"
        "Data Writed OK!  Time Elapsed [0-9]+\\.[0-9]S");
    static const std::regex verifyTexts(
        "Verifying Data At Address: 0[3-4][0-9A-F]{3}H|Connecting Error(11|33)!|Verify Error At: 0[3-4][0-9A-F]{3}H|"
        "Data Verify OK!  Time Elapsed [0-9]+\\.[0-9]S");
    for (const std::string& text : o.statuses) {
        if (!matches(text, common) && !matches(text, program ? programTexts : verifyTexts)) {
            violated("a text of the job's own", printableBytes(text));
        }
    }
    static const std::regex programEnds("Connecting Error( [1-4])?!|User Canceled|Data Writed OK!.*");
    static const std::regex verifyEnds("Connecting Error(11|33)!|User Canceled|Verify Error At: .*|Data Verify OK!.*");
    if (!matches(o.status, program ? programEnds : verifyEnds)) violated("a final text", o.status);

    // A loud end beeps once and puts the bar back; only a refused begin line
    // ends quietly, before the bar ever moved.
    if (o.beeps > 1 || (o.beeps == 0 && !(program && o.status == "Connecting Error!"))) {
        violated("one beep at a loud end", o.status);
    }
    if (o.progress != 0) violated("progress back at 0", o.status);

    // Bounded in virtual time: two handshakes with erases, then per line at
    // most an erase wait plus, for a request, the wait for 'A' and the block.
    const std::size_t lines = o.written.size();
    const std::uint32_t bound = 2 * (kHandshakePauseMs + 77 * kReadBudgetMs) +
                                static_cast<std::uint32_t>(lines) * (77 + 10 + 1) * kReadBudgetMs;
    if (o.elapsedMs > bound) violated("bounded time", std::to_string(o.elapsedMs) + " ms");

    // Once the user has cancelled, nothing more goes out; but an update whose
    // final page end was answered is closed with its end line.
    const bool closing = program && o.writesBeforeCancel + 1 == o.written.size() &&
                         o.written.back() == std::string(kEndOfFileLine) &&
                         o.written[o.writesBeforeCancel - 1] == std::string(kPageEndLine);
    if (o.cancel && o.written.size() != o.writesBeforeCancel && !closing) {
        violated("nothing after a cancel", printableBytes(o.written[o.writesBeforeCancel]));
    }
    // A cancel that came once the last line (for the program: the final page
    // end) was out finds the work done; any other ends the job cancelled or
    // failed.
    const bool workDone = o.writesBeforeCancel + (program ? 1 : 0) >= lines;
    const bool success = o.status.rfind(program ? "Data Writed OK!" : "Data Verify OK!", 0) == 0;
    if (o.cancel && !workDone && o.status != "User Canceled" && o.status.rfind("Connecting Error", 0) != 0 &&
        o.status.rfind("Verify Error", 0) != 0) {
        violated("a cancelled job ends cancelled or failed", o.status);
    }

    // After a line that had no answer of its own, nothing more goes out.
    for (std::size_t i = 0; i < lines; ++i) {
        if (o.written[i] == "U") continue;
        if (!acknowledges(o.answers[i], kAckByte) && i + 1 != lines) {
            violated("nothing after an unanswered line", printableBytes(o.written[i]));
        }
    }

    if (!success) return;
    if (o.cancel && !workDone) violated("no success after a cancel", o.status);
    if (o.beeps != 1) violated("success beeps", o.status);
    std::vector<std::string> sent;
    std::size_t lastU = 0;
    for (std::size_t i = 0; i < lines; ++i) {
        if (o.written[i] == "U") lastU = i;
    }
    for (std::size_t i = lastU; i < lines; ++i) {
        const bool handshake = i == lastU;
        if (!handshake) sent.push_back(o.written[i]);
        const bool request = !handshake && readRequestAddress(o.written[i]).has_value();
        if (!oneAnswer(o.answers[i], handshake ? kHandshakeByte : kAckByte, request, i + 1 == lines)) {
            violated("success needs every line answered exactly once", printableBytes(o.written[i]));
        }
    }
    if (program) {
        if (sent != cleanLines(true)) violated("success sends the whole run", std::to_string(sent.size()) + " lines");
        return;
    }
    // Verify: every block was read back right at least once, from the answer
    // to its own request, as 'A' and 256 hex digits of either case.
    for (const std::string& request : cleanLines(false)) {
        const std::string want = readBackText(*readRequestAddress(request));
        bool seen = false;
        for (std::size_t i = 0; i < lines && !seen; ++i) {
            if (o.written[i] != request) continue;
            const auto& steps = o.answers[i].steps;
            std::string text(steps.begin(), steps.end());
            for (std::size_t at = text.find('A'); at != std::string::npos && !seen; at = text.find('A', at + 1)) {
                seen =
                    text.size() - at >= want.size() && strncasecmp(text.c_str() + at, want.c_str(), want.size()) == 0;
            }
        }
        if (!seen) violated("success needs every block read back right", printableBytes(request));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool program = (data[0] & 1) == 0;
    check(program, run(program, std::span(data + 1, size - 1)));
    return 0;
}
