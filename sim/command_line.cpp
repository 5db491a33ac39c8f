#include "sim/command_line.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace qelisp::sim {
namespace {

constexpr std::uint32_t kMaxEraseMs = 600'000;
// Beyond a read's 200 ms budget every reply would count as missing.
constexpr std::uint32_t kMaxLatencyMs = 1000;

std::optional<std::uint32_t> parseMs(std::string_view text, std::uint32_t max) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const char* usageText() {
    return "usage: qelisp-sim [options]\n"
           "Simulates the instrument's loader on a pseudo-terminal. The first line on\n"
           "stdout is 'pty: /dev/pts/N'; at exit a summary line follows.\n"
           "  --link PATH         make PATH a symlink to the pty (removed at exit)\n"
           "  --no-pacing         answer at memory speed instead of 115200 8N1\n"
           "  --erase-ms N        erase time between 'E' and '.' (default 2000, 0: none)\n"
           "  --latency-ms N      hold each reply N ms before it reaches the program, as a\n"
           "                      USB adapter's latency timer does (default 0, at most 1000)\n"
           "  --no-erase          acknowledge the begin line without erasing\n"
           "  --load FILE         raw flash image to start from (at most 1 MB)\n"
           "  --save FILE         write the 1 MB flash to FILE at exit\n"
           "  --fault TARGET:KIND inject a fault; repeatable. TARGET is N (the N-th\n"
           "                      command line since start, from 1), N-M (lines N to\n"
           "                      M), N- (line N and every one after it), uN (the\n"
           "                      N-th handshake 'U') or * (every command line; one *\n"
           "                      at most). A line's own fault wins over a range's,\n"
           "                      a range's over *; ranges may not overlap. KIND:\n"
           "                      silence, wrong, erase, erase-forever, erase-bad,\n"
           "                      hangup, erase-double ('E', the erase time, '.', then\n"
           "                      the normal answer), for command lines double@MS (the\n"
           "                      normal answer, then one more '.' MS ms after it,\n"
           "                      0 to 1000), xoff@MS (the normal answer, then XOFF\n"
           "                      (0x13) MS ms after it and XON (0x11) 30 ms later)\n"
           "                      and late@MS (the normal answer MS ms after the line\n"
           "                      has arrived), and for read requests corrupt, noise,\n"
           "                      no-a, short, hangup-after-ack, hangup-in-block\n"
           "  --dot-stream RATE   after each echoed 'U', send '.' unasked until the port\n"
           "                      is closed: RATE is fast (as fast as the port takes\n"
           "                      them), byte (one per byte time at 115200 8N1) or\n"
           "                      N (one every N ms, 1 to 1000); lines are still answered\n"
           "  --exit-on-hangup    exit when a client that had connected closes the port\n"
           "  --verbose           log every line and reply to stderr\n"
           "  --help              show this text\n";
}

CommandLineParse parseCommandLine(const std::vector<std::string>& args) {
    CommandLineParse result;
    CommandLine& cl = result.commandLine;
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const bool takesValue = name == "--link" || name == "--erase-ms" || name == "--latency-ms" ||
                                name == "--load" || name == "--save" || name == "--fault" || name == "--dot-stream";
        if (!takesValue && inlineValue) return fail(name + " takes no value");
        std::string value;
        if (takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return fail(name + " needs a value");
            }
            if (value.empty()) return fail(name + " needs a value");
        }

        if (name == "--help" || name == "-h") {
            cl.help = true;
        } else if (name == "--no-pacing") {
            cl.options.pacing = false;
        } else if (name == "--no-erase") {
            cl.options.erase = false;
        } else if (name == "--exit-on-hangup") {
            cl.options.exitOnHangup = true;
        } else if (name == "--verbose") {
            cl.options.verbose = true;
        } else if (name == "--link") {
            cl.options.linkPath = value;
        } else if (name == "--load") {
            cl.options.loadPath = value;
        } else if (name == "--save") {
            cl.savePath = value;
        } else if (name == "--erase-ms") {
            const auto ms = parseMs(value, kMaxEraseMs);
            if (!ms) return fail("--erase-ms wants milliseconds from 0 to 600000, not '" + value + "'");
            cl.options.eraseMs = *ms;
        } else if (name == "--latency-ms") {
            const auto ms = parseMs(value, kMaxLatencyMs);
            if (!ms) return fail("--latency-ms wants milliseconds from 0 to 1000, not '" + value + "'");
            cl.options.latencyMs = *ms;
        } else if (name == "--dot-stream") {
            const auto rate = parseDotStreamRate(value);
            if (!rate) return fail("--dot-stream wants fast, byte or milliseconds from 1 to 1000, not '" + value + "'");
            cl.options.dotStream = *rate;
        } else if (name == "--fault") {
            std::string error;
            if (!cl.options.faults.add(value, error)) return fail(error);
        } else {
            return fail("unknown option '" + args[i] + "'");
        }
    }
    result.ok = true;
    return result;
}

}  // namespace qelisp::sim
