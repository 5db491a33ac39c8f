#include "cli/terminal/progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace qelisp::cli {

std::string progressBar(int progress, PageSpan span, int width) {
    // Progress is the page being worked on; that page counts as under way.
    const int pages = std::max(span.last, span.first) - span.first + 1;
    const int done = progress < span.first ? 0 : std::min(progress - span.first + 1, pages);
    const int filled = done * width / pages;
    char tail[16];
    std::snprintf(tail, sizeof tail, " %3d%%", done * 100 / pages);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(width - filled), ' ') + "]" + tail;
}

}  // namespace qelisp::cli
