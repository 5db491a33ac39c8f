#pragma once
// What the window driver asks of scripts/test-windows, through files in a
// folder both see. A picture: the driver writes DIR\NAME.req holding a
// screen rectangle, the script crops a screenshot of the X display to it and
// answers with DIR\NAME.done. A device behind a COM port, or none:
// DIR\PORT.plug or DIR\PORT.unplug, answered the same way.
#include "tests/win32/foreign_window.h"

#include <string>

namespace qelisp::test {

class ScriptRequests {
public:
    // `dir` as a Windows path; empty: no script to ask.
    explicit ScriptRequests(std::string dir) : dir_(std::move(dir)) {}

    // Asks for a picture of `window` and waits until it is taken; nothing
    // when no directory was given.
    void take(HWND window, const std::string& name);
    void take(const RECT& screenRect, const std::string& name);

    // Plugs or unplugs the device behind `port` ("com14"); false when
    // there is no script to ask or it did not answer.
    bool plug(const std::string& port, bool in);

private:
    bool ask(const std::string& name, const std::string& kind, const std::string& line);
    std::string dir_;
};

}  // namespace qelisp::test
