#include "cli/terminal/status_filter.h"

namespace qelisp::cli {

std::vector<std::string> StatusFilter::take(const StatusChange& change) {
    const std::string& text = change.text;
    std::vector<std::string> keep;
    // An erase that goes on gains dots: the same kind, a longer text.
    const bool moreDots =
        change.kind == StatusKind::Erasing && previousKind_ == StatusKind::Erasing && text.size() > previous_.size();
    previous_ = text;
    previousKind_ = change.kind;
    // A failure's text stays as it is; the hint follows it on a line of its own.
    const std::string hint = change.hint.empty() ? std::string() : "hint: " + change.hint;
    if (addresses_ == AddressLines::All ||
        (addresses_ == AddressLines::ResultsOnly && change.kind == StatusKind::Result)) {
        return hint.empty() ? std::vector<std::string>{text} : std::vector<std::string>{text, hint};
    }
    if (addresses_ == AddressLines::ResultsOnly) return {};

    // The dots of an erase: only its last state is kept, once it is over.
    if (moreDots) {
        heldErase_ = text;
        return keep;
    }
    if (!heldErase_.empty()) keep.push_back(std::move(heldErase_));
    heldErase_.clear();

    if (change.kind == StatusKind::Address) {
        if (addresses_ == AddressLines::FirstOfPage && change.progress != lastPage_) {
            lastPage_ = change.progress;
            heldAddress_.clear();
            keep.push_back(text);
        } else {
            heldAddress_ = text;
        }
        return keep;
    }
    // Where the job was when it failed, was stopped or began an erase.
    const bool success = change.kind == StatusKind::Result && change.succeeded;
    if (!heldAddress_.empty() && !success) keep.push_back(heldAddress_);
    heldAddress_.clear();
    keep.push_back(text);
    if (!hint.empty()) keep.push_back(hint);
    return keep;
}

}  // namespace qelisp::cli
