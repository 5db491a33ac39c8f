#pragma once
// The run's end, for a stop catcher that must not end the process before
// the run's last lines ("User Canceled" and its hint) are written. The run
// says when they are, with the exit status it chose; the catcher waits for
// that, up to a limit for a run that never gets there.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace qelisp::cli {

class RunEnd {
public:
    // The run: its last lines are written (or given up on); the first call counts.
    void over(int status);
    // The catcher: the run's exit status once it is over; nullopt when
    // `limit` passes first.
    std::optional<int> await(std::chrono::milliseconds limit);

private:
    std::mutex mutex_;
    std::condition_variable over_;
    std::optional<int> status_;
};

}  // namespace qelisp::cli
