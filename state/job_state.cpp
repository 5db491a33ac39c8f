#include "state/job_state.h"

namespace qelisp {

void JobState::setStatus(std::string_view text, StatusKind kind) {
    std::string copy;
    {
        std::lock_guard lock(mutex_);
        status_.assign(text);
        kind_ = kind;
        if (listener_) copy = status_;
    }
    if (listener_) listener_(copy);
}

void JobState::appendStatus(std::string_view text) {
    std::string copy;
    {
        std::lock_guard lock(mutex_);
        status_.append(text);
        if (listener_) copy = status_;
    }
    if (listener_) listener_(copy);
}

std::string JobState::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

StatusKind JobState::statusKind() const {
    std::lock_guard lock(mutex_);
    return kind_;
}

JobResult JobState::result() const {
    std::lock_guard lock(mutex_);
    return result_;
}

void JobState::setResult(JobResult result) {
    std::lock_guard lock(mutex_);
    result_ = result;
}

void JobState::setStatusListener(std::function<void(const std::string&)> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

}  // namespace qelisp
