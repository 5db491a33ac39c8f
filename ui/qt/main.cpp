// qelisp: the Linux firmware updater's window.
#include "link/standard_descriptors.h"
#include "ui/qt/qelisp_app.h"
#include "ui/window_command_line.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (!qelisp::ensureStandardDescriptors()) return 1;
    // --help before Qt starts, so that it needs no display.
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (qelisp::parseWindowCommandLine(args).help) {
        std::fputs(qelisp::windowUsageText(), stdout);
        return 0;
    }
    CQelIspApp app(argc, argv);
    return app.run();
}
