#pragma once
// The result log's file: a regular file that lines are only ever appended
// to, a record there whole or not at all, and several programs appending to
// the one file at once without their lines mixing.
#include <memory>
#include <string>
#include <string_view>

namespace qelisp::cli {

class AppendFile {
public:
    // Opens (or creates) `path` for appending, without waiting on it (a FIFO
    // nobody reads). Anything but a regular file is refused before it is
    // opened where the system tells what it is: a FIFO, a terminal or a
    // serial port, another device, a directory. Null and `error` when it
    // cannot be opened or is no file.
    static std::unique_ptr<AppendFile> open(const std::string& path, std::string& error);
    virtual ~AppendFile() = default;

    // Appends `line` (which ends in a line break) while holding the file's
    // lock, which every appender of this program takes: a file whose last
    // line has no break gets one first. False and `error` when not all of
    // it was written; the part that was is cut off again.
    virtual bool append(std::string_view line, std::string& error) = 0;
};

// Why `path` was refused: "a FIFO, not a file; the log must be a regular file".
inline std::string notAFile(std::string_view what) {
    return std::string(what) + ", not a file; the log must be a regular file";
}

}  // namespace qelisp::cli
