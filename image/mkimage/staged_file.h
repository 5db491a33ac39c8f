#pragma once
// Writes an output so that a failed run never leaves a new or partial file:
// the contents go to "<target>.tmp" next to the target first, and only
// commit() renames that into place. A staged file that is not committed is
// removed, and whatever was at the target before stays as it was.
#include <filesystem>
#include <string_view>

namespace qelisp {

class StagedFile {
public:
    // Throws std::runtime_error when the temporary file cannot be written.
    StagedFile(std::filesystem::path target, std::string_view contents);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Throws std::runtime_error when the rename fails.
    void commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    bool committed_ = false;
};

}  // namespace qelisp
