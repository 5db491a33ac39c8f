#include "cli/records/job_summary.h"

#include "link/printable_name.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace qelisp::cli {

namespace {

// A success's text ends with the job's own timer ("Data Writed OK!  Time
// Elapsed 61.2S", elapsedStatus in jobs/status_text.h): the table's time
// column says it already, and one time a row is all a reader should weigh.
std::string withoutTimer(const std::string& result) {
    constexpr std::string_view kTimer = "Time Elapsed ";
    const std::size_t at = result.rfind(kTimer);
    if (at == std::string::npos) return result;
    const std::string_view figure = std::string_view(result).substr(at + kTimer.size());
    const std::size_t point = figure.find('.');
    const auto digits = [](std::string_view text) {
        return !text.empty() && std::all_of(text.begin(), text.end(),
                                            [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    const bool timer = point != std::string_view::npos && figure.size() == point + 3 && figure.back() == 'S' &&
                       digits(figure.substr(0, point)) && digits(figure.substr(point + 1, 1));
    if (!timer) return result;
    const std::string head = result.substr(0, at);
    return head.substr(0, head.find_last_not_of(' ') + 1);
}

}  // namespace

std::string summaryTable(const std::vector<PortOutcome>& outcomes, bool jobs, bool utf8) {
    using Row = std::vector<std::string>;
    std::vector<Row> rows{jobs ? Row{"port", "job", "result", "time"} : Row{"port", "result", "time"}};
    for (const PortOutcome& o : outcomes) {
        char time[32] = "-";
        if (o.kind != PortOutcome::Kind::NotOpened) std::snprintf(time, sizeof time, "%.1f s", o.seconds);
        Row row{utf8 ? printableText(o.port) : printableName(o.port)};
        if (jobs) row.push_back(o.job.empty() ? "-" : o.job);
        row.push_back(withoutTimer(o.result));
        row.push_back(time);
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], displayColumns(row[c]));
    }
    std::string out;
    for (const Row& row : rows) {
        for (std::size_t c = 0; c + 1 < row.size(); ++c)
            out += row[c] + std::string(widths[c] - displayColumns(row[c]) + 2, ' ');
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
