#include "image/mkimage/interrupt_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string>

namespace qelisp {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handler may only read what is ready: each name is a plain char array,
// and its slot is marked armed only once the name is complete.
enum SlotState : int { kFree, kFilling, kArmed };
struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slot states");

// A run lists one file per output, two at most; the rest is room to spare.
Slot slots[8];

sigset_t signalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : kSignals) sigaddset(&set, number);
    return set;
}

// Async-signal-safe calls only: unlink, sigaction, raise, pthread_sigmask.
void onInterrupt(int number) {
    const int savedErrno = errno;
    for (Slot& slot : slots) {
        if (slot.state.load() == kArmed) unlink(slot.path);
    }
    struct sigaction usual {};
    usual.sa_handler = SIG_DFL;
    sigemptyset(&usual.sa_mask);
    sigaction(number, &usual, nullptr);
    // Raised while this signal is still blocked in the handler, then let
    // through: the process ends here with the signal's usual status.
    raise(number);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    errno = savedErrno;
}

}  // namespace

void installInterruptCleanup() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_mask = signalSet();  // one cleanup at a time
    for (int number : kSignals) {
        struct sigaction before {};
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(number, &action, nullptr);
    }
}

void removeOnInterrupt(const std::filesystem::path& path) {
    const std::string& name = path.native();
    // Cannot happen for a file that was created: the system refuses longer names.
    if (name.size() >= PATH_MAX) throw std::runtime_error("the name is too long to be removed on an interrupt");
    for (Slot& slot : slots) {
        int expected = kFree;
        if (slot.state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(slot.path, name.c_str(), name.size() + 1);
            slot.state.store(kArmed);
            return;
        }
    }
    throw std::runtime_error("too many temporary files to remove on an interrupt");
}

void keepOnInterrupt(const std::filesystem::path& path) {
    for (Slot& slot : slots) {
        if (slot.state.load() == kArmed && path.native() == slot.path) {
            slot.state.store(kFree);
            return;
        }
    }
}

InterruptsHeld::InterruptsHeld() {
    const sigset_t set = signalSet();
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &set, &before);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (sigismember(&before, kSignals[i]) == 1) heldBefore_ |= 1u << i;
    }
}

InterruptsHeld::~InterruptsHeld() {
    sigset_t release;
    sigemptyset(&release);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if ((heldBefore_ & (1u << i)) == 0) sigaddset(&release, kSignals[i]);
    }
    pthread_sigmask(SIG_UNBLOCK, &release, nullptr);
}

}  // namespace qelisp
