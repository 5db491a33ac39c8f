#pragma once
// Which of one job's status lines the console keeps for good. A run sets
// "Writing Data To Address" thousands of times and "Erasing Flash " gains a
// dot every 400 ms; what is worth keeping is connecting, the erase, every
// error and the final result, and where the job was when it failed.
#include <string>
#include <vector>

namespace qelisp::cli {

// The job's success texts.
bool isSuccessStatus(const std::string& text);

class StatusFilter {
public:
    enum class AddressLines {
        None,         // on a terminal: the live line shows them
        FirstOfPage,  // into a file: one per 4 KB page
        All,          // --all-lines: every status line as it comes
    };

    explicit StatusFilter(AddressLines addresses) : addresses_(addresses) {}

    // The lines to keep, in order, for a new status text; `progress` is the
    // job's page (address >> 12) when the text names an address.
    std::vector<std::string> take(const std::string& text, int progress);

private:
    AddressLines addresses_;
    std::string previous_;
    int lastPage_ = -1;
    std::string heldAddress_;  // the last address line not kept
    std::string heldErase_;    // the erase line with the dots it has gained, not kept yet
};

}  // namespace qelisp::cli
