#pragma once
// Finding and opening ports. Each platform backend implements these.
#include "link/serial_link.h"

#include <memory>
#include <string>
#include <vector>

namespace qelisp {

enum class OpenError {
    None,
    NotFound,          // no such device
    PermissionDenied,  // on Linux usually: not in the dialout group
    Busy,              // held by another program
    NotSerial,         // exists, but is not a serial device
    Other,
};

struct OpenResult {
    std::unique_ptr<SerialLink> link;  // null unless error == None
    OpenError error = OpenError::None;
    std::string message;  // what went wrong, in words a technician can act on
};

// How the port is opened: at start-up the driver is also asked for its queue
// sizes (1024 in, 512 out); reopening after a new selection skips that.
enum class OpenMode { StartUp, Reselect };

// Opens a port by the name the user sees ("COM3", "ttyUSB0", "/dev/pts/4"),
// exclusively, at 115200 8N1 raw with the loader's time-outs.
OpenResult openPort(const std::string& name, OpenMode mode = OpenMode::StartUp);

// Up to eight ports that can be opened right now, in the order found, by the
// short name the user picks them by. A port held by another program is left out.
std::vector<std::string> enumeratePorts();

// Human-readable text for an OpenError, without the port name.
const char* describe(OpenError error);

}  // namespace qelisp
