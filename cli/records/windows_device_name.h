#pragma once
// Names Windows takes for a device rather than a file, whatever the folder
// and the extension: "COM2", "com2.txt", "C:\logs\nul", "\\.\COM2". The log
// refuses them before anything is opened: opening COM2 would take the
// serial line of another instrument. Kept apart from the Win32 code so that
// the rule is tested on every system.
#include <string>
#include <string_view>

namespace qelisp::cli {

// What `path` stands for when it names a device, for a message: "COM2, a
// serial port", "NUL, the null device", "a named pipe", "a device". Empty
// when it names a file.
std::string windowsDeviceName(std::string_view path);

}  // namespace qelisp::cli
