#include "state/clock.h"

#include <chrono>
#include <thread>

namespace qelisp {

std::uint32_t SystemClock::tickMs() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

void SystemClock::sleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace qelisp
