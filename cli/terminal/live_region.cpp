#include "cli/terminal/live_region.h"

#include "jobs/status_text.h"
#include "link/printable_name.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qelisp::cli {

namespace {

constexpr int kAssumedColumns = 80;
constexpr int kMaxBar = 40;
constexpr int kMinBar = 5;
// From the cursor's line to the end of the screen: the line, then from its
// second column down. An erase from the screen's first line and column is
// a clear screen, and tmux (scroll-on-clear) keeps what it clears in its
// history, where a resize can leave the first live line.
constexpr const char* kEraseDown = "\r\x1b[K\x1b[C\x1b[J\r";
// Auto-wrap off and on (DECAWM).
constexpr const char* kWrapOff = "\x1b[?7l";
constexpr const char* kWrapOn = "\x1b[?7h";
// The longest line a job rewrites often: its address line.
constexpr int kAddressText = static_cast<int>(kAddressStatusWidth);
// "[" + "]" + " 100%" around the cells, and two spaces either side.
constexpr int kBarFrame = 7;
constexpr int kGap = 2;

// The first `columns` characters of `text`, never half of one.
std::string cut(const std::string& text, std::size_t columns) {
    std::size_t seen = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const bool starts = (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
        if (starts && seen++ == columns) return text.substr(0, at);
    }
    return text;
}

}  // namespace

std::string minutesAndSeconds(double seconds) {
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

std::string jobClock(double elapsed, int progress, PageSpan span, int jobsDone, int jobs) {
    std::string clock = minutesAndSeconds(elapsed);
    const int pages = span.last - span.first + 1;
    // A verify reads back the pages the programming wrote, at about its pace.
    const int total = pages * std::max(jobs, 1);
    const int done = pages * jobsDone + std::clamp(progress - span.first, 0, pages);
    // The first pages say little about the pace (the handshake, an erase):
    // the estimate waits for a twentieth of a job, at least two pages.
    if (done >= std::max(2, pages / 20) && done < total) {
        clock += ", " + minutesAndSeconds(elapsed * (total - done) / done) + " left";
    }
    return clock;
}

std::string LiveRegion::format(const LiveLine& line, int columns) const {
    if (columns <= 0) columns = kAssumedColumns;
    const int label = line.label.empty() ? 0 : static_cast<int>(displayColumns(line.label)) + kGap;
    const int clock = line.clock.empty() ? 0 : static_cast<int>(line.clock.size()) + kGap;
    const int bar = std::clamp(columns - 1 - label - kBarFrame - kGap - clock - kAddressText, kMinBar, kMaxBar);
    std::string text = line.label.empty() ? "" : line.label + std::string(kGap, ' ');
    text += progressBar(line.progress, span_, bar) + std::string(kGap, ' ');
    if (!line.clock.empty()) text += line.clock + std::string(kGap, ' ');
    text += line.text;
    return cut(text, static_cast<std::size_t>(std::max(columns - 1, 1)));
}

std::string LiveRegion::draw(const std::vector<std::string>& lasting, const std::vector<LiveLine>& live, int columns) {
    std::string out = clear();
    for (const std::string& line : lasting) out += line + "\n";
    if (live.empty()) return out;
    out += kWrapOff;
    for (std::size_t i = 0; i < live.size(); ++i) out += (i == 0 ? "" : "\n") + format(live[i], columns);
    out += "\r";
    if (live.size() > 1) out += "\x1b[" + std::to_string(live.size() - 1) + "A";
    out += kWrapOn;
    shown_ = true;
    return out;
}

std::string LiveRegion::clear() {
    if (!shown_) return {};
    shown_ = false;
    return kEraseDown;
}

}  // namespace qelisp::cli
