#include "link/port.h"

namespace qelisp {

const char* describe(OpenError error) {
    switch (error) {
        case OpenError::None: return "opened";
        case OpenError::NotFound: return "no such port";
        case OpenError::PermissionDenied: return "permission denied";
        case OpenError::Busy: return "port is in use by another program";
        case OpenError::NotSerial: return "not a serial port";
        case OpenError::Other: return "cannot be set up";
    }
    return "cannot be opened";
}

}  // namespace qelisp
