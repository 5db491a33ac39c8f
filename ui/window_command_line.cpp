#include "ui/window_command_line.h"

namespace qelisp {

WindowCommandLine parseWindowCommandLine(std::span<const std::string> args) {
    WindowCommandLine result;
    auto fail = [&](std::string message) {
        if (result.error.empty()) result.error = std::move(message);
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.help = true;
        } else if (arg == "--version") {
            result.version = true;
        } else if (arg.rfind("--port=", 0) == 0) {
            result.port = arg.substr(7);
            if (result.port.empty()) fail("--port wants a port name");
        } else if (arg == "--port") {
            if (i + 1 < args.size()) {
                result.port = args[++i];
            } else {
                fail("--port wants a port name");
            }
        } else {
            fail("unknown argument '" + arg + "'");
        }
    }
    return result;
}

std::string windowVersionText(std::string_view programVersion, std::string_view model, std::string_view version) {
    auto trimmed = [](std::string_view text) { return std::string(text.substr(0, text.find_last_not_of(' ') + 1)); };
    return "qelisp " + std::string(programVersion) + "\nfirmware: " + trimmed(model) + " " + trimmed(version) + "\n";
}

const char* windowUsageText() {
    return "usage: qelisp [--port NAME]\n"
           "Writes the firmware built into this program into a total station's flash\n"
           "over a serial cable, or reads it back to verify it.\n"
           "  --port NAME   open this port at start-up instead of the first one listed:\n"
           "                ttyUSB0, /dev/ttyUSB0, /dev/serial/by-id/..., or a serial\n"
           "                port server's rfc2217://HOST:PORT or tcp://HOST:PORT\n"
           "  --help        show this text\n"
           "  --version     show this program's version and the firmware's\n"
           "Qt's own options (-platform, -display, ...) work as well.\n";
}

}  // namespace qelisp
