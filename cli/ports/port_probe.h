#pragma once
// `--port auto`: the loader's handshake on every port that can be opened, all
// at once, so finding the instrument takes one handshake's time however many
// ports there are. A port that answers is asked for one block, as the verify
// job asks, to tell an instrument from a port that echoes everything (a
// loopback plug, a modem). The one instrument is kept open for the job; the
// job's own 'U' simply starts the loader's session again.
#include "link/port.h"
#include "link/serial_link.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace qelisp::cli {

struct FoundInstrument {
    std::string port;                  // where the one instrument answered
    std::unique_ptr<SerialLink> link;  // open; null when none or several answered
    std::string error;                 // when link is null: what was tried and what answered
    bool interrupted = false;          // Ctrl-C came during the search
    bool several = false;              // more than one instrument answered
    bool noPort = false;               // no port could be opened to be greeted
    bool echoing = false;              // what answered only echoes what it is sent
};

// `candidates`: the ports to try, as the user would name them.
FoundInstrument findInstrument(const std::vector<std::string>& candidates, LineTiming timing,
                               std::atomic<bool>& interrupted);

// "a, b and c", each name made safe to print.
std::string portList(const std::vector<std::string>& ports);

// The message when not exactly one port answered; `echoing`: the ports that
// echoed the 'U' only because they echo everything (not among `answered`).
std::string searchFailure(const std::vector<std::string>& greeted, const std::vector<std::string>& answered,
                          const std::vector<std::string>& echoing = {});

}  // namespace qelisp::cli
