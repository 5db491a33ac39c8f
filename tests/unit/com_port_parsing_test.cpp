// Windows' answers about its COM ports, as SetupAPI and the registry give
// them for common adapters, turned into the port list.
#include "link/com_port_parsing.h"
#include "link/port_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qelisp {
namespace {

using namespace std::string_literals;

TEST(ComPortParsing, OnlyComOneToTwoFiftySixIsAComPort) {
    const std::pair<std::string, std::optional<int>> cases[] = {
        {"COM1", 1},     {"COM9", 9},    {"com12", 12}, {"COM90", 90}, {"COM99", 99},
        {"COM256", 256}, {"COM257", {}}, {"COM0", {}},  {"COM01", {}}, {"COM", {}},
        {"COM3 ", {}},   {"COM-1", {}},  {"LPT1", {}},  {"CNCA0", {}}, {"COM99999999999", {}},
    };
    for (const auto& [name, number] : cases) EXPECT_EQ(comPortNumber(name), number) << name;
}

TEST(ComPortParsing, SetupApiDevicesGiveNameDescriptionIdsMakerAndSerial) {
    struct Case {
        SetupApiDevice device;
        std::optional<PortInfo> port;
    };
    const Case cases[] = {
        // FTDI's own driver: the IDs joined by '+', the serial with the channel letter.
        {{"COM12", "USB Serial Port (COM12)", "FTDIBUS\\COMPORT&VID_0403&PID_6001\0\0"s, "FTDI",
          "FTDIBUS\\VID_0403+PID_6001+A600ABCDA\\0000"},
         PortInfo{"COM12", "USB Serial Port", 0x0403, 0x6001, "FTDI", "A600ABCDA", {}}},
        // Windows' CDC driver; the adapter's serial number is the instance ID's last part.
        {{"COM3", "USB Serial Device (COM3)", "USB\\VID_2341&PID_0043&REV_0001\0USB\\VID_2341&PID_0043\0\0"s,
          "Microsoft", "USB\\VID_2341&PID_0043\\75735353038351F0E1B1"},
         PortInfo{"COM3", "USB Serial Device", 0x2341, 0x0043, "Microsoft", "75735353038351F0E1B1", {}}},
        // No serial number: Windows makes an instance ID up, with '&' in it.
        {{"COM5", "USB-SERIAL CH340 (com5)", "USB\\VID_1A86&PID_7523&REV_0254\0USB\\VID_1A86&PID_7523\0\0"s, "wch.cn",
          "USB\\VID_1A86&PID_7523\\5&2A3C1B7&0&2"},
         PortInfo{"COM5", "USB-SERIAL CH340", 0x1A86, 0x7523, "wch.cn", {}, {}}},
        {{"COM1", "Communications Port (COM1)", "ACPI\\PNP0501\0*PNP0501\0\0"s, "(Standard port types)",
          "ACPI\\PNP0501\\0"},
         PortInfo{"COM1", "Communications Port", 0, 0, "(Standard port types)", {}, {}}},
        // A friendly name that does not end in the port, and broken IDs.
        {{" com7 ", "Bluetooth link", "BTHENUM\\VID_12&PID_XYZW\0"s, "", "BTHENUM\\{0000}\\7&1"},
         PortInfo{"COM7", "Bluetooth link", 0, 0, {}, {}, {}}},
        {{"LPT1", "Printer Port (LPT1)", "ACPI\\PNP0400\0\0"s, "", "ACPI\\PNP0400\\1"}, std::nullopt},
        {{"", "Some Port", "", "", ""}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(portFromSetupApi(c.device), c.port) << c.device.friendlyName;
}

TEST(ComPortParsing, SerialCommFillsInWhatSetupApiMissedSortedByNumber) {
    const std::vector<RegistryValue> serialComm{
        {"\\Device\\VCP0", "COM12"},   {"\\Device\\Serial0", "COM1"},   {"\\Device\\USBSER000", "COM10"},
        {"\\Device\\Serial1", "COM2"}, {"\\Device\\Serial9", "COM300"}, {"\\Device\\Parallel0", "LPT1"},
    };
    const std::vector<PortInfo> fromSetupApi{PortInfo{"COM12", "USB Serial Port", 0x0403, 0x6001, "FTDI", "A6", {}}};
    std::vector<std::string> shown;
    for (const PortInfo& p : mergeComPorts(fromSetupApi, portsFromSerialComm(serialComm))) {
        shown.push_back(p.name + " " + p.description);
    }
    EXPECT_EQ(shown,
              (std::vector<std::string>{"COM1 Serial0", "COM2 Serial1", "COM10 USBSER000", "COM12 USB Serial Port"}));
}

TEST(PortOrder, NumbersByValueCaseIgnored) {
    std::vector<std::string> names{"ttyUSB10", "COM10", "/dev/pts/3", "ttyUSB2", "com2", "COM1", "ttyACM0", "COM2a"};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return portNameLess(a, b); });
    EXPECT_EQ(names, (std::vector<std::string>{"/dev/pts/3", "COM1", "com2", "COM2a", "COM10", "ttyACM0", "ttyUSB2",
                                               "ttyUSB10"}));
    EXPECT_FALSE(portNameLess("COM2", "COM2"));
    EXPECT_NE(portNameLess("COM02", "COM2"), portNameLess("COM2", "COM02")) << "a strict order, even for look-alikes";
}

}  // namespace
}  // namespace qelisp
