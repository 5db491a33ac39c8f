#pragma once
// Asks scripts/test-windows for a picture of a window: the driver writes
// DIR\NAME.req holding the window's screen rectangle, the script crops a
// screenshot of the X display to it and answers with DIR\NAME.done.
#include "tests/win32/foreign_window.h"

#include <string>

namespace qelisp::test {

class Screenshots {
public:
    // `dir` as a Windows path; empty: no pictures.
    explicit Screenshots(std::string dir) : dir_(std::move(dir)) {}

    // Asks for a picture of `window` and waits until it is taken; nothing
    // when no directory was given.
    void take(HWND window, const std::string& name);

private:
    std::string dir_;
};

}  // namespace qelisp::test
