// What the console keeps of a run, and how it rewrites the live lines.
#include "cli/terminal/console_view.h"
#include "cli/terminal/live_region.h"
#include "cli/terminal/status_filter.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace qelisp::cli {
namespace {

// How a draw erases the live lines, from the first one's start down, and
// writes them with auto-wrap off.
const std::string kLiveErase = "\r\x1b[K\x1b[C\x1b[J\r";
const std::string kLiveWrapOff = "\x1b[?7l";
const std::string kLiveWrapOn = "\x1b[?7h";

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "|";
    return text;
}

TEST(StatusFilter, KeepsWhatMattersOnATerminalAndOnePageLineInAFile) {
    using Lines = StatusFilter::AddressLines;
    struct Step {
        StatusChange change;
        const char* terminal;  // lines kept, each followed by '|'
        const char* file;
    };
    using K = StatusKind;
    const Step run[] = {
        {{"Connecting...", K::Step, false, 0, {}}, "Connecting...|", "Connecting...|"},
        {{"Erasing Flash ", K::Erasing, false, 0, {}}, "Erasing Flash |", "Erasing Flash |"},
        {{"Erasing Flash .", K::Erasing, false, 0, {}}, "", ""},
        {{"Erasing Flash ..", K::Erasing, false, 0, {}}, "", ""},
        // The erase is over: its last state, then the first line of the page.
        {{"Writing Data To Address: 03000H", K::Address, false, 3, {}},
         "Erasing Flash ..|",
         "Erasing Flash ..|Writing Data To Address: 03000H|"},
        {{"Writing Data To Address: 03080H", K::Address, false, 3, {}}, "", ""},
        {{"Writing Data To Address: 04000H", K::Address, false, 4, {}}, "", "Writing Data To Address: 04000H|"},
        {{"Writing Data To Address: 04080H", K::Address, false, 4, {}}, "", ""},
        // A failure says where it happened.
        {{"Connecting Error 4!", K::Result, false, 4, "program again"},
         "Writing Data To Address: 04080H|Connecting Error 4!|hint: program again|",
         "Writing Data To Address: 04080H|Connecting Error 4!|hint: program again|"},
        {{"Verifying Data At Address: 72080H", K::Address, false, 0x72, {}}, "", "Verifying Data At Address: 72080H|"},
        {{"Verifying Data At Address: 72100H", K::Address, false, 0x72, {}}, "", ""},
        {{"Data Verify OK!  Time Elapsed 1.0S", K::Result, true, 0, {}},
         "Data Verify OK!  Time Elapsed 1.0S|",
         "Data Verify OK!  Time Elapsed 1.0S|"},
    };
    StatusFilter terminal(Lines::None);
    StatusFilter file(Lines::FirstOfPage);
    StatusFilter every(Lines::All);
    for (const Step& s : run) {
        EXPECT_EQ(joined(terminal.take(s.change)), s.terminal) << s.change.text;
        EXPECT_EQ(joined(file.take(s.change)), s.file) << s.change.text;
        const std::string hint = s.change.hint.empty() ? "" : "hint: " + s.change.hint + "|";
        EXPECT_EQ(joined(every.take(s.change)), s.change.text + "|" + hint);
    }
}

TEST(LiveRegion, RewritesItsLinesInPlaceWithinTheWidth) {
    LiveRegion region({3, 4});
    const LiveLine one{"", "Writing Data To Address: 03000H", 3, {}};
    EXPECT_EQ(region.format(one, 40).size(), 39u) << "never into the last column, so it never wraps";
    EXPECT_EQ(region.format(one, 120),
              "[" + std::string(20, '#') + std::string(20, ' ') + "]  50%  Writing Data To Address: 03000H");
    EXPECT_EQ(region.format({"ttyUSB10", "Writing Data To Address: 03000H", 3, {}}, 60),
              "ttyUSB10  [###    ]  50%  Writing Data To Address: 03000H")
        << "a narrow terminal gets a shorter bar, not a shorter address";
    EXPECT_EQ(region.format({"", "Writing Data To Address: 03000H", 3, "0:42, 0:42 left"}, 70),
              "[#####     ]  50%  0:42, 0:42 left  Writing Data To Address: 03000H")
        << "the clock takes its room from the bar";
    // The time so far and, once a page is done, what the rest takes at that
    // pace: with program --verify, the rest of both jobs.
    const struct {
        double elapsed;
        int progress;
        int jobsDone;
        int jobs;
        const char* clock;
    } clocks[] = {
        {5, 3, 0, 1, "0:05"},
        {42.4, 4, 0, 1, "0:42"},
        {30, 0x10, 0, 1, "0:30, 3:48 left"},
        {90, 0x72, 0, 1, "1:30, 0:01 left"},
        {30, 0x10, 0, 2, "0:30, 8:07 left"},
        {90, 0x72, 0, 2, "1:30, 1:32 left"},
        {60, 0, 1, 2, "1:00, 1:00 left"},
        {100, 0x60, 1, 2, "1:40, 0:09 left"},
    };
    for (const auto& c : clocks) {
        EXPECT_EQ(jobClock(c.elapsed, c.progress, {3, 0x72}, c.jobsDone, c.jobs), c.clock) << c.elapsed;
    }

    const std::string e = "\xc3\xa9";  // one character, two bytes
    std::string wide;
    for (int i = 0; i < 30; ++i) wide += e;
    EXPECT_EQ(region.format({wide, "Connecting...", 0, {}}, 40), wide + "  [     ]")
        << "cut at 39 characters, not bytes, and never inside one";

    // Live lines with auto-wrap off, the cursor back at the first one's start.
    const std::string& wrapOff = kLiveWrapOff;
    const std::string& wrapOn = kLiveWrapOn;
    const std::string first = region.draw({}, {one}, 40);
    EXPECT_EQ(first, wrapOff + region.format(one, 40) + "\r" + wrapOn) << "nothing to go back over yet";
    const LiveLine two{"b", "Connecting...", 0, {}};
    const std::string second = region.draw({"a: Connecting Error!"}, {one, two}, 40);
    EXPECT_EQ(second, kLiveErase + "a: Connecting Error!\n" + wrapOff + region.format(one, 40) + "\n" +
                          region.format(two, 40) + "\r\x1b[1A" + wrapOn);
    EXPECT_EQ(region.clear(), kLiveErase);
    EXPECT_EQ(region.clear(), "") << "nothing left to clear";

    // However a resize has wrapped the lines since, the cursor went with the
    // first one's start: the next draw erases from there, at any width.
    for (const int columns : {120, 80, 79, 30, 0}) {
        LiveRegion resized({3, 4});
        resized.draw({}, {one, two}, 120);
        EXPECT_EQ(resized.draw({}, {one, two}, columns).rfind(kLiveErase + wrapOff, 0), 0u) << columns;
    }
}

TEST(ConsoleView, PrefixesEachPortsLinesInAFileAndRedrawsLiveLinesOnlyWhenChanged) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    {
        OutputQueue out(log, "log", nullptr);
        ConsoleView view(out, {"ttyUSB0", "/dev/tty\x1b[2J"}, {false, false, 0, {3, 4}});
        view.status(1, {"Connecting...", StatusKind::Step, false, 0, {}});
        view.status(0, {"Writing Data To Address: 03000H", StatusKind::Address, false, 3, {}});
        view.status(0, {"Writing Data To Address: 03080H", StatusKind::Address, false, 3, {}});
        view.beep();
        view.finish();
    }
    EXPECT_EQ(test::readAndClose(log), "/dev/tty\\x1b[2J: Connecting...\nttyUSB0: Writing Data To Address: 03000H\n");

    std::FILE* tty = std::tmpfile();
    ASSERT_NE(tty, nullptr);
    {
        OutputQueue out(tty, "terminal", nullptr);
        ConsoleView view(out, {"ttyUSB0"}, {true, false, 60, {3, 4}});
        view.status(0, {"Connecting...", StatusKind::Step, false, 0, {}});
        view.refresh(60);  // drawn with the lasting line already
        view.status(0, {"Writing Data To Address: 03000H", StatusKind::Address, false, 3, {}});
        view.refresh(60);
        view.refresh(60);
        view.beep();
        view.finish();
    }
    const std::string text = test::readAndClose(tty);
    EXPECT_EQ(text.rfind("Connecting...\n\x1b[?7l[", 0), 0u) << "a single port on a terminal needs no name: " << text;
    EXPECT_EQ(text.find("Writing Data To Address: 03000H\r"), text.find("Writing Data To Address"))
        << "an address only in the live line: " << text;
    EXPECT_EQ(text.substr(text.size() - 1 - kLiveErase.size()), "\a" + kLiveErase) << "the live line goes at the end";
    std::size_t draws = 0;
    for (std::size_t at = 0; (at = text.find("\x1b[J", at)) != std::string::npos; ++at) ++draws;
    EXPECT_EQ(draws, 2u) << "one rewrite for the change, one to clear: " << text;
}

// Standard error's line on the same terminal goes above the live lines,
// which are drawn again below it; once they are gone, it is a plain line.
TEST(ConsoleView, PutsALineFromElsewhereAboveTheLiveLines) {
    std::FILE* tty = std::tmpfile();
    ASSERT_NE(tty, nullptr);
    const LiveLine line{"", "Writing Data To Address: 03000H", 3, {}};
    {
        OutputQueue out(tty, "terminal", nullptr);
        ConsoleView view(out, {"ttyUSB0"}, {true, false, 100, {3, 4}});
        view.status(0, {line.text, StatusKind::Address, false, 3, {}});
        view.refresh(100);
        view.refresh(40);  // narrower: drawn again
        view.above("qelisp-cli: ttyUSB1: no instrument answered");
        view.finish();
        view.above("qelisp-cli: after the run");
    }
    const LiveRegion region({3, 4});
    const auto live = [&](int columns) { return kLiveWrapOff + region.format(line, columns) + "\r" + kLiveWrapOn; };
    EXPECT_EQ(test::readAndClose(tty), live(100) + kLiveErase + live(40) + kLiveErase +
                                           "qelisp-cli: ttyUSB1: no instrument answered\n" + live(40) + kLiveErase +
                                           "qelisp-cli: after the run\n");
}

// A name the terminal can show in UTF-8 stays as it is, in the lasting
// lines and the live ones, padded by the characters it shows; control
// characters and bytes that are no UTF-8 are escaped however the terminal is.
TEST(ConsoleView, ShowsANameInUtf8WhereTheTerminalTakesIt) {
    const struct {
        bool utf8;
        bool live;
        const char* shown;  // what the output holds
    } cases[] = {
        {false, false, "Caf\\xc3\\xa9: Connecting...\n"}, {true, false, "Caf\xc3\xa9: Connecting...\n"},
        {true, false, "\\x1b[2J\\xff: Connecting...\n"},  {true, true, "Caf\xc3\xa9         [     ]   0%"},
        {true, true, "\\x1b[2J\\xff  [     ]   0%"},      {false, true, "Caf\\xc3\\xa9  [     ]   0%"},
    };
    for (const auto& c : cases) {
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        {
            OutputQueue out(file, "out", nullptr);
            ConsoleView view(out, {"Caf\xc3\xa9", "\x1b[2J\xff"}, {c.live, false, 60, {3, 4}, false, 1, c.utf8});
            for (std::size_t port = 0; port < 2; ++port) {
                view.status(port, {"Connecting...", StatusKind::Step, false, 0, {}});
            }
            view.refresh(60);
            view.finish();
        }
        const std::string text = test::readAndClose(file);
        EXPECT_NE(text.find(c.shown), std::string::npos) << c.shown << " in " << text;
    }
}

// program --verify: the verify's first page already has the programming's
// pace behind it; a port's first job has none yet.
TEST(ConsoleView, EstimatesAPortsJobsTogether) {
    const struct {
        int begun;
        bool left;
    } cases[] = {{1, false}, {2, true}};
    for (const auto& c : cases) {
        std::FILE* tty = std::tmpfile();
        ASSERT_NE(tty, nullptr);
        {
            OutputQueue out(tty, "terminal", nullptr);
            ConsoleView view(out, {"ttyUSB0"}, {true, false, 120, {3, 0x72}, false, 2});
            for (int job = 0; job < c.begun; ++job) {
                view.started(0, job == 0 ? JobKind::Program : JobKind::Verify);
                view.status(0, {"Verifying Data At Address: 03000H", StatusKind::Address, false, 3, {}});
            }
            view.refresh(120);
            view.finish();
        }
        const std::string text = test::readAndClose(tty);
        EXPECT_EQ(text.find(" left") != std::string::npos, c.left) << c.begun << ": " << text;
    }
}

// Jobs report on their own threads while the poll redraws: every job's
// lasting lines arrive whole, each on its own line.
TEST(ConsoleView, JobsOnTheirOwnThreadsShareIt) {
    std::FILE* tty = std::tmpfile();
    ASSERT_NE(tty, nullptr);
    {
        OutputQueue out(tty, "terminal", nullptr);
        ConsoleView view(out, {"a", "b"}, {true, false, 80, {3, 0x72}});
        std::atomic<int> running{2};
        auto job = [&](std::size_t port) {
            view.status(port, {"Connecting...", StatusKind::Step, false, 0, {}});
            for (int page = 3; page <= 0x72; ++page) {
                view.status(port, {"Writing Data To Address: 03000H", StatusKind::Address, false, page, {}});
            }
            view.status(port, {"Data Writed OK!  Time Elapsed 1.0S", StatusKind::Result, true, 0x72, {}});
            --running;
        };
        std::thread a(job, 0);
        std::thread b(job, 1);
        while (running.load() > 0) {
            view.refresh(80);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        a.join();
        b.join();
        view.finish();
    }
    // A lasting line starts a line, or follows the erase of the live lines.
    std::string text = "\n" + test::readAndClose(tty);
    for (std::size_t at; (at = text.find(kLiveErase)) != std::string::npos;) text.replace(at, kLiveErase.size(), "\n");
    for (const char* line :
         {"\na: Connecting...\n", "\nb: Connecting...\n", "\na: Data Writed OK!  Time Elapsed 1.0S\n",
          "\nb: Data Writed OK!  Time Elapsed 1.0S\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace qelisp::cli
