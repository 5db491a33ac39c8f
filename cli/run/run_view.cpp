#include "cli/run/run_view.h"

#include "cli/terminal/console.h"
#include "link/port.h"
#include "link/printable_name.h"

#include <chrono>

namespace qelisp::cli {

namespace {

// What the log says of each port: the adapter's description and serial
// number where the system lists the port under the name given.
std::vector<LoggedPort> loggedPorts(const std::vector<RunPort>& ports) {
    const std::vector<PortInfo> known = listPorts();
    std::vector<LoggedPort> logged;
    for (const RunPort& port : ports) logged.push_back(loggedPort(port.name, known));
    return logged;
}

}  // namespace

void LoggingView::ended(std::size_t port, const JobRecord& record) {
    inner_.ended(port, record);
    std::string error;
    if (port < ports_.size() && !log_.add(ports_[port], record, std::chrono::system_clock::now(), error)) {
        // The jobs go on; the exit status tells the bench at the end.
        missing_.store(true);
        streams_.error("--log: the record of " + printableName(ports_[port].name) + "'s " +
                       std::string(jobName(record.job)) + " job is missing: " + error);
    }
}

RunView makeRunView(const Options& options, const std::vector<RunPort>& ports, PageSpan pages,
                    const RunIdentity& identity, ResultLog* log, bool waiting, Streams& streams) {
    RunView run;
    ConsoleView::Setup setup;
    // Traced lines on stderr would tear the live lines apart.
    setup.live = !options.json && !options.trace && !options.quiet && stdoutIsTerminal() && enableTerminalSequences();
    setup.allLines = options.allLines;
    setup.quiet = options.quiet;
    setup.columns = setup.live ? terminalColumns() : 0;
    setup.pages = pages;
    setup.jobs = options.thenVerify ? 2 : 1;
    setup.utf8 = consoleTakesUtf8();
    run.live = setup.live;
    // The system's word on each adapter, for the events and the records.
    std::vector<LoggedPort> described;
    if (options.json || log) described = loggedPorts(ports);
    if (options.json) {
        run.events = std::make_unique<JsonEvents>(streams.out, described, identity, pages);
        run.view = run.events.get();
        if (waiting) {
            for (std::size_t i = 0; i < ports.size(); ++i) run.events->waiting(i, options.waitSeconds);
        }
    } else {
        std::vector<std::string> names;
        for (const RunPort& port : ports) names.push_back(port.name);
        run.console = std::make_unique<ConsoleView>(streams.out, names, setup);
        run.view = run.console.get();
    }
    if (log) {
        run.logging = std::make_unique<LoggingView>(*run.view, *log, described, streams);
        run.view = run.logging.get();
    }
    return run;
}

}  // namespace qelisp::cli
