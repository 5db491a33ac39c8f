#pragma once
// Where a run's jobs report: the live console or the JSON events, and the
// result log behind either.
#include "cli/cli_options.h"
#include "cli/records/json_events.h"
#include "cli/records/result_log.h"
#include "cli/run/chosen_ports.h"
#include "cli/run/run_streams.h"
#include "cli/terminal/console_view.h"

#include <atomic>
#include <memory>
#include <vector>

namespace qelisp::cli {

// Forwards to the run's view and appends each finished job to the log.
class LoggingView final : public JobView {
public:
    LoggingView(JobView& inner, ResultLog& log, std::vector<LoggedPort> ports, Streams& streams)
        : inner_(inner), log_(log), ports_(std::move(ports)), streams_(streams) {}

    void started(std::size_t port, JobKind job) override { inner_.started(port, job); }
    void status(std::size_t port, const StatusChange& change) override { inner_.status(port, change); }
    void ended(std::size_t port, const JobRecord& record) override;
    void beep() override { inner_.beep(); }
    void refresh(int columns) override { inner_.refresh(columns); }
    void finish() override { inner_.finish(); }

    bool recordMissing() const { return missing_.load(); }

private:
    JobView& inner_;
    ResultLog& log_;
    std::vector<LoggedPort> ports_;
    Streams& streams_;
    std::atomic<bool> missing_{false};
};

struct RunView {
    std::unique_ptr<JsonEvents> events;
    std::unique_ptr<ConsoleView> console;
    std::unique_ptr<LoggingView> logging;
    JobView* view = nullptr;  // the outermost of the three
    bool live = false;        // live lines on a terminal, redrawn as it is resized
};

// `waiting`: the ports wait for their instruments (the events say so).
RunView makeRunView(const Options& options, const std::vector<RunPort>& ports, PageSpan pages,
                    const RunIdentity& identity, ResultLog* log, bool waiting, Streams& streams);

}  // namespace qelisp::cli
