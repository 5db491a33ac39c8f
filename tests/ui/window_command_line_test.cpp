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
        bool version = false;
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
             Case{{"-platform", "offscreen", "--version"}, "", false, true, true},
             Case{{"--port", "ttyUSB1", "--version"}, "ttyUSB1", false, false, true},
         }) {
        WindowCommandLine parsed = parseWindowCommandLine(c.args);
        const std::string shown = ::testing::PrintToString(c.args);
        EXPECT_EQ(parsed.port, c.port) << shown;
        EXPECT_EQ(parsed.help, c.help) << shown;
        EXPECT_EQ(parsed.version, c.version) << shown;
        EXPECT_EQ(!parsed.error.empty(), c.error) << shown << ": " << parsed.error;
    }
}

TEST(WindowCommandLine, VersionNamesTheProgramAndTheFirmwareTrimmed) {
    EXPECT_EQ(windowVersionText("1.2.3", "QX-9           ", "2010.06.29     "),
              "qelisp 1.2.3\nfirmware: QX-9 2010.06.29\n");
    // A field without trailing spaces, and one that is all spaces.
    EXPECT_EQ(windowVersionText("1.2.3", "ABCDEFGHIJKLMNO", "               "),
              "qelisp 1.2.3\nfirmware: ABCDEFGHIJKLMNO \n");
}

}  // namespace
}  // namespace qelisp::test
