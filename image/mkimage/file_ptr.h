#pragma once
// A C stream closed when it goes out of scope.
#include <cstdio>
#include <memory>

namespace qelisp {

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, CloseFile>;

}  // namespace qelisp
