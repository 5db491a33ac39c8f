#include "link/port.h"

#include "link/printable_name.h"

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

OpenResult openFailed(OpenError error, const std::string& name, const std::string& text) {
    OpenResult result;
    result.error = error;
    result.message = printableName(name) + ": " + text;
    return result;
}

}  // namespace qelisp
