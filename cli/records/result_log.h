#pragma once
// `--log FILE`: one JSON object per finished job per port, appended as a
// whole line, so a bench keeps a record of which firmware went out when
// (docs/console-json.md). Several runs may append to one file at once.
#include "cli/records/append_file.h"
#include "cli/records/json_events.h"
#include "cli/records/port_object.h"
#include "cli/terminal/job_view.h"
#include "link/port.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qelisp::cli {

class ResultLog {
public:
    // Null and `error` when the file cannot be opened for appending.
    static std::unique_ptr<ResultLog> open(const std::string& path, RunIdentity identity, std::string& error);

    ResultLog(std::unique_ptr<AppendFile> file, RunIdentity identity)
        : file_(std::move(file)), identity_(std::move(identity)) {}

    // Appends the record of one finished job. False and `error` when the
    // line could not be written whole.
    bool add(const LoggedPort& port, const JobRecord& record, std::chrono::system_clock::time_point when,
             std::string& error);

    // The record as one line of JSON, with its line break.
    static std::string line(const LoggedPort& port, const JobRecord& record, const RunIdentity& identity,
                            std::chrono::system_clock::time_point when);

private:
    std::unique_ptr<AppendFile> file_;
    RunIdentity identity_;
    std::mutex mutex_;
};

// "2026-12-09T06:49:15Z".
std::string isoTime(std::chrono::system_clock::time_point when);

}  // namespace qelisp::cli
