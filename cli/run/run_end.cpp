#include "cli/run/run_end.h"

namespace qelisp::cli {

void RunEnd::over(int status) {
    {
        std::lock_guard lock(mutex_);
        if (status_) return;
        status_ = status;
    }
    over_.notify_all();
}

std::optional<int> RunEnd::await(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    over_.wait_for(lock, limit, [this] { return status_.has_value(); });
    return status_;
}

}  // namespace qelisp::cli
