#include "cli/terminal/output_backlog.h"

#include <algorithm>

namespace qelisp::cli {

void OutputBacklog::noteDropped() {
    if (!dropping_) return;
    pending_ += "qelisp-cli: " + std::to_string(droppedLines_) + (droppedLines_ == 1 ? " line" : " lines") +
                " dropped here; the reader fell behind\n";
    droppedLines_ = 0;
    dropping_ = false;
}

void OutputBacklog::append(std::string_view text) {
    if (pending_.size() + writing_ + text.size() > cap_) {
        dropping_ = true;
        // A piece is a line or more; a bell alone still counts as one.
        droppedLines_ += std::max<std::size_t>(1, static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
        return;
    }
    noteDropped();
    pending_ += text;
}

std::string OutputBacklog::take() {
    std::string chunk;
    chunk.swap(pending_);
    writing_ = chunk.size();
    return chunk;
}

void OutputBacklog::close() { noteDropped(); }

}  // namespace qelisp::cli
