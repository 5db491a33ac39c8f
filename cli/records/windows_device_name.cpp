#include "cli/records/windows_device_name.h"

#include "link/com_port_parsing.h"

#include <cctype>

namespace qelisp::cli {

namespace {

bool separator(char c) { return c == '\\' || c == '/'; }

std::string upper(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

// "C:\..." or "C:/...".
bool drivePath(std::string_view path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           separator(path[2]);
}

// "UNC\server\share\...": the long form of "\\server\share\...".
bool uncPath(std::string_view path) {
    return path.size() >= 4 && upper(path.substr(0, 3)) == "UNC" && separator(path[3]);
}

// A device's name as Windows finds it in the last part of a path: up to the
// first dot or colon, trailing spaces dropped ("com2.txt", "NUL:", "con ").
std::string reservedName(std::string_view path) {
    std::string_view name = path.substr(path.find_last_of("\\/") + 1);
    // "C:nul": the drive's current folder.
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') name.remove_prefix(2);
    name = name.substr(0, name.find_first_of(".:"));
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    const std::string base = upper(name);
    if (base == "CON" || base == "CONIN$" || base == "CONOUT$") return base + ", the console";
    if (base == "NUL") return base + ", the null device";
    if (base == "AUX") return base + ", a serial port";
    if (base == "PRN") return base + ", a printer port";
    // COM0 to COM9 and LPT0 to LPT9, also with the superscripts 1, 2 and 3
    // (in UTF-8).
    for (const char* kind : {"COM", "LPT"}) {
        if (base.rfind(kind, 0) != 0) continue;
        const std::string_view number = std::string_view(base).substr(3);
        const bool digit = number.size() == 1 && number[0] >= '0' && number[0] <= '9';
        const bool superscript = number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
        if (digit || superscript) {
            return base + (kind[0] == 'C' ? ", a serial port" : ", a printer port");
        }
    }
    return {};
}

}  // namespace

std::string windowsDeviceName(std::string_view path) {
    // "\\.\" names a device ("\\.\COM12", "\\.\pipe\x"); "\\?\" takes a path
    // as it is. Either may also lead to a file on a drive or a share.
    if (path.size() >= 4 && separator(path[0]) && separator(path[1]) && (path[2] == '.' || path[2] == '?') &&
        separator(path[3])) {
        const std::string_view rest = path.substr(4);
        if (drivePath(rest) || uncPath(rest)) return reservedName(rest);
        if (comPortNumber(rest)) return upper(rest) + ", a serial port";
        if (upper(rest.substr(0, 5)) == "PIPE\\" || upper(rest.substr(0, 5)) == "PIPE/") return "a named pipe";
        const std::string named = reservedName(rest);
        return named.empty() ? "a device" : named;
    }
    return reservedName(path);
}

}  // namespace qelisp::cli
