#include "sim/port_symlink.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace qelisp::sim {

PortSymlink::~PortSymlink() { remove(); }

bool PortSymlink::make(const std::string& path, const std::string& target, std::string& error) {
    remove();
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = path + " exists and is not a symlink; not replacing it";
            return false;
        }
        if (::unlink(path.c_str()) != 0) {
            error = "cannot remove the old symlink " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    if (::symlink(target.c_str(), path.c_str()) != 0) {
        error = "cannot make the symlink " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    target_ = target;
    return true;
}

void PortSymlink::remove() {
    if (path_.empty()) return;
    // Only our own link: another sim may have taken the name since.
    char buf[512];
    const ssize_t n = ::readlink(path_.c_str(), buf, sizeof buf);
    if (n >= 0 && std::string(buf, static_cast<std::size_t>(n)) == target_) ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace qelisp::sim
