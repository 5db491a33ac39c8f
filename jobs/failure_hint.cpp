#include "jobs/failure_hint.h"

#include "link/net/network_port_name.h"

namespace qelisp {

namespace {

// Once the begin line was answered the loader has erased its flash: any
// later end leaves the instrument without whole firmware.
bool pastTheErase(JobStep step) {
    return step == JobStep::PageSelect || step == JobStep::DataRecord || step == JobStep::PageEnd ||
           step == JobStep::EndLine;
}

}  // namespace

FailureReason failureReason(JobKind kind, const JobResult& result) {
    switch (result.outcome) {
        case JobOutcome::Running:
        case JobOutcome::Succeeded: return FailureReason::None;
        case JobOutcome::Cancelled:
            // A cancel at the begin line came during its erase or after it.
            return kind == JobKind::Program && (result.step == JobStep::BeginLine || pastTheErase(result.step))
                       ? FailureReason::CutOff
                       : FailureReason::Cancelled;
        case JobOutcome::Failed: break;
    }
    switch (result.cause) {
        case FailureCause::NoPort: return FailureReason::NoPort;
        case FailureCause::PortGone: return FailureReason::PortGone;
        case FailureCause::EraseNeverEnded: return FailureReason::EraseNeverEnded;
        case FailureCause::ReadBackDiffers: return FailureReason::ReadBackDiffers;
        case FailureCause::None:
            if (result.step == JobStep::StartRecord) return FailureReason::NoFirmware;
            break;
        case FailureCause::NoAnswer:
        case FailureCause::WrongAnswer:
        case FailureCause::StrayBytes: break;
    }
    if (kind == JobKind::Program && pastTheErase(result.step)) return FailureReason::CutOff;
    return result.cause == FailureCause::NoAnswer ? FailureReason::NoAnswer : FailureReason::WrongAnswer;
}

FailureReason openReason(OpenError error, bool waited) {
    switch (error) {
        case OpenError::Busy: return FailureReason::InUse;
        case OpenError::PermissionDenied: return FailureReason::NoPermission;
        // A name that is something else than a serial port is no such port.
        case OpenError::NotFound:
        case OpenError::NotSerial: return waited ? FailureReason::NeverAppeared : FailureReason::NotFound;
        // A server that could not be reached or would not serve keeps its
        // own reason, also after waiting: it says what to fix.
        case OpenError::HostNotFound: return FailureReason::ServerNotFound;
        case OpenError::Refused: return FailureReason::ConnectionRefused;
        case OpenError::NoServer: return FailureReason::NoServer;
        case OpenError::NotRfc2217: return FailureReason::NotRfc2217;
        case OpenError::LineSettings: return FailureReason::LineSettingsRefused;
        case OpenError::None:
        case OpenError::Other: break;
    }
    // A port there that would not take its settings: none is open for the job.
    return FailureReason::NoPort;
}

std::string_view reasonName(FailureReason reason) {
    switch (reason) {
        case FailureReason::None: return "";
        case FailureReason::NoAnswer: return "no-answer";
        case FailureReason::PortGone: return "port-gone";
        case FailureReason::WrongAnswer: return "wrong-answer";
        case FailureReason::EraseNeverEnded: return "erase-never-ended";
        case FailureReason::ReadBackDiffers: return "read-back-differs";
        case FailureReason::CutOff: return "cut-off";
        case FailureReason::Cancelled: return "cancelled";
        case FailureReason::NoPort: return "no-port";
        case FailureReason::NoFirmware: return "no-firmware";
        case FailureReason::NotFound: return "not-found";
        case FailureReason::InUse: return "in-use";
        case FailureReason::NoPermission: return "no-permission";
        case FailureReason::NeverAppeared: return "never-appeared";
        case FailureReason::NotStarted: return "not-started";
        case FailureReason::ServerNotFound: return "server-not-found";
        case FailureReason::ConnectionRefused: return "connection-refused";
        case FailureReason::NoServer: return "no-server";
        case FailureReason::NotRfc2217: return "not-rfc2217";
        case FailureReason::LineSettingsRefused: return "line-settings-refused";
    }
    return "";
}

namespace {

// What differs for a port across the network: the cable is the server's, the
// port list has no network ports, and what holds the port is another client.
std::string_view networkHint(FailureReason reason) {
    switch (reason) {
        case FailureReason::NoAnswer:
            return "nothing answered through the server: is the instrument switched on and in its loader, and "
                   "its cable in the server's serial port that this network port serves?";
        case FailureReason::PortGone:
            return "the connection to the server dropped: is the server running and the network up? Program "
                   "again before switching the instrument off";
        case FailureReason::NotFound:
        case FailureReason::ServerNotFound:
            return "the server's name is not known: check the host name (or use its IP address) and the network";
        case FailureReason::InUse:
            return "another client is connected to the server's port: close that session (or wait for it), "
                   "then run again";
        case FailureReason::NeverAppeared:
            return "no instrument answered through the server in the time waited: is the server reachable and "
                   "the instrument switched on into its loader? Or wait longer with --wait";
        case FailureReason::ConnectionRefused:
            return "nothing listens at that address and port: is the serial port server (ser2net) running, and "
                   "is this the port its configuration gives?";
        case FailureReason::NoServer:
            return "the server did not answer: is it switched on and on this network, and no firewall between?";
        case FailureReason::NotRfc2217:
            return "the server does not speak RFC 2217 on this port: give it telnet(rfc2217) in its "
                   "configuration, or name the port tcp:// if it is a raw TCP port set to 115200 8N1";
        case FailureReason::LineSettingsRefused:
            return "the server would not set the line to 115200 8N1 without software flow control: check its "
                   "serial port and configuration";
        default: return "";
    }
}

}  // namespace

PortPlace portPlace(std::string_view portName) {
    return isNetworkPortName(portName) ? PortPlace::Network : PortPlace::Local;
}

std::string_view hintText(FailureReason reason, PortPlace place) {
    if (place == PortPlace::Network) {
        if (const std::string_view hint = networkHint(reason); !hint.empty()) return hint;
    }
    switch (reason) {
        case FailureReason::None: return "";
        case FailureReason::NoAnswer:
            return "nothing answered: is the instrument switched on and in its loader, the cable plugged in at "
                   "both ends, and this its port? 'qelisp-cli ports' lists the ports";
        case FailureReason::PortGone:
            return "the port went away: was the USB-serial adapter unplugged? Plug it in, check 'qelisp-cli "
                   "ports', and program again before switching the instrument off";
        case FailureReason::WrongAnswer:
            return "something answered, but not as the instrument's loader does: is this the instrument's port, "
                   "and no other program using it? Switch the instrument off and on into its loader, then again";
        case FailureReason::EraseNeverEnded:
            return "the instrument began erasing its flash and never finished: switch it off and on into its "
                   "loader and program again";
        case FailureReason::ReadBackDiffers:
            return "the instrument's flash differs from this firmware: program it again, then verify";
        case FailureReason::CutOff:
            return "the update stopped part way: the instrument's flash is incomplete; program again before "
                   "switching it off";
        case FailureReason::Cancelled:
            return "stopped by the user before the flash was touched; run the job again when ready";
        case FailureReason::NoPort: return "no port is open: choose the instrument's port";
        case FailureReason::NoFirmware:
            return "this build holds no firmware for 03000H: build the program with the maker's firmware";
        case FailureReason::NotFound:
            return "no such port: is the USB-serial adapter plugged in, and is this its name? 'qelisp-cli ports' "
                   "lists the ports";
        case FailureReason::InUse:
            return "another program has the port open (a terminal program, a modem manager): close it, then run "
                   "again";
        case FailureReason::NoPermission:
            return "this user may not open the port: join the port's group, as the message names it (sudo "
                   "usermod -aG <group> $USER), then log in again";
        case FailureReason::NeverAppeared:
            return "no instrument appeared in the time waited: is its USB-serial adapter plugged in ('qelisp-cli "
                   "ports'), the instrument switched on into its loader? Or wait longer with --wait";
        case FailureReason::NotStarted:
            return "stopped by the user before the job began: the instrument was not touched; run again when "
                   "ready";
        case FailureReason::ServerNotFound:
        case FailureReason::ConnectionRefused:
        case FailureReason::NoServer:
        case FailureReason::NotRfc2217:
        case FailureReason::LineSettingsRefused: return networkHint(reason);
    }
    return "";
}

}  // namespace qelisp
