#pragma once
// What the console shows while jobs run, one job per port. On a terminal:
// one live line per port (its status and bar, rewritten in place) under the
// lines worth keeping. Into a file or pipe: the lines worth keeping and one
// address line per 4 KB page, each prefixed with its port.
#include "cli/terminal/job_view.h"
#include "cli/terminal/live_region.h"
#include "cli/terminal/output_queue.h"
#include "cli/terminal/status_filter.h"

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace qelisp::cli {

class ConsoleView final : public JobView {
public:
    struct Setup {
        bool live = false;      // stdout is a terminal that takes cursor movement
        bool allLines = false;  // off a terminal: every status line, unthinned
        int columns = 0;        // the terminal's width; 0 when unknown
        PageSpan pages;
        bool quiet = false;  // only each job's result and its hint
        int jobs = 1;        // the jobs each port runs in turn: 2 for program --verify
        bool utf8 = false;   // the terminal shows UTF-8: a port's name beyond ASCII stays as it is
    };

    // `ports`: the names as the user gave them, in the order of the jobs.
    // What it shows goes to `out`, which never makes a job wait.
    ConsoleView(OutputQueue& out, const std::vector<std::string>& ports, const Setup& setup);

    // A job begins: its live line's clock starts with a port's first.
    void started(std::size_t port, JobKind job) override;
    // A job's new status; called on its worker's thread.
    void status(std::size_t port, const StatusChange& change) override;
    void ended(std::size_t /*port*/, const JobRecord& /*record*/) override {}
    // Redraws the live lines if they changed (their clocks every second);
    // the caller's poll does this every 20 ms, like the window's timer.
    // `columns` as in Setup.
    void refresh(int columns) override;
    // A job's end: the terminal bell, on a terminal only.
    void beep() override;
    // Removes the live lines, leaving the lasting ones.
    void finish() override;

    // A line for good from elsewhere (standard error's, on the same
    // terminal): above the live lines, which are drawn again below it.
    void above(const std::string& line);

private:
    void keep(std::size_t port, const std::vector<std::string>& lines);
    // `lasting` for good, then the live lines.
    void show(const std::vector<std::string>& lasting);

    std::mutex mutex_;
    OutputQueue& out_;
    bool live_;
    int columns_;                        // the terminal's width at the last poll
    std::vector<std::string> prefixes_;  // "ttyUSB0: " before a lasting line, or nothing
    std::vector<StatusFilter> filters_;
    std::vector<LiveLine> lines_;
    std::vector<std::chrono::steady_clock::time_point> starts_;  // each port's first job's
    std::vector<int> begun_;                                     // the jobs each port has begun
    std::vector<bool> running_;
    PageSpan pages_;
    int jobs_;
    LiveRegion region_;
    bool changed_ = false;
    bool finished_ = false;
};

}  // namespace qelisp::cli
