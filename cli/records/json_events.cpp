#include "cli/records/json_events.h"

#include "cli/records/run_id.h"
#include "jobs/failure_hint.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace qelisp::cli {

namespace {

using Json = nlohmann::ordered_json;

std::string trimmed(const std::string& text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// Tenths of a second or millisecond are all a reader needs; dividing keeps
// the shortest form of the number ("1.2", not "1.2000000000000002").
double tenths(double value) { return std::round(value * 10) / 10; }

// A port's name may hold any bytes; JSON holds UTF-8: what is not is replaced.
std::string dumped(const Json& event) {
    return event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

const char* jobName(JobKind job) { return job == JobKind::Program ? "program" : "verify"; }

RunIdentity runIdentity(const char* programVersion, const ImageSummary& image) {
    return {programVersion, trimmed(image.model), trimmed(image.version), image.sha256, newRunId()};
}

JsonEvents::JsonEvents(OutputQueue& out, std::vector<LoggedPort> ports, RunIdentity identity, PageSpan pages)
    : out_(out),
      ports_(std::move(ports)),
      identity_(std::move(identity)),
      pages_(pages),
      jobs_(ports_.size(), JobKind::Program),
      lastPage_(ports_.size(), -1) {}

void JsonEvents::emit(std::size_t port, const char* event, Json fields) {
    Json line{{"event", event}, {"run", identity_.runId}, {"port", portJson(ports_[port])}};
    for (auto& [key, value] : fields.items()) line[key] = std::move(value);
    out_.append(dumped(line));
}

void JsonEvents::started(std::size_t port, JobKind job) {
    {
        std::lock_guard lock(mutex_);
        if (port >= ports_.size()) return;
        jobs_[port] = job;
        lastPage_[port] = -1;
    }
    emit(port, "start",
         {{"job", jobName(job)},
          {"program_version", identity_.programVersion},
          {"firmware", {{"model", identity_.model}, {"version", identity_.version}, {"sha256", identity_.sha256}}}});
}

void JsonEvents::status(std::size_t port, const StatusChange& change) {
    JobKind job;
    {
        std::lock_guard lock(mutex_);
        if (port >= ports_.size()) return;
        job = jobs_[port];
        if (change.kind == StatusKind::Address) {
            if (change.progress == lastPage_[port]) return;
            lastPage_[port] = change.progress;
        }
    }
    if (change.kind == StatusKind::Address) {
        // From 0 on the firmware's first page to 100 on its last, so that a
        // station's bar fills as the last page goes out (and never sooner).
        const int steps = pages_.last - pages_.first;
        const double percent =
            steps <= 0 ? 100.0 : 100.0 * std::clamp(change.progress - pages_.first, 0, steps) / steps;
        emit(port, "progress", {{"job", jobName(job)}, {"page", change.progress}, {"percent", tenths(percent)}});
        return;
    }
    // The result comes with the end event, in full.
    if (change.kind == StatusKind::Result) return;
    emit(port, "status", {{"job", jobName(job)}, {"status", change.text}});
}

void JsonEvents::ended(std::size_t port, const JobRecord& record) {
    if (port >= ports_.size()) return;
    const FailureReason reason = record.reason();
    Json event{{"job", jobName(record.job)},
               {"ok", record.succeeded()},
               {"status", record.status},
               {"reason", nullptr},
               {"hint", nullptr},
               {"seconds", tenths(record.seconds)},
               {"lines", record.lines},
               {"extra_wait_ms", tenths(record.extraWaitMs)},
               {"extra_wait_seconds", tenths(record.extraWaitSeconds)},
               {"network", portPlace(ports_[port].name) == PortPlace::Network}};
    if (reason != FailureReason::None) {
        event["reason"] = std::string(reasonName(reason));
        event["hint"] = std::string(hintText(reason, portPlace(ports_[port].name)));
    }
    emit(port, "end", std::move(event));
}

void JsonEvents::waiting(std::size_t port, int seconds) {
    if (port >= ports_.size()) return;
    emit(port, "waiting", {{"seconds", seconds}});
}

void JsonEvents::waitNote(std::size_t port, const WaitNote& note) {
    if (port >= ports_.size()) return;
    if (!note.network) {
        emit(port, "adapter",
             {{"extra_seconds", tenths(note.seconds)},
              {"extra_wait_ms", tenths(note.perAnswerMs)},
              {"advice", note.advice}});
        return;
    }
    emit(port, "network",
         {{"round_trip_ms", tenths(note.perAnswerMs)},
          {"extra_seconds", tenths(note.seconds)},
          {"held_back_answers", note.heldBackAnswers},
          {"advice", textOrNull(note.advice)}});
}

}  // namespace qelisp::cli
