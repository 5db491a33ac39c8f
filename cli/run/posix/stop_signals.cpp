#include "cli/run/stop_signals.h"

#include <pthread.h>
#include <csignal>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace qelisp::cli {

namespace {

StopCause causeOf(int number) {
    switch (number) {
        case SIGTERM: return StopCause::Terminate;
        case SIGHUP: return StopCause::HangUp;
        default: return StopCause::Interrupt;
    }
}

// The stop signals are taken by this thread alone, with sigwait, rather
// than by a handler in whichever thread they hit: it can then do what a
// handler may not, and bound the rest of the run itself. The run stops its
// jobs, sums up and writes what it can; if that is not over by the limit (a
// job that does not stop, a reader that takes nothing), the process ends
// here.
void watch(sigset_t signals, std::atomic<bool>* stop) {
    int number = 0;
    while (sigwait(&signals, &number) != 0) {
    }
    noteStop(causeOf(number));
    stop->store(true);
    std::this_thread::sleep_for(kStopLimit);
    std::_Exit(stopExitStatus());
}

}  // namespace

void catchStopSignals(std::atomic<bool>& stop) {
    sigset_t signals;
    sigemptyset(&signals);
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaddset(&signals, number);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    // A record past the file size limit fails its write (EFBIG) and is said
    // missing; the signal would end the run in the middle of its jobs.
    sigaction(SIGXFSZ, &ignore, nullptr);

    // Blocked here, before any thread starts, so every thread the run starts
    // leaves them to the watcher.
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &signals, &before);
    try {
        std::thread(watch, signals, &stop).detach();
    } catch (const std::system_error&) {
        // No watcher: the signals end the process as they would have.
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
}

}  // namespace qelisp::cli
