#pragma once
// Finding and opening ports. Each platform backend implements these.
#include "link/serial_link.h"

#include <cstdint>
#include <memory>
#include <optional>
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
    // Network ports (rfc2217:// and tcp://):
    HostNotFound,  // the server's name is not known (or the name is malformed)
    Refused,       // nothing listens there: server not running, or the wrong port
    NoServer,      // no answer to connect within 5 s
    NotRfc2217,    // the server never negotiated the Com Port Control option
    LineSettings,  // the server refused or changed 115200 8N1 without software flow control
};

struct OpenResult {
    std::unique_ptr<SerialLink> link;  // null unless error == None
    OpenError error = OpenError::None;
    std::string message;  // what went wrong, in words a technician can act on
    std::string group;    // PermissionDenied: the group that may open the port, where known
};

// How the port is opened: at start-up the driver is also asked for its queue
// sizes (1024 in, 512 out); reopening after a new selection skips that.
enum class OpenMode { StartUp, Reselect };

// Whether the port has a wire behind it: no answer can come before a line has
// crossed it at 115200 8N1, so a byte that comes sooner is a stray one. A
// pseudo-terminal hands a line over the moment it is written, and then the
// loader's answer may come as the write returns.
enum class LineTiming {
    Auto,  // a wire, unless the port is a pseudo-terminal (under Wine: any COM port)
    Wire,  // a wire, also on a pseudo-terminal whose peer keeps wire time (a paced simulator)
    Pty,   // no wire, also on a real port
};

// Opens a port by the name the user sees ("COM3", "ttyUSB0", "/dev/pts/4",
// "rfc2217://bench3:7000", "tcp://[::1]:7001"), exclusively, at 115200 8N1
// raw with the loader's time-outs. A second client refused by a network
// server is Busy.
OpenResult openPort(const std::string& name, OpenMode mode = OpenMode::StartUp, LineTiming timing = LineTiming::Auto);

// What the system tells of one serial port. Texts are empty and the IDs 0
// where it does not know them (a built-in UART has no USB IDs).
struct PortInfo {
    std::string name;         // what the user picks it by: "COM12", "ttyUSB0"
    std::string description;  // "USB Serial Port", "FT232R USB UART"
    std::uint16_t vid = 0;    // USB vendor ID
    std::uint16_t pid = 0;    // USB product ID
    std::string maker;        // "FTDI"
    std::string serial;       // the adapter's own serial number
    std::string byId;         // Linux: the stable /dev/serial/by-id/... name
    // Whether it can be opened now: None, or why not (PermissionDenied, Busy,
    // or another), with the words openPort() uses after the port's name.
    OpenError openError = OpenError::None;
    std::string reason{};  // "" when it opens
    // Linux: the usb-serial driver's latency_timer file for this port in
    // sysfs (FTDI's driver has one; cdc-acm, ch341 and most others do not);
    // empty where there is none to set.
    std::string latencyTimer{};
    std::string group{};  // as OpenResult::group
    bool opens() const { return openError == OpenError::None; }
    bool operator==(const PortInfo&) const = default;
};

// Every serial port the system has, whatever its number, sorted by number
// (COM2 before COM10; on Linux ttyUSB*, then ttyACM*, then ttyS*), each
// tried as openPort() would open it and let go again: whether it can be
// opened now, and if not, why. Listing opens no port in a way that changes
// its settings.
std::vector<PortInfo> listPorts();

// The names of the ports listPorts() finds that can be opened now, in its
// order: the ones a window offers and `--port auto` tries.
std::vector<std::string> enumeratePorts();

// Why the ports that cannot be opened cannot, each reason once after the
// names it holds for: "ttyUSB0, ttyUSB1: permission denied (...); ttyS0:
// port is in use by another program". Empty when every port opens.
std::string unopenedPorts(const std::vector<PortInfo>& ports);

// The serial devices the system has now, by name, found without opening any:
// cheap enough to ask once a second to notice an adapter plugged in or out.
// Empty (nullopt) where the system announces that itself (Windows sends
// WM_DEVICECHANGE to the windows).
std::optional<std::vector<std::string>> presentPortNames();

// Human-readable text for an OpenError, without the port name.
const char* describe(OpenError error);

// A failed open whose message starts with the name as the user gave it, made
// safe to print, then `text`.
OpenResult openFailed(OpenError error, const std::string& name, const std::string& text);

// A port list's entry for `port` with what opening it answered: the error,
// and the message without the name openFailed() put in front.
void noteOpenResult(PortInfo& port, const OpenResult& result);

}  // namespace qelisp
