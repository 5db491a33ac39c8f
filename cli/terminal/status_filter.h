#pragma once
// Which of one job's status lines the console keeps for good. A run sets
// its address line thousands of times and an erase line gains a dot every
// 400 ms; what is worth keeping is connecting, the erase, every error and
// the final result, and where the job was when it failed.
#include "state/job_outcome.h"

#include <string>
#include <vector>

namespace qelisp::cli {

// One status change as a job made it: the text, and what it is, so that
// nothing here needs to read the text.
struct StatusChange {
    std::string text;
    StatusKind kind = StatusKind::Step;
    bool succeeded = false;  // for a Result: the job succeeded
    int progress = 0;        // the job's page (address >> 12)
    std::string hint;        // for a Result that is a failure: what to check or do next
};

class StatusFilter {
public:
    enum class AddressLines {
        None,         // on a terminal: the live line shows them
        FirstOfPage,  // into a file: one per 4 KB page
        All,          // --all-lines: every status line as it comes
        ResultsOnly,  // --quiet: only each job's result and its hint
    };

    explicit StatusFilter(AddressLines addresses) : addresses_(addresses) {}

    // The lines to keep, in order, for a new status.
    std::vector<std::string> take(const StatusChange& change);

private:
    AddressLines addresses_;
    std::string previous_;
    StatusKind previousKind_ = StatusKind::Step;
    int lastPage_ = -1;
    std::string heldAddress_;  // the last address line not kept
    std::string heldErase_;    // the erase line with the dots it has gained, not kept yet
};

}  // namespace qelisp::cli
