#include "cli/terminal/output_queue.h"

#include <cerrno>
#include <system_error>

namespace qelisp::cli {

namespace {

constexpr auto kGather = std::chrono::milliseconds(2);

// Each chunk in one write, flushed by the writer. Left to the C library, a
// line-buffered terminal took a chunk in two pieces (up to the last line
// break, then the rest), and a terminal resized between them rewrapped the
// live lines before the cursor went back over them; and Windows leaves a
// console unbuffered, where fwrite hands it one byte at a time (3 ms each
// under Wine: "User Canceled" and its hint took half a second).
std::FILE* wholeWrites(std::FILE* out) {
    constexpr std::size_t kStreamBuffer = std::size_t{64} << 10;
    std::setvbuf(out, nullptr, _IOFBF, kStreamBuffer);
    return out;
}

}  // namespace

OutputQueue::OutputQueue(std::FILE* out, std::string name, OutputQueue* errors, std::size_t cap)
    : out_(wholeWrites(out)), name_(std::move(name)), errors_(errors), backlog_(cap), writer_([this] { run(); }) {}

OutputQueue::~OutputQueue() {
    {
        std::lock_guard lock(mutex_);
        backlog_.close();
        ending_ = true;
    }
    wake_.notify_one();
    writer_.join();
}

void OutputQueue::append(std::string_view text) {
    {
        std::lock_guard lock(mutex_);
        if (failed_) return;
        backlog_.append(text);
    }
    wake_.notify_one();
}

bool OutputQueue::drain(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    backlog_.close();
    wake_.notify_one();
    return written_.wait_until(lock, deadline, [this] { return backlog_.idle(); });
}

void OutputQueue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || !backlog_.idle(); });
        const std::string chunk = backlog_.take();
        if (chunk.empty()) {
            if (ending_) return;
            continue;
        }
        lock.unlock();
        errno = 0;
        const bool ok = std::fwrite(chunk.data(), 1, chunk.size(), out_) == chunk.size() && std::fflush(out_) == 0;
        const int error = errno;
        if (!ok && errors_) {
            errors_->append("qelisp-cli: " + name_ + ": " +
                            (error ? std::generic_category().message(error) : std::string("write failed")) +
                            "; the job goes on\n");
        }
        lock.lock();
        backlog_.written();
        if (!ok && !failed_) {
            failed_ = true;
            backlog_ = OutputBacklog(0);  // the rest would fail the same way
        }
        written_.notify_all();
        // With --trace lines come thousands a second, each on its own: a
        // moment's pause gathers them into one write, where a wake-up and a
        // write each would cost the job's thread more than the old direct
        // write did.
        lock.unlock();
        std::this_thread::sleep_for(kGather);
        lock.lock();
    }
}

}  // namespace qelisp::cli
