#pragma once
// A file created where none was: opened exclusively (C11 "x" mode), so a file
// or symlink already at the name is never written through or truncated.
#include <filesystem>

#include "image/mkimage/file_ptr.h"

namespace qelisp {

struct NewFile {
    std::filesystem::path path;
    FilePtr file;  // open for writing in binary mode
};

// Creates "<name>.<8 random hex digits>.tmp" in the folder of `beside`
// (whose name gives <name>), trying other digits while the name is taken.
// Throws std::runtime_error with the reason when no file can be created.
NewFile createFileBeside(const std::filesystem::path& beside);

}  // namespace qelisp
