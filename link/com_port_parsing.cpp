#include "link/com_port_parsing.h"

#include "link/port_order.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace qelisp {

namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) { return upper(a) == upper(b); });
}

std::size_t findNoCase(std::string_view text, std::string_view what, std::size_t from = 0) {
    for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
        if (startsWithNoCase(text.substr(i), what)) return i;
    }
    return std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// The four hex digits after `key` ("VID_", "PID_") in `text`; 0 when absent.
std::uint16_t hexAfter(std::string_view text, std::string_view key) {
    const std::size_t at = findNoCase(text, key);
    if (at == std::string_view::npos || text.size() < at + key.size() + 4) return 0;
    const std::string_view digits = text.substr(at + key.size(), 4);
    unsigned value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    return error == std::errc() && end == digits.data() + digits.size() ? static_cast<std::uint16_t>(value) : 0;
}

// USB IDs from the first of the strings that names both.
void readUsbIds(std::string_view multiSz, PortInfo& port) {
    while (!multiSz.empty()) {
        const std::size_t end = std::min(multiSz.find('\0'), multiSz.size());
        const std::string_view id = multiSz.substr(0, end);
        multiSz.remove_prefix(std::min(end + 1, multiSz.size()));
        const std::uint16_t vid = hexAfter(id, "VID_"), pid = hexAfter(id, "PID_");
        if (vid != 0 && pid != 0) {
            port.vid = vid;
            port.pid = pid;
            return;
        }
    }
}

// The adapter's serial number as the device's instance ID carries it:
// "USB\VID_0403&PID_6001\A600ABCD" (Windows makes up an ID with '&' in it for
// a device without one), or FTDI's own "FTDIBUS\VID_0403+PID_6001+A600ABCDA\0000".
std::string serialFromInstanceId(std::string_view id) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t slash = id.find('\\');
        parts.push_back(id.substr(0, slash));
        if (slash == std::string_view::npos) break;
        id.remove_prefix(slash + 1);
    }
    if (parts.size() == 3 && startsWithNoCase(parts[0], "USB") && parts[0].size() == 3 &&
        parts[2].find('&') == std::string_view::npos) {
        return std::string(parts[2]);
    }
    if (parts.size() >= 2 && startsWithNoCase(parts[0], "FTDIBUS")) {
        const std::size_t first = parts[1].find('+');
        const std::size_t second = first == std::string_view::npos ? first : parts[1].find('+', first + 1);
        if (second != std::string_view::npos) return std::string(parts[1].substr(second + 1));
    }
    return {};
}

// "USB Serial Port (COM12)" -> "USB Serial Port": the name is shown beside it.
std::string descriptionFromFriendlyName(std::string_view friendly, std::string_view port) {
    friendly = trimmed(friendly);
    const std::string suffix = "(" + std::string(port) + ")";
    if (friendly.size() >= suffix.size() &&
        startsWithNoCase(friendly.substr(friendly.size() - suffix.size()), suffix)) {
        friendly = trimmed(friendly.substr(0, friendly.size() - suffix.size()));
    }
    return std::string(friendly);
}

}  // namespace

std::optional<int> comPortNumber(std::string_view name) {
    if (!startsWithNoCase(name, "COM")) return std::nullopt;
    const std::string_view digits = name.substr(3);
    if (digits.empty() || digits.size() > 3 || digits.front() < '1' || digits.front() > '9') return std::nullopt;
    int number = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || number > kHighestComPort) return std::nullopt;
    return number;
}

std::optional<PortInfo> portFromSetupApi(const SetupApiDevice& device) {
    const auto number = comPortNumber(trimmed(device.portName));
    if (!number) return std::nullopt;
    PortInfo port;
    port.name = "COM" + std::to_string(*number);
    port.description = descriptionFromFriendlyName(device.friendlyName, port.name);
    port.maker = std::string(trimmed(device.maker));
    readUsbIds(device.hardwareIds, port);
    if (port.vid == 0) readUsbIds(device.instanceId, port);
    port.serial = serialFromInstanceId(device.instanceId);
    return port;
}

std::vector<PortInfo> portsFromSerialComm(std::span<const RegistryValue> values) {
    constexpr std::string_view kDevicePrefix = "\\Device\\";
    std::vector<PortInfo> ports;
    for (const RegistryValue& value : values) {
        const auto number = comPortNumber(trimmed(value.data));
        if (!number) continue;
        std::string_view device = value.name;
        if (startsWithNoCase(device, kDevicePrefix)) device.remove_prefix(kDevicePrefix.size());
        ports.push_back(PortInfo{"COM" + std::to_string(*number), std::string(device), 0, 0, {}, {}, {}});
    }
    return ports;
}

std::vector<PortInfo> mergeComPorts(std::vector<PortInfo> fromSetupApi, std::vector<PortInfo> fromSerialComm) {
    std::vector<PortInfo> ports;
    auto known = [&](const std::string& name) {
        return std::any_of(ports.begin(), ports.end(), [&](const PortInfo& p) { return p.name == name; });
    };
    for (auto* list : {&fromSetupApi, &fromSerialComm}) {
        for (PortInfo& port : *list) {
            if (!known(port.name)) ports.push_back(std::move(port));
        }
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return portNameLess(a.name, b.name); });
    return ports;
}

}  // namespace qelisp
