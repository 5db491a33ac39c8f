#pragma once
// The tool puts an output in place by renaming a new file onto its name. On
// a symbolic link, a device node (/dev/null, run as root), a FIFO or a socket
// that would leave a regular file where the special one was, so the tool
// writes only regular files and names that are still free.
#include <filesystem>
#include <optional>
#include <string>

namespace qelisp {

// What stands at `path` (not followed if it is a symbolic link) that must not
// be replaced, as a phrase: "a symbolic link", "a FIFO", ... nullopt for
// nothing there, a regular file, or a directory (a rename onto a directory
// fails by itself and says so), and when the name cannot be looked at (the
// write then fails with the reason).
std::optional<std::string> notRegularFile(const std::filesystem::path& path);

}  // namespace qelisp
