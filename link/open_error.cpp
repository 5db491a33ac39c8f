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
        case OpenError::HostNotFound: return "server not found";
        case OpenError::Refused: return "connection refused";
        case OpenError::NoServer: return "no answer from the server";
        case OpenError::NotRfc2217: return "the server does not speak RFC 2217";
        case OpenError::LineSettings: return "the server refused the line settings";
    }
    return "cannot be opened";
}

OpenResult openFailed(OpenError error, const std::string& name, const std::string& text) {
    OpenResult result;
    result.error = error;
    result.message = printableName(name) + ": " + text;
    return result;
}

void noteOpenResult(PortInfo& port, const OpenResult& result) {
    port.openError = result.error;
    port.group = result.group;
    port.reason.clear();
    if (port.opens()) return;
    const std::string prefix = printableName(port.name) + ": ";
    port.reason = result.message.rfind(prefix, 0) == 0 ? result.message.substr(prefix.size()) : result.message;
    // A failure is never shown as nothing.
    if (port.reason.empty()) port.reason = describe(port.openError);
}

}  // namespace qelisp
