#pragma once
// Who keeps a port from us, for the message that says what to do next: the
// process holding it open, or the group it belongs to.
#include <filesystem>
#include <string>

namespace qelisp {

// The process that has `device` open, where `proc` shows it: "minicom (PID
// 4242)"; empty when no process we may look into holds it.
std::string portHolder(const std::string& device, const std::filesystem::path& proc = "/proc");

// The group that may open `device`, by name: "dialout"; empty when it is
// root's or unknown, as no user is told to join that.
std::string portGroup(const std::string& device);

}  // namespace qelisp
