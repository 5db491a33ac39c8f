// One port given twice under two spellings is told before anything opens.
#include "cli/ports/same_port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qelisp::cli {
namespace {

TEST(SamePort, NamesTwoSpellingsOfOnePort) {
    struct Case {
        std::vector<std::string> ports;
        const char* said;  // empty: each its own port
    };
    const Case cases[] = {
#ifdef _WIN32
        {{"COM3", "\\\\.\\com3"}, "--port COM3 and --port \\\\.\\com3 are the same port"},
        {{"COM3", "COM13"}, ""},
#else
        {{"null", "/dev/null"}, "--port null and --port /dev/null are the same port"},
        {{"/dev/zero", "/dev/./null", "/dev/../dev/zero"},
         "--port /dev/zero and --port /dev/../dev/zero are the same port"},
        {{"null", "zero"}, ""},
        // Nothing there (yet): the same path, however written, is one port.
        {{"ttyQELISP-none", "/dev/ttyQELISP-none"},
         "--port ttyQELISP-none and --port /dev/ttyQELISP-none are the same port"},
        {{"ttyQELISP-a", "ttyQELISP-b"}, ""},
#endif
        {{"COM7", "COM7"}, "--port COM7 is given twice"},
    };
    for (const Case& c : cases) EXPECT_EQ(samePortTwice(c.ports), c.said) << ::testing::PrintToString(c.ports);
}

}  // namespace
}  // namespace qelisp::cli
