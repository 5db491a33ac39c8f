#pragma once
// The formatted status lines the jobs show.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qelisp {

// How both jobs end when the image has no record for 03000H.
inline constexpr std::string_view kDataError = "Data Error!";

// The lines a job rewrites for every record.
inline constexpr std::string_view kWritingAt = "Writing Data To Address: ";
inline constexpr std::string_view kVerifyingAt = "Verifying Data At Address: ";
// The longest of them, with its five digits and "H": what a console keeps
// room for.
inline constexpr std::size_t kAddressStatusWidth =
    (kWritingAt.size() > kVerifyingAt.size() ? kWritingAt.size() : kVerifyingAt.size()) + 6;

// prefix + the address as at least five upper-case hex digits + "H",
// e.g. "Verify Error At: 03005H".
std::string addressStatus(std::string_view prefix, std::uint32_t address);

// prefix + elapsed seconds with one decimal + "S". The tick difference is
// taken as an unsigned 32-bit count, so a tick counter that wrapped during
// the job still gives the right time.
std::string elapsedStatus(const char* prefix, std::uint32_t startTick, std::uint32_t endTick);

}  // namespace qelisp
