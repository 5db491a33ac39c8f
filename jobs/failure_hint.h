#pragma once
// What a failed job most likely means for the technician, and what to do
// next: one reason per ending, named for scripts (JSON) and said as a hint
// for people. Built from the job's result, never from its status text.
#include "jobs/job_runner.h"
#include "link/port.h"
#include "state/job_outcome.h"

#include <string_view>

namespace qelisp {

enum class FailureReason : std::uint8_t {
    None,             // the job succeeded
    NoAnswer,         // nothing answered
    PortGone,         // the port went away under the job
    WrongAnswer,      // something answered, not as the loader does
    EraseNeverEnded,  // the erase began and never ended
    ReadBackDiffers,  // the flash differs from the firmware
    CutOff,           // programming stopped part way: the flash is incomplete
    Cancelled,        // the user stopped the job
    NoPort,           // no port was open
    NoFirmware,       // this build holds nothing for 03000H
    // The port's job never ran:
    NotFound,       // no such port
    InUse,          // another program holds the port
    NoPermission,   // this user may not open the port
    NeverAppeared,  // --wait: no instrument appeared in the time waited
    NotStarted,     // stopped by the user before the job began
    // A network port's job never ran:
    ServerNotFound,       // the server's host name is not known
    ConnectionRefused,    // nothing listens at that address and port
    NoServer,             // no answer to connect
    NotRfc2217,           // the server does not speak the Com Port Control option
    LineSettingsRefused,  // the server would not set 115200 8N1 without software flow control
};

FailureReason failureReason(JobKind kind, const JobResult& result);

// Why a port could not be used, from what opening it answered. `waited`:
// the console's --wait gave the port its time, and it never appeared.
FailureReason openReason(OpenError error, bool waited = false);

// "no-answer", "port-gone", ...; empty for None.
std::string_view reasonName(FailureReason reason);

// Where the port is: a local device, or a serial port server across the
// network (rfc2217://, tcp://), whose failures ask other steps of the user.
enum class PortPlace : std::uint8_t { Local, Network };

// Where the port named so is.
PortPlace portPlace(std::string_view portName);

// One line: the likely cause and the next step; empty for None.
std::string_view hintText(FailureReason reason, PortPlace place = PortPlace::Local);

}  // namespace qelisp
