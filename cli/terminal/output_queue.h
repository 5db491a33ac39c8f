#pragma once
// One standard stream, written by a thread of its own, so that the threads
// that have something to say never wait on its reader: a job's worker, the
// 20 ms poll and the Ctrl-C path only append under a short lock. A reader
// that stalls delays the text, and past the cap loses some of it, never the
// job. When a write fails (a closed pipe, a full disk), the stream says so
// once on `errors`, drops the rest, and the job goes on.
#include "cli/terminal/output_backlog.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace qelisp::cli {

class OutputQueue {
public:
    // A whole --trace run is about 2 MB a port, a whole --all-lines run 150 KB.
    static constexpr std::size_t kDefaultCap = std::size_t{4} << 20;

    // `name` says which stream failed ("standard output"); `errors` is where
    // that is said, null for standard error itself, which then stays silent.
    // `out` gets a buffer of the queue's own, so nothing may have been
    // written to it before: each chunk the queue gathers is one write.
    OutputQueue(std::FILE* out, std::string name, OutputQueue* errors, std::size_t cap = kDefaultCap);
    // Writes what is left and ends the thread: it waits on the reader, so a
    // process that cannot wait ends with std::_Exit instead.
    ~OutputQueue();
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    void append(std::string_view text);

    // Waits until everything appended so far is written (or lost with a
    // failed stream): true then, false when `deadline` comes first.
    bool drain(std::chrono::steady_clock::time_point deadline);

private:
    void run();

    std::FILE* out_;
    std::string name_;
    OutputQueue* errors_;
    std::mutex mutex_;
    std::condition_variable wake_;     // something to write, or the end
    std::condition_variable written_;  // a chunk is done
    OutputBacklog backlog_;
    bool failed_ = false;
    bool ending_ = false;
    std::thread writer_;  // last: it starts once the rest is ready
};

}  // namespace qelisp::cli
