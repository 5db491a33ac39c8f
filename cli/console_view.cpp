#include "cli/console_view.h"

#include <algorithm>

namespace qelisp::cli {

namespace {
constexpr int kBarWidth = 40;
}

ConsoleView::ConsoleView(std::FILE* out, bool terminal, int firstPage, int lastPage)
    : out_(out), terminal_(terminal), firstPage_(firstPage), lastPage_(std::max(lastPage, firstPage)) {}

std::string ConsoleView::bar(int progress) const {
    // Progress is the page being worked on; that page counts as under way.
    const int span = lastPage_ - firstPage_ + 1;
    const int done = progress < firstPage_ ? 0 : std::min(progress - firstPage_ + 1, span);
    const int filled = done * kBarWidth / span;
    const int percent = done * 100 / span;
    char tail[8];
    std::snprintf(tail, sizeof tail, " %3d%%", percent);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "]" + tail;
}

void ConsoleView::clearBar() {
    if (!barShown_) return;
    std::fprintf(out_, "\r%*s\r", kBarWidth + 8, "");
    barShown_ = false;
}

void ConsoleView::status(const std::string& text, int progress) {
    std::lock_guard lock(mutex_);
    clearBar();
    std::fprintf(out_, "%s\n", text.c_str());
    if (terminal_) {
        std::fputs(bar(progress).c_str(), out_);
        barShown_ = true;
    }
    std::fflush(out_);
}

void ConsoleView::finish() {
    std::lock_guard lock(mutex_);
    clearBar();
    std::fflush(out_);
}

}  // namespace qelisp::cli
