#pragma once
// What the worker, the window and the application shell share while a job
// runs. The flags and the progress are atomics; the status text sits behind a
// mutex and is always read and written whole, so the window never shows half
// of an old line and half of a new one.
#include "state/job_outcome.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace qelisp {

// The progress bar spans 1 MB of device address space in 4 KB pages.
inline constexpr int kProgressPages = 256;

class JobState {
public:
    std::atomic<bool> busy{false};
    std::atomic<bool> cancel{false};
    std::atomic<int> progress{0};
    std::atomic<std::uint32_t> currentAddress{0};

    void setStatus(std::string_view text, StatusKind kind = StatusKind::Step);
    // Adds to the text; it keeps its kind.
    void appendStatus(std::string_view text);
    std::string status() const;
    StatusKind statusKind() const;

    // How the last job ended; Running while one runs. Set by the job before
    // its last status text, so a status listener sees it with that text.
    JobResult result() const;
    void setResult(JobResult result);

    // Called on the worker's thread after every status change, with the new
    // text. Front ends that must see every line (the console) use it; the
    // window just polls. Set it before a job starts, not while one runs.
    void setStatusListener(std::function<void(const std::string&)> listener);

private:
    mutable std::mutex mutex_;
    std::string status_;
    StatusKind kind_ = StatusKind::Step;
    JobResult result_;
    std::function<void(const std::string&)> listener_;
};

}  // namespace qelisp
