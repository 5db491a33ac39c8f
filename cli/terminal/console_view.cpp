#include "cli/terminal/console_view.h"

#include "link/printable_name.h"

#include <algorithm>

namespace qelisp::cli {

ConsoleView::ConsoleView(OutputQueue& out, const std::vector<std::string>& ports, const Setup& setup)
    : out_(out),
      live_(setup.live && !setup.quiet),
      columns_(setup.columns),
      pages_(setup.pages),
      jobs_(setup.jobs),
      region_(setup.pages) {
    using Lines = StatusFilter::AddressLines;
    const Lines addresses = setup.quiet      ? Lines::ResultsOnly
                            : live_          ? Lines::None
                            : setup.allLines ? Lines::All
                                             : Lines::FirstOfPage;
    // On a terminal a single port needs no name; in a log every line says whose it is.
    const bool named = !live_ || ports.size() > 1;
    // Control characters are escaped either way; what the terminal can show stays.
    std::vector<std::string> names;
    for (const std::string& port : ports) names.push_back(setup.utf8 ? printableText(port) : printableName(port));
    std::size_t width = 0;
    for (const std::string& name : names) width = std::max(width, displayColumns(name));
    for (const std::string& name : names) {
        prefixes_.push_back(named ? name + ": " : "");
        filters_.emplace_back(addresses);
        LiveLine line;
        if (ports.size() > 1) line.label = name + std::string(width - displayColumns(name), ' ');
        lines_.push_back(std::move(line));
    }
    starts_.assign(ports.size(), std::chrono::steady_clock::now());
    begun_.assign(ports.size(), 0);
    running_.assign(ports.size(), false);
}

void ConsoleView::started(std::size_t port, JobKind /*job*/) {
    std::lock_guard lock(mutex_);
    if (port >= lines_.size()) return;
    // One clock and one estimate for a port's jobs taken together.
    if (begun_[port]++ == 0) starts_[port] = std::chrono::steady_clock::now();
    running_[port] = true;
    lines_[port].progress = 0;
    changed_ = true;
}

void ConsoleView::show(const std::vector<std::string>& lasting) {
    std::string text;
    if (live_ && !finished_) {
        text = region_.draw(lasting, lines_, columns_);
        changed_ = false;
    } else {
        for (const std::string& line : lasting) text += line + "\n";
    }
    out_.append(text);
}

void ConsoleView::keep(std::size_t port, const std::vector<std::string>& lines) {
    std::vector<std::string> lasting;
    for (const std::string& line : lines) lasting.push_back(prefixes_[port] + line);
    show(lasting);
}

void ConsoleView::above(const std::string& line) {
    std::lock_guard lock(mutex_);
    show({line});
}

void ConsoleView::status(std::size_t port, const StatusChange& change) {
    std::lock_guard lock(mutex_);
    if (port >= lines_.size()) return;
    lines_[port].text = change.text;
    lines_[port].progress = change.progress;
    if (change.kind == StatusKind::Result) running_[port] = false;
    changed_ = true;
    const std::vector<std::string> lasting = filters_[port].take(change);
    if (!lasting.empty()) keep(port, lasting);
}

void ConsoleView::refresh(int columns) {
    std::lock_guard lock(mutex_);
    if (!live_ || finished_) return;
    // The clocks move once a second; a job that has ended keeps its last.
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t port = 0; port < lines_.size(); ++port) {
        if (!running_[port]) continue;
        const double elapsed = std::chrono::duration<double>(now - starts_[port]).count();
        std::string clock = jobClock(elapsed, lines_[port].progress, pages_, begun_[port] - 1, jobs_);
        if (clock != lines_[port].clock) {
            lines_[port].clock = std::move(clock);
            changed_ = true;
        }
    }
    if (!changed_ && columns == columns_) return;
    columns_ = columns;
    show({});
}

void ConsoleView::beep() {
    std::lock_guard lock(mutex_);
    if (!live_) return;
    out_.append("\a");
}

void ConsoleView::finish() {
    std::lock_guard lock(mutex_);
    if (!live_ || finished_) return;
    const std::string text = region_.clear();
    finished_ = true;
    out_.append(text);
}

}  // namespace qelisp::cli
