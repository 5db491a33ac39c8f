#pragma once
// A run ended by Ctrl-C, a hang-up or a kill (SIGINT, SIGHUP, SIGTERM) must
// not leave its temporary files beside the outputs. Each temporary file is
// listed here while it exists; the signal handler removes the listed files,
// then the signal ends the process as it would have without the handler.
// Only qelisp-mkimage's main installs the handler: the library also runs
// inside the tests and the fuzzer, whose own handlers stay. Where there are
// no POSIX signals, all of this does nothing.
#include <filesystem>

namespace qelisp {

// Installs the handler for those of the three signals that are not ignored
// (a run under nohup keeps ignoring the hang-up).
void installInterruptCleanup();

// Lists `path` for removal on a signal. Throws std::runtime_error when the
// list is full. Call it with the signals held (InterruptsHeld) together with
// the file's creation, so that no signal falls between the two.
void removeOnInterrupt(const std::filesystem::path& path);

// Takes `path` off the list: it was renamed into place or removed.
void keepOnInterrupt(const std::filesystem::path& path);

// While one exists, the three signals wait: a step that must not be cut in
// half (a file and its listing, the renames that put the outputs in place)
// runs whole, and the handler acts after it.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    unsigned heldBefore_ = 0;  // which of the signals were held already, so nesting is safe
};

}  // namespace qelisp
