#include "link/printable_name.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace qelisp {
namespace {

TEST(PrintableName, EscapesWhatATerminalWouldActOn) {
    struct Case {
        std::string name;
        std::string shown;
    };
    const Case cases[] = {
        {"COM3", "COM3"},
        {"C:\\windows\\win.ini", "C:\\windows\\win.ini"},
        {"a\x1b[31mb\n\r\t", "a\\x1b[31mb\\n\\r\\t"},
        {std::string("a\0b", 3) + "\x7f\xff", "a\\x00b\\x7f\\xff"},
        {std::string(kPrintableNameLimit, 'x'), std::string(kPrintableNameLimit, 'x')},
    };
    for (const auto& c : cases) EXPECT_EQ(printableName(c.name), c.shown);
}

TEST(PrintableName, LongNamesKeepStartAndEndAndWholeEscapes) {
    struct Case {
        std::string name;
        std::string pattern;
    };
    const Case cases[] = {
        {std::string(kPrintableNameLimit + 1, 'x'), "x+\\.\\.\\.x+"},
        {"/dev/" + std::string(10'000, 'a') + "/END", "/dev/a+\\.\\.\\.a+/END"},
        // Escapes four characters wide, one character out of step.
        {"x" + std::string(100, '\x1b'), "x(\\\\x1b)+\\.\\.\\.(\\\\x1b)+"},
    };
    for (const auto& c : cases) {
        std::string shown = printableName(c.name);
        EXPECT_TRUE(std::regex_match(shown, std::regex(c.pattern))) << shown;
        EXPECT_LE(shown.size(), kPrintableNameLimit) << shown;
        EXPECT_GE(shown.size(), kPrintableNameLimit - 6) << "uses the room it has: " << shown;
    }
}

}  // namespace
}  // namespace qelisp
