#pragma once
// --link PATH: a symlink to the pty slave under a stable name (for example a
// Wine dosdevices/comN entry). It replaces an older symlink, never a regular
// file, and goes away with this object.
#include <string>

namespace qelisp::sim {

class PortSymlink {
public:
    PortSymlink() = default;
    PortSymlink(const PortSymlink&) = delete;
    PortSymlink& operator=(const PortSymlink&) = delete;
    ~PortSymlink();

    bool make(const std::string& path, const std::string& target, std::string& error);
    void remove();

private:
    std::string path_;
    std::string target_;
};

}  // namespace qelisp::sim
