#pragma once
// The live lines at the foot of a terminal, one per port, rewritten in place,
// with lasting lines printed above them. Produces the text to write; knows
// nothing of threads or files.
#include "cli/terminal/progress_bar.h"

#include <string>
#include <vector>

namespace qelisp::cli {

struct LiveLine {
    std::string label;  // the port, padded by the caller to a common width; empty for a single port
    std::string text;   // the job's status
    int progress = 0;
    std::string clock;  // the job's time so far and, once it can be told, the time left
};

// "1:05" for a minute and five seconds.
std::string minutesAndSeconds(double seconds);

// "0:42, 1:10 left": a port's time so far and, once some pages are done,
// what the rest of its jobs will take at the pace so far. `progress` as in
// LiveLine, in the job after `jobsDone` of `jobs` (program --verify: the
// programming, then a verify over the same pages, is one estimate).
std::string jobClock(double elapsed, int progress, PageSpan span, int jobsDone = 0, int jobs = 1);

// The cursor rests at the start of the first live line, where a terminal
// that rewraps its lines on a resize (tmux, VTE, Windows Terminal) keeps it:
// the next draw erases from there to the end of the screen, however the
// lines were wrapped meanwhile. Live lines are written with auto-wrap off,
// so that each takes one row even when it reaches a terminal made narrower
// after it was cut, and the way back up to the first is one row a line.
class LiveRegion {
public:
    explicit LiveRegion(PageSpan span) : span_(span) {}

    // Replaces the live lines drawn last with `lasting` (for good) and then
    // `live`, each cut to `columns` - 1 (0 columns: unknown).
    std::string draw(const std::vector<std::string>& lasting, const std::vector<LiveLine>& live, int columns);

    // Removes the live lines; the cursor ends where the first one was.
    std::string clear();

    // One live line as drawn at `columns`.
    std::string format(const LiveLine& line, int columns) const;

private:
    PageSpan span_;
    bool shown_ = false;  // live lines are on the screen, the cursor at the first
};

}  // namespace qelisp::cli
