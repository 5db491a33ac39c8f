#include "jobs/status_text.h"

#include <cstdio>

namespace qelisp {

std::string addressStatus(std::string_view prefix, std::uint32_t address) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05X", static_cast<unsigned>(address));
    return std::string(prefix) + digits + "H";
}

std::string elapsedStatus(const char* prefix, std::uint32_t startTick, std::uint32_t endTick) {
    std::uint32_t ms = endTick - startTick;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%3.1f", ms / 1000.0);
    return std::string(prefix) + seconds + "S";
}

}  // namespace qelisp
