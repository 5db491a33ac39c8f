#include "link/posix/port_holder.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <vector>

namespace qelisp {

std::string portHolder(const std::string& device, const std::filesystem::path& proc) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // A by-id link or a relative name: the fd links name the device itself.
    fs::path target = fs::canonical(device, ec);
    if (ec) target = device;
    fs::directory_iterator processes(proc, ec);
    if (ec) return {};
    for (const fs::directory_entry& process : processes) {
        const std::string pid = process.path().filename().string();
        if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0]))) continue;
        // Another user's process is closed to us (EACCES): skipped.
        fs::directory_iterator fds(process.path() / "fd", ec);
        if (ec) continue;
        for (const fs::directory_entry& fd : fds) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) != target || linkError) continue;
            std::string name;
            std::ifstream(process.path() / "comm") >> name;
            return (name.empty() ? std::string("a program") : name) + " (PID " + pid + ")";
        }
    }
    return {};
}

std::string portGroup(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || st.st_gid == 0) return {};
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
    return found->gr_name;
}

}  // namespace qelisp
