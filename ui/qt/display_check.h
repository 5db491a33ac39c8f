#pragma once
// The window needs a display. Qt, finding none, ends the process with
// abort() and a paragraph about platform plugins; a technician who started
// qelisp over ssh or from a service script reads one line instead, and the
// exit status is 1, not a core dump's.
#include <span>
#include <string>

namespace qelisp::qt {

// Why there is plainly no display to open the window on (neither DISPLAY
// nor WAYLAND_DISPLAY set, and no platform chosen with -platform or
// QT_QPA_PLATFORM); empty when there may be one.
std::string missingDisplay(std::span<const std::string> args);

// While it lives and until started(): a fatal message from Qt (a display
// that is named but does not answer) is said as one line, exit status 1.
class StartupGuard {
public:
    StartupGuard();
    ~StartupGuard();
    StartupGuard(const StartupGuard&) = delete;
    StartupGuard& operator=(const StartupGuard&) = delete;
    void started();

private:
    bool active_ = true;
};

}  // namespace qelisp::qt
