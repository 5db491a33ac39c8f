#pragma once
// The formatted status lines the jobs show.
#include <cstdint>
#include <string>

namespace qelisp {

// prefix + the address as at least five upper-case hex digits + "H",
// e.g. "Verify Error At: 03005H".
std::string addressStatus(const char* prefix, std::uint32_t address);

// prefix + elapsed seconds with one decimal + "S". The tick difference is
// taken as an unsigned 32-bit count, so a tick counter that wrapped during
// the job still gives the right time.
std::string elapsedStatus(const char* prefix, std::uint32_t startTick, std::uint32_t endTick);

}  // namespace qelisp
