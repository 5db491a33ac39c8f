#pragma once
// A simulated instrument started for one run of the console program, on a
// pseudo-terminal, so `program --simulate` works without any hardware.
#include <cstdint>
#include <memory>
#include <string>

namespace qelisp::cli {

class SimulatedInstrument {
public:
    struct Settings {
        bool pacing = true;     // answer at the wire speed of 115200 baud
        std::string flashFile;  // load from (if it exists) and save to; none when empty
    };

    // Null and `error` when it cannot be started (or on a platform without it).
    static std::unique_ptr<SimulatedInstrument> start(const Settings& settings, std::string& error);

    virtual ~SimulatedInstrument() = default;
    // The port name to open.
    virtual const std::string& portName() const = 0;
    // Stops it and saves the flash; a line on what it saw, for the user.
    virtual std::string stop() = 0;
};

}  // namespace qelisp::cli
