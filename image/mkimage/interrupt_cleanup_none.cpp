// No POSIX signals here: nothing to clean up after, nothing to hold back.
#include "image/mkimage/interrupt_cleanup.h"

namespace qelisp {

void installInterruptCleanup() {}
void removeOnInterrupt(const std::filesystem::path&) {}
void keepOnInterrupt(const std::filesystem::path&) {}
InterruptsHeld::InterruptsHeld() = default;
InterruptsHeld::~InterruptsHeld() = default;

}  // namespace qelisp
