// Platforms without pseudo-terminals have no simulated instrument.
#include "cli/ports/simulated_instrument.h"

namespace qelisp::cli {

std::unique_ptr<SimulatedInstrument> SimulatedInstrument::start(const Settings&, std::string& error) {
    error = "--simulate is not available on this platform: the simulated instrument needs a pseudo-terminal";
    return nullptr;
}

}  // namespace qelisp::cli
