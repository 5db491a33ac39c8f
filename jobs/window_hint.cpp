#include "jobs/window_hint.h"

namespace qelisp {

namespace {

// The group most systems give serial ports, where the port's own is not known.
constexpr std::string_view kUsualGroup = "dialout";

// Across the network the cable, the holder and the name are the server's.
std::string_view networkHint(FailureReason reason) {
    switch (reason) {
        case FailureReason::NoAnswer:
            return "Nothing answered through the server: is the instrument switched on and in its loader, and its "
                   "cable in the server's serial port?";
        case FailureReason::PortGone:
            return "The connection to the server dropped: is the server running and the network up? Program again "
                   "before switching the instrument off.";
        case FailureReason::NotFound:
        case FailureReason::ServerNotFound:
            return "The server's name is not known: check the host name in the port box (or use its IP address) "
                   "and the network.";
        case FailureReason::InUse:
            return "Another client is connected to the server's port: close that session or wait for it, then pick "
                   "the port again.";
        case FailureReason::NeverAppeared:
            return "No instrument answered through the server in the time waited: is the server reachable and the "
                   "instrument on, in its loader?";
        case FailureReason::ConnectionRefused:
            return "Nothing listens at that address and port: is the serial port server running, and is this the "
                   "port its configuration gives?";
        case FailureReason::NoServer:
            return "The server did not answer: is it switched on and on this network, with no firewall between?";
        case FailureReason::NotRfc2217:
            return "The server does not speak RFC 2217 on this port: turn it on in the server's configuration, or "
                   "name the port tcp:// for raw TCP at 115200 8N1.";
        case FailureReason::LineSettingsRefused:
            return "The server would not set the line to 115200 8N1 without software flow control: check the "
                   "configuration of its serial port.";
        default: return "";
    }
}

}  // namespace

std::string windowHint(FailureReason reason, PortPlace place, std::string_view group) {
    if (place == PortPlace::Network) {
        if (const std::string_view hint = networkHint(reason); !hint.empty()) return std::string(hint);
    }
    switch (reason) {
        case FailureReason::None: return "";
        case FailureReason::NoAnswer:
            return "Nothing answered: is the instrument switched on and in its loader, its cable plugged in at both "
                   "ends, and this its port?";
        case FailureReason::PortGone:
            return "The port went away: was the adapter unplugged? Plug it in, pick its port and program again "
                   "before switching the instrument off.";
        case FailureReason::WrongAnswer:
            return "Something answered, but not as the instrument's loader does: is this its port? Switch the "
                   "instrument off and on into its loader and try again.";
        case FailureReason::EraseNeverEnded:
            return "The instrument began erasing its flash and never finished: switch it off and on into its "
                   "loader, then program again.";
        case FailureReason::ReadBackDiffers:
            return "The instrument's flash differs from this firmware: program it again, then verify.";
        case FailureReason::CutOff:
            return "The update stopped part way and the instrument's flash is incomplete: program again before "
                   "switching it off.";
        case FailureReason::Cancelled: return "Stopped before the flash was touched: start the job again when ready.";
        case FailureReason::NoPort: return "No port is open: pick the instrument's port in the port box.";
        case FailureReason::NoFirmware:
            return "This build of the program holds no firmware for 03000H: install the maker's release.";
        case FailureReason::NotFound:
            return "No such port: is the USB-serial adapter plugged in, and is this its name? The port box lists "
                   "the ports.";
        case FailureReason::InUse:
            return "Another program has the port open (a terminal program, a modem manager): close it, then pick "
                   "the port again.";
        case FailureReason::NoPermission:
            return "This user may not open the port: ask the administrator to add you to the group '" +
                   std::string(group.empty() ? kUsualGroup : group) + "', then log out and in again.";
        case FailureReason::NeverAppeared:
            return "No instrument appeared in the time waited: is its USB-serial adapter plugged in and the "
                   "instrument switched on into its loader?";
        case FailureReason::NotStarted:
            return "Stopped before the job began: the instrument was not touched. Start again when ready.";
        case FailureReason::ServerNotFound:
        case FailureReason::ConnectionRefused:
        case FailureReason::NoServer:
        case FailureReason::NotRfc2217:
        case FailureReason::LineSettingsRefused: return std::string(networkHint(reason));
    }
    return "";
}

std::vector<std::string> everyWindowHint() {
    std::vector<std::string> hints;
    for (int i = 1; i <= static_cast<int>(FailureReason::LineSettingsRefused); ++i) {
        for (PortPlace place : {PortPlace::Local, PortPlace::Network}) {
            hints.push_back(windowHint(static_cast<FailureReason>(i), place));
        }
    }
    return hints;
}

}  // namespace qelisp
