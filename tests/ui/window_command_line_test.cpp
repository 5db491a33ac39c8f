// The Linux window's command line.
#include "ui/window_command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace qelisp::test {
namespace {

TEST(WindowCommandLine, PortHelpAndMistakes) {
    struct Case {
        std::vector<std::string> args;
        std::string port;
        bool help;
        bool error;
    };
    for (const Case& c : {
             Case{{}, "", false, false},
             Case{{"--port", "ttyUSB1"}, "ttyUSB1", false, false},
             Case{{"--port=/dev/serial/by-id/usb-FTDI-if00"}, "/dev/serial/by-id/usb-FTDI-if00", false, false},
             Case{{"--port"}, "", false, true},
             Case{{"--port="}, "", false, true},
             Case{{"--prot", "ttyUSB1"}, "", false, true},
             Case{{"ttyUSB1"}, "", false, true},
             // Help is answered even next to a mistake, before Qt takes its options.
             Case{{"-platform", "offscreen", "--help"}, "", true, true},
             Case{{"-h"}, "", true, false},
         }) {
        WindowCommandLine parsed = parseWindowCommandLine(c.args);
        const std::string shown = ::testing::PrintToString(c.args);
        EXPECT_EQ(parsed.port, c.port) << shown;
        EXPECT_EQ(parsed.help, c.help) << shown;
        EXPECT_EQ(!parsed.error.empty(), c.error) << shown << ": " << parsed.error;
    }
}

}  // namespace
}  // namespace qelisp::test
