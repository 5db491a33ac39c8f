#include "cli/result_log.h"

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

LoggedPort loggedPort(const std::string& name, const std::vector<PortInfo>& known) {
    LoggedPort entry{name, {}, {}};
    for (const PortInfo& info : known) {
        if (info.name == name || info.name == name.substr(name.find_last_of('/') + 1)) {
            entry.description = info.description;
            entry.serial = info.serial;
        }
    }
    return entry;
}

std::unique_ptr<ResultLog> ResultLog::open(const std::string& path, RunIdentity identity, std::string& error) {
    auto file = AppendFile::open(path, error);
    if (!file) return nullptr;
    return std::make_unique<ResultLog>(std::move(file), std::move(identity));
}

std::string ResultLog::line(const LoggedPort& port, const JobRecord& record, const RunIdentity& identity,
                            std::chrono::system_clock::time_point when) {
    using Json = nlohmann::ordered_json;
    Json portField{{"name", port.name}};
    if (!port.description.empty()) portField["description"] = port.description;
    if (!port.serial.empty()) portField["serial"] = port.serial;
    const FailureReason reason = failureReason(record.job, record.result);
    Json entry{{"time", isoTime(when)},
               {"port", portField},
               {"job", jobName(record.job)},
               {"ok", record.succeeded()},
               {"status", record.status},
               {"reason", nullptr},
               {"seconds", std::round(record.seconds * 10) / 10},
               {"program_version", identity.programVersion},
               {"firmware", {{"model", identity.model}, {"version", identity.version}, {"sha256", identity.sha256}}}};
    if (reason != FailureReason::None) entry["reason"] = std::string(reasonName(reason));
    return entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool ResultLog::add(const LoggedPort& port, const JobRecord& record, std::chrono::system_clock::time_point when,
                    std::string& error) {
    const std::string text = line(port, record, identity_, when);
    std::lock_guard lock(mutex_);
    return file_->append(text, error);
}

}  // namespace qelisp::cli
