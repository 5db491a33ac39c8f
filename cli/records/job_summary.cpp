#include "cli/records/job_summary.h"

#include "link/printable_name.h"

#include <algorithm>
#include <cstdio>

namespace qelisp::cli {

std::string summaryTable(const std::vector<PortOutcome>& outcomes, bool jobs) {
    using Row = std::vector<std::string>;
    std::vector<Row> rows{jobs ? Row{"port", "job", "result", "time"} : Row{"port", "result", "time"}};
    for (const PortOutcome& o : outcomes) {
        char time[32] = "-";
        if (o.kind != PortOutcome::Kind::NotOpened) std::snprintf(time, sizeof time, "%.1f s", o.seconds);
        Row row{printableName(o.port)};
        if (jobs) row.push_back(o.job.empty() ? "-" : o.job);
        row.push_back(o.result);
        row.push_back(time);
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    }
    std::string out;
    for (const Row& row : rows) {
        for (std::size_t c = 0; c + 1 < row.size(); ++c)
            out += row[c] + std::string(widths[c] - row[c].size() + 2, ' ');
        out += row.back() + "\n";
    }
    return out;
}

int exitStatus(const std::vector<PortOutcome>& outcomes) {
    if (outcomes.empty()) return kExitUsage;
    const bool all = std::all_of(outcomes.begin(), outcomes.end(),
                                 [](const PortOutcome& o) { return o.kind == PortOutcome::Kind::Succeeded; });
    return all ? kExitOk : kExitJobFailed;
}

}  // namespace qelisp::cli
