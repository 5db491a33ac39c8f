#include "cli/records/result_log.h"

#include "jobs/failure_hint.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

namespace qelisp::cli {

std::string isoTime(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(when);
    const auto day = floor<days>(seconds);
    const year_month_day date{day};
    const hh_mm_ss time{seconds - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::unique_ptr<ResultLog> ResultLog::open(const std::string& path, RunIdentity identity, std::string& error) {
    auto file = AppendFile::open(path, error);
    if (!file) return nullptr;
    return std::make_unique<ResultLog>(std::move(file), std::move(identity));
}

std::string ResultLog::line(const LoggedPort& port, const JobRecord& record, const RunIdentity& identity,
                            std::chrono::system_clock::time_point when) {
    using Json = nlohmann::ordered_json;
    const FailureReason reason = record.reason();
    Json entry{{"time", isoTime(when)},
               {"run", identity.runId},
               {"port", portJson(port)},
               {"job", jobName(record.job)},
               {"ok", record.succeeded()},
               {"status", record.status},
               {"reason", nullptr},
               {"hint", nullptr},
               {"seconds", std::round(record.seconds * 10) / 10},
               // Beyond the wire: on a network port, the round trip to the server.
               {"extra_wait_ms", std::round(record.extraWaitMs * 10) / 10},
               {"extra_wait_seconds", std::round(record.extraWaitSeconds * 10) / 10},
               {"network", portPlace(port.name) == PortPlace::Network},
               {"program_version", identity.programVersion},
               {"firmware", {{"model", identity.model}, {"version", identity.version}, {"sha256", identity.sha256}}}};
    if (reason != FailureReason::None) {
        entry["reason"] = std::string(reasonName(reason));
        entry["hint"] = std::string(hintText(reason, portPlace(port.name)));
    }
    return entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool ResultLog::add(const LoggedPort& port, const JobRecord& record, std::chrono::system_clock::time_point when,
                    std::string& error) {
    const std::string text = line(port, record, identity_, when);
    std::lock_guard lock(mutex_);
    return file_->append(text, error);
}

}  // namespace qelisp::cli
