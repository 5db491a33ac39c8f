#include "cli/job_summary.h"

#include "link/printable_name.h"

#include <algorithm>
#include <cstdio>

namespace qelisp::cli {

std::string summaryTable(const std::vector<PortOutcome>& outcomes) {
    struct Row {
        std::string port, result, time;
    };
    std::vector<Row> rows{{"port", "result", "time"}};
    for (const PortOutcome& o : outcomes) {
        char time[32] = "-";
        if (o.kind != PortOutcome::Kind::NotOpened) std::snprintf(time, sizeof time, "%.1f s", o.seconds);
        rows.push_back({printableName(o.port), o.result, time});
    }
    std::size_t portWidth = 0;
    std::size_t resultWidth = 0;
    for (const Row& row : rows) {
        portWidth = std::max(portWidth, row.port.size());
        resultWidth = std::max(resultWidth, row.result.size());
    }
    std::string out;
    for (const Row& row : rows) {
        out += row.port + std::string(portWidth - row.port.size() + 2, ' ');
        out += row.result + std::string(resultWidth - row.result.size() + 2, ' ');
        out += row.time + "\n";
    }
    return out;
}

int exitStatus(const std::vector<PortOutcome>& outcomes) {
    auto any = [&](PortOutcome::Kind kind) {
        return std::any_of(outcomes.begin(), outcomes.end(), [&](const PortOutcome& o) { return o.kind == kind; });
    };
    if (outcomes.empty() || any(PortOutcome::Kind::NotOpened)) return kExitUsage;
    if (any(PortOutcome::Kind::Failed)) return kExitJobFailed;
    return kExitOk;
}

}  // namespace qelisp::cli
