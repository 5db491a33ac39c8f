// A long port name keeps its head and its tail.
#include "ui/elide_middle.h"

#include <gtest/gtest.h>

namespace qelisp::test {
namespace {

// One unit per character, the ellipsis too.
int characters(std::string_view text) {
    int count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

TEST(ElideMiddle, KeepsTheHeadAndTheTailAroundAnEllipsis) {
    struct Case {
        const char* text;
        int width;
        const char* shown;
    };
    const Case cases[] = {
        {"COM1", 4, "COM1"},
        {"rfc2217://127.0.0.1:7400", 24, "rfc2217://127.0.0.1:7400"},
        {"rfc2217://127.0.0.1:7400", 23, "rfc2217://1\u2026.0.0.1:7400"},
        {"rfc2217://127.0.0.1:7400", 10, "rfc2\u2026:7400"},
        {"rfc2217://127.0.0.1:7400", 9, "rfc2\u20267400"},
        {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", 21, "/dev/seria\u2026if00-port0"},
        // A character is never cut in two.
        {"P\u00f6rt-\u00dcnit-7", 6, "P\u00f6\u2026t-7"},
        {"COM12", 0, "\u2026"},
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        const std::string shown = elideMiddle(c.text, c.width, characters);
        EXPECT_EQ(shown, c.shown) << c.text << " in " << c.width;
        EXPECT_LE(characters(shown), std::max(c.width, 1)) << shown;
    }
}

}  // namespace
}  // namespace qelisp::test
