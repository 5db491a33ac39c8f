#pragma once
// What Windows tells of its COM ports, turned into PortInfo. The Win32
// backend asks SetupAPI and the registry and hands the answers, as UTF-8
// text, to these functions; tests feed them recorded answers.
#include "link/port.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qelisp {

// Windows numbers COM ports 1 to 256.
inline constexpr int kHighestComPort = 256;

// "COM12" (any case) -> 12; nullopt for any other name ("LPT1", "COM0",
// "COM257", "COM3 ", "CNCA0").
std::optional<int> comPortNumber(std::string_view name);

// One device of the Ports class (or with the COM port interface), as
// SetupAPI and the device's registry key describe it.
struct SetupApiDevice {
    std::string portName;      // "PortName" in the device key: "COM12"
    std::string friendlyName;  // SPDRP_FRIENDLYNAME: "USB Serial Port (COM12)"
    std::string hardwareIds;   // SPDRP_HARDWAREID, a REG_MULTI_SZ: strings each ended by a NUL
    std::string maker;         // SPDRP_MFG: "FTDI"
    std::string instanceId;    // "USB\VID_0403&PID_6001\A600ABCD"
};

// nullopt when the device is no COM port (a printer port of the same class).
std::optional<PortInfo> portFromSetupApi(const SetupApiDevice& device);

// One value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: the driver's device name
// ("\Device\Serial0", "\Device\VCP0") and the port's name ("COM1").
struct RegistryValue {
    std::string name;
    std::string data;
};

// Every COM port SERIALCOMM names, described by its driver's device name.
std::vector<PortInfo> portsFromSerialComm(std::span<const RegistryValue> values);

// SetupAPI's ports, then SERIALCOMM's for the names SetupAPI did not list
// (all of them where SetupAPI lists none, as under Wine); one entry per
// port, sorted by number.
std::vector<PortInfo> mergeComPorts(std::vector<PortInfo> fromSetupApi, std::vector<PortInfo> fromSerialComm);

}  // namespace qelisp
