// Which COM ports a technician could use right now: every present one that
// SetupAPI knows (with its friendly name and hardware IDs), and the ones
// the registry's SERIALCOMM map names that SetupAPI did not list (Wine lists
// none there); each tried by opening it without sharing and closing it again,
// to tell whether it can be opened now, and if not, why.
#include "link/com_port_parsing.h"
#include "link/port.h"
#include "link/win32/win32_serial_link.h"

#include <setupapi.h>

#include <array>
#include <vector>

namespace qelisp {

namespace {

// The Ports device class, and the interface every COM port driver should
// register (some list their ports only under one of the two).
constexpr GUID kPortsClass{0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr GUID kComPortInterface{0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

// UTF-16 from the system to the UTF-8 the rest of the program uses; NULs
// inside (a REG_MULTI_SZ) are kept.
std::string utf8(const wchar_t* text, std::size_t length) {
    if (length == 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
    return out;
}

// A string registry property: its characters up to the final NUL (the
// inner NULs of a REG_MULTI_SZ stay).
std::string deviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    std::vector<wchar_t> buffer(256);
    DWORD bytes = 0;
    while (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                                              static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &bytes)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes <= buffer.size() * sizeof(wchar_t)) return {};
        buffer.resize(bytes / sizeof(wchar_t) + 1);
    }
    std::size_t length = std::min<std::size_t>(bytes / sizeof(wchar_t), buffer.size());
    while (length > 0 && buffer[length - 1] == L'\0') --length;
    return utf8(buffer.data(), length);
}

std::string portName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    std::array<wchar_t, 64> name{};
    DWORD bytes = sizeof(name) - sizeof(wchar_t);
    DWORD type = 0;
    std::string result;
    if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name.data()), &bytes) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
        result = utf8(name.data(), wcsnlen(name.data(), bytes / sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return result;
}

std::string instanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    std::array<wchar_t, 512> id{};
    if (!SetupDiGetDeviceInstanceIdW(set, &device, id.data(), static_cast<DWORD>(id.size()), nullptr)) return {};
    return utf8(id.data(), wcsnlen(id.data(), id.size()));
}

void addSetupApiPorts(const GUID& guid, DWORD flags, std::vector<PortInfo>& ports) {
    HDEVINFO set = SetupDiGetClassDevsW(&guid, nullptr, nullptr, flags | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        SetupApiDevice answer{portName(set, device), deviceProperty(set, device, SPDRP_FRIENDLYNAME),
                              deviceProperty(set, device, SPDRP_HARDWAREID), deviceProperty(set, device, SPDRP_MFG),
                              instanceId(set, device)};
        if (auto port = portFromSetupApi(answer)) ports.push_back(std::move(*port));
    }
    SetupDiDestroyDeviceInfoList(set);
}

std::vector<RegistryValue> serialCommValues() {
    std::vector<RegistryValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return values;
    }
    std::array<wchar_t, 256> name{};
    std::array<wchar_t, 64> data{};
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        LONG status = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ) continue;  // too long for a port name, or not text
        values.push_back(
            {utf8(name.data(), nameLength), utf8(data.data(), wcsnlen(data.data(), dataBytes / sizeof(wchar_t)))});
    }
    RegCloseKey(key);
    return values;
}

// Opened without sharing, asked for its line settings and let go, as
// openPort() would open it: a port another program holds fails the open, and
// a name with nothing behind it fails to tell its settings (Wine opens any
// COM name it maps).
OpenResult tryPort(const std::string& name) {
    HANDLE handle =
        CreateFileA(devicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return createFailure(name, GetLastError());
    DCB settings{};
    settings.DCBlength = sizeof(settings);
    const bool serial = GetCommState(handle, &settings) != FALSE;
    const DWORD err = serial ? ERROR_SUCCESS : GetLastError();
    CloseHandle(handle);
    return serial ? OpenResult{} : settingsFailure(name, err);
}

}  // namespace

std::vector<PortInfo> listPorts() {
    std::vector<PortInfo> fromSetupApi;
    addSetupApiPorts(kPortsClass, 0, fromSetupApi);
    addSetupApiPorts(kComPortInterface, DIGCF_DEVICEINTERFACE, fromSetupApi);
    const std::vector<RegistryValue> serialComm = serialCommValues();
    std::vector<PortInfo> ports = mergeComPorts(std::move(fromSetupApi), portsFromSerialComm(serialComm));
    for (PortInfo& port : ports) noteOpenResult(port, tryPort(port.name));
    return ports;
}

std::optional<std::vector<std::string>> presentPortNames() { return std::nullopt; }

}  // namespace qelisp
