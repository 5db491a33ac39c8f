// qelisp: the Linux firmware updater's window.
#include "image/firmware_image.h"
#include "link/standard_descriptors.h"
#include "program_version.h"
#include "ui/qt/display_check.h"
#include "ui/qt/qelisp_app.h"
#include "ui/window_command_line.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (!qelisp::ensureStandardDescriptors()) return 1;
    // --help and --version before Qt starts, so that they need no display.
    const std::vector<std::string> args(argv + 1, argv + argc);
    const qelisp::WindowCommandLine commandLine = qelisp::parseWindowCommandLine(args);
    if (commandLine.help) {
        std::fputs(qelisp::windowUsageText(), stdout);
        return 0;
    }
    if (commandLine.version) {
        const qelisp::FirmwareImage& image = qelisp::embeddedImage();
        std::fputs(qelisp::windowVersionText(QELISP_PROGRAM_VERSION, image.model(), image.version()).c_str(), stdout);
        return 0;
    }
    if (const std::string why = qelisp::qt::missingDisplay(args); !why.empty()) {
        std::fprintf(stderr, "qelisp: %s\n", why.c_str());
        return 1;
    }
    qelisp::qt::StartupGuard guard;
    CQelIspApp app(argc, argv);
    guard.started();
    return app.run();
}
