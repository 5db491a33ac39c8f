#include "cli/status_filter.h"

namespace qelisp::cli {

namespace {

constexpr std::string_view kErasing = "Erasing Flash ";

bool startsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

bool isAddressStatus(const std::string& text) {
    return startsWith(text, "Writing Data To Address: ") || startsWith(text, "Verifying Data At Address: ");
}

}  // namespace

bool isSuccessStatus(const std::string& text) {
    return startsWith(text, "Data Writed OK!") || startsWith(text, "Data Verify OK!");
}

std::vector<std::string> StatusFilter::take(const std::string& text, int progress) {
    std::vector<std::string> keep;
    const bool moreDots =
        startsWith(previous_, kErasing) && text.size() > previous_.size() && startsWith(text, previous_);
    previous_ = text;
    if (addresses_ == AddressLines::All) return {text};

    // The dots of an erase: only its last state is kept, once it is over.
    if (moreDots) {
        heldErase_ = text;
        return keep;
    }
    if (!heldErase_.empty()) keep.push_back(std::move(heldErase_));
    heldErase_.clear();

    if (isAddressStatus(text)) {
        if (addresses_ == AddressLines::FirstOfPage && progress != lastPage_) {
            lastPage_ = progress;
            heldAddress_.clear();
            keep.push_back(text);
        } else {
            heldAddress_ = text;
        }
        return keep;
    }
    // Where the job was when it failed, was stopped or began an erase.
    if (!heldAddress_.empty() && !isSuccessStatus(text)) keep.push_back(heldAddress_);
    heldAddress_.clear();
    keep.push_back(text);
    return keep;
}

}  // namespace qelisp::cli
