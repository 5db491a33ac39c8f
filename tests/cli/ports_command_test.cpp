// qelisp-cli ports: the table for people and the JSON for scripts, on port
// lists as the backends give them, odd bytes included.
#include "cli/ports_command.h"
#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace qelisp::cli {
namespace {

const std::vector<PortInfo> kPorts{
    {"ttyUSB0", "FT232R USB UART", 0x0403, 0x6001, "FTDI", "A600ABCD", "/dev/serial/by-id/usb-FTDI-if00-port0"},
    {"ttyS0", "Built-in serial port", 0, 0, {}, {}, {}},
    // What a cheap adapter's strings may hold.
    {"ttyACM0",
     "Caf\xc3\xa9 \"2\"\x1b[2J\\",
     0x2341,
     0x0043,
     "bad\xff\xc0\xaf"
     "byte",
     "\xed\xa0\x80",
     {}},
};

TEST(PortsCommand, TableHasAColumnEachAndTheByIdNameUnderItsPort) {
    EXPECT_EQ(formatPortTable(kPorts),
              "NAME     DESCRIPTION              VID:PID    SERIAL\n"
              "ttyUSB0  FT232R USB UART          0403:6001  A600ABCD\n"
              "         /dev/serial/by-id/usb-FTDI-if00-port0\n"
              "ttyS0    Built-in serial port     -          -\n"
              "ttyACM0  Caf\\xc3\\xa9 \"2\"\\x1b[2J\\  2341:0043  \\xed\\xa0\\x80\n");
}

TEST(PortsCommand, JsonIsValidWhateverTheBytes) {
    EXPECT_EQ(formatPortJson({}), "[]\n");
    EXPECT_EQ(formatPortJson(kPorts),
              "[\n"
              "  {\"name\": \"ttyUSB0\", \"description\": \"FT232R USB UART\", \"vid\": \"0403\", \"pid\": \"6001\", "
              "\"maker\": \"FTDI\", \"serial\": \"A600ABCD\", \"byId\": \"/dev/serial/by-id/usb-FTDI-if00-port0\"},\n"
              "  {\"name\": \"ttyS0\", \"description\": \"Built-in serial port\", \"vid\": null, \"pid\": null, "
              "\"maker\": \"\", \"serial\": \"\", \"byId\": \"\"},\n"
              "  {\"name\": \"ttyACM0\", \"description\": \"Caf\xc3\xa9 \\\"2\\\"\\u001b[2J\\\\\", \"vid\": \"2341\", "
              "\"pid\": \"0043\", \"maker\": \"bad\\ufffd\\ufffd\\ufffdbyte\", \"serial\": \"\\ufffd\\ufffd\\ufffd\", "
              "\"byId\": \"\"}\n"
              "]\n");
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
