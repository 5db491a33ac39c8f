// qelisp-cli ports: the table for people and the JSON for scripts, on port
// lists as the backends give them, odd bytes included.
#include "cli/ports/ports_command.h"
#include "cli/cli_options.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace qelisp::cli {
namespace {

const std::string kDialout =
    "permission denied (the user may need to be in the 'dialout' group: sudo usermod -aG dialout $USER, then log "
    "in again)";

const std::vector<PortInfo> kPorts{
    {"ttyUSB0", "FT232R USB UART", 0x0403, 0x6001, "FTDI", "A600ABCD", "/dev/serial/by-id/usb-FTDI-if00-port0"},
    {"ttyS0", "Built-in serial port", 0, 0, {}, {}, {}, OpenError::Busy, "port is in use by another program"},
    // What a cheap adapter's strings may hold.
    {"ttyACM0",
     "Caf\xc3\xa9 \"2\"\x1b[2J\\",
     0x2341,
     0x0043,
     "bad\xff\xc0\xaf"
     "byte",
     "\xed\xa0\x80",
     {},
     OpenError::PermissionDenied,
     kDialout},
    {"ttyUSB1", "USB serial port", 0, 0, {}, {}, {}, OpenError::Other, "cannot be set up (Input/output error)"},
};

TEST(PortsCommand, TableHasAColumnEachAndTheByIdNameUnderItsPort) {
    EXPECT_EQ(formatPortTable(kPorts),
              "NAME     DESCRIPTION              VID:PID    SERIAL        OPENS\n"
              "ttyUSB0  FT232R USB UART          0403:6001  A600ABCD      yes\n"
              "         /dev/serial/by-id/usb-FTDI-if00-port0\n"
              "ttyS0    Built-in serial port     -          -             no: port is in use by another program\n"
              "ttyACM0  Caf\\xc3\\xa9 \"2\"\\x1b[2J\\  2341:0043  \\xed\\xa0\\x80  no: " +
                  kDialout +
                  "\n"
                  "ttyUSB1  USB serial port          -          -             no: cannot be set up (Input/output "
                  "error)\n");
    // A terminal that shows UTF-8 gets the description's own letters, still
    // without its escape sequence, and the columns count characters.
    const std::string utf8 = formatPortTable(kPorts, true);
    EXPECT_NE(utf8.find("ttyACM0  Caf\xc3\xa9 \"2\"\\x1b[2J\\      2341:0043  \\xed\\xa0\\x80  no: "),
              std::string::npos)
        << utf8;
    EXPECT_NE(utf8.find("ttyS0    Built-in serial port  -          -"), std::string::npos) << utf8;
}

TEST(PortsCommand, JsonIsValidWhateverTheBytesAndSaysWhyAPortDoesNotOpen) {
    EXPECT_EQ(formatPortJson({}), "[]\n");
    const std::string text = formatPortJson(kPorts);
    // Parsing rejects a raw control character, a lone quote or bytes that are no UTF-8.
    const nlohmann::json parsed = nlohmann::json::parse(text);
    const std::string replaced = "\xef\xbf\xbd";  // U+FFFD
    const nlohmann::json expected = {
        {{"name", "ttyUSB0"},
         {"description", "FT232R USB UART"},
         {"vid", "0403"},
         {"pid", "6001"},
         {"maker", "FTDI"},
         {"serial", "A600ABCD"},
         {"by_id", "/dev/serial/by-id/usb-FTDI-if00-port0"},
         {"opens", true},
         {"problem", nullptr},
         {"reason", nullptr}},
        {{"name", "ttyS0"},
         {"description", "Built-in serial port"},
         {"vid", nullptr},
         {"pid", nullptr},
         {"maker", nullptr},
         {"serial", nullptr},
         {"by_id", nullptr},
         {"opens", false},
         {"problem", "busy"},
         {"reason", "port is in use by another program"}},
        {{"name", "ttyACM0"},
         {"description", "Caf\xc3\xa9 \"2\"\x1b[2J\\"},
         {"vid", "2341"},
         {"pid", "0043"},
         {"maker", "bad" + replaced + replaced + replaced + "byte"},
         {"serial", replaced + replaced + replaced},
         {"by_id", nullptr},
         {"opens", false},
         {"problem", "permission"},
         {"reason", kDialout}},
        {{"name", "ttyUSB1"},
         {"description", "USB serial port"},
         {"vid", nullptr},
         {"pid", nullptr},
         {"maker", nullptr},
         {"serial", nullptr},
         {"by_id", nullptr},
         {"opens", false},
         {"problem", "other"},
         {"reason", "cannot be set up (Input/output error)"}},
    };
    EXPECT_EQ(parsed, expected) << text;
    EXPECT_NE(text.find("\\u001b[2J"), std::string::npos) << "the escape byte must be escaped: " << text;
}

TEST(PortsCommand, JsonIsAnOptionOfPortsAndTheJobsNotOfInfo) {
    auto ports = parseOptions({"ports", "--json"});
    ASSERT_TRUE(ports.options) << ports.error;
    EXPECT_TRUE(ports.options->json);
    EXPECT_FALSE(parseOptions({"info", "--json"}).options);
    auto job = parseOptions({"program", "--port", "COM3", "--json"});
    ASSERT_TRUE(job.options) << job.error;
    EXPECT_TRUE(job.options->json);
}

}  // namespace
}  // namespace qelisp::cli
