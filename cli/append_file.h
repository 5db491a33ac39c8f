#pragma once
// A file that lines are only ever appended to, each in one write: a record
// is there whole or not at all, and several programs may append to the one
// file at once without their lines mixing.
#include <memory>
#include <string>
#include <string_view>

namespace qelisp::cli {

class AppendFile {
public:
    // Opens (or creates) `path` for appending. Null and `error` when it cannot.
    static std::unique_ptr<AppendFile> open(const std::string& path, std::string& error);
    virtual ~AppendFile() = default;

    // Appends `line` (which ends in a line break) in one write. False and
    // `error` when not all of it was written.
    virtual bool append(std::string_view line, std::string& error) = 0;
};

}  // namespace qelisp::cli
