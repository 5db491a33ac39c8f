#pragma once
// `--json`: standard output as JSON Lines, one object per line with an
// "event" field, for scripts and test stations (docs/console-json.md):
//   start     a job begins on a port: the program's version and the firmware
//   status    a status text other than an address line (connecting, the
//             erase and its dots, the result)
//   progress  once per 4 KB page: the page and how far the job has come
//   end       a job ended, or a port's job never ran: ok, its status text,
//             the reason and hint of a failure, seconds, command lines
//             sent, the answers' extra wait
// Every event carries the run's id, and the port as an object
// (cli/records/port_object.h).
//   waiting   --wait: a port waits for its instrument
//   adapter   after the run: an adapter whose latency cost time, and the fix
//   network   after the run: a network port's round trip, what it cost, and
//             the fix for a server that holds answers back
#include "cli/records/image_info.h"
#include "cli/records/port_object.h"
#include "cli/records/wait_note.h"
#include "cli/terminal/job_view.h"
#include "cli/terminal/output_queue.h"
#include "cli/terminal/progress_bar.h"

#include <mutex>
#include <string>
#include <vector>

namespace qelisp::cli {

// The firmware and program a run's records name.
struct RunIdentity {
    std::string programVersion;
    std::string model;  // trimmed
    std::string version;
    std::string sha256;
    std::string runId;  // cli/records/run_id.h
};

// With a new run id.
RunIdentity runIdentity(const char* programVersion, const ImageSummary& image);

class JsonEvents final : public JobView {
public:
    JsonEvents(OutputQueue& out, std::vector<LoggedPort> ports, RunIdentity identity, PageSpan pages);

    void started(std::size_t port, JobKind job) override;
    void status(std::size_t port, const StatusChange& change) override;
    void ended(std::size_t port, const JobRecord& record) override;

    // Events of the run itself, not of a job.
    void waiting(std::size_t port, int seconds);
    void waitNote(std::size_t port, const WaitNote& note);

private:
    // An event of port `port` with the run's id and the port object first.
    void emit(std::size_t port, const char* event, nlohmann::ordered_json fields);

    OutputQueue& out_;
    std::vector<LoggedPort> ports_;
    RunIdentity identity_;
    PageSpan pages_;
    std::mutex mutex_;
    std::vector<JobKind> jobs_;  // each port's current job
    std::vector<int> lastPage_;  // each port's last page reported; -1: none yet
};

}  // namespace qelisp::cli
