#pragma once
// Everything the main window does that is not drawing: the port list and the
// one open port, starting jobs, the busy rule for port changes, the copy of
// the job's status and progress on each timer tick, the about text, and the
// end of the application. The Win32 dialog and the Qt window both drive it
// from their user-interface thread.
#include "image/firmware_image.h"
#include "jobs/job_runner.h"
#include "link/serial_link.h"
#include "state/clock.h"
#include "state/job_state.h"
#include "ui/port_access.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qelisp {

// The period of the timer that copies the job's status and progress.
inline constexpr std::chrono::milliseconds kRefreshPeriod{20};

// How often an idle window looks whether a serial device came or went, in
// timer ticks (once a second), where the system does not announce it.
inline constexpr int kPortWatchTicks = 50;

enum class PortChangeOutcome {
    Opened,       // the new port is open
    OpenFailed,   // the port open before stays open and selected; message says why (also in the status)
    RefusedBusy,  // a job runs: nothing changed; show the port warning
    Ignored,      // no such entry
};

struct PortChange {
    PortChangeOutcome outcome;
    std::string message;
};

// What the timer copies onto the screen.
struct JobDisplay {
    std::string status;
    int progress = 0;
    // Under the status, what to check or do next (jobs/window_hint.h): after
    // a job that failed or was cancelled, and while the status says why a
    // port did not open. Empty otherwise: a job that starts or succeeds
    // clears it.
    std::string hint;
};

// What one timer tick has to change on the screen: only what differs from
// the last tick, since rewriting an unchanged line makes the box flicker.
struct DisplayUpdate {
    std::optional<std::string> status;
    std::optional<int> progress;
    std::optional<std::string> hint;
    bool beep = false;      // a job started with tickBeep() has ended
    bool portList = false;  // the port list was read again and differs: fill the box anew
};

// One entry of the port box, in the box's order (by number: COM2 before
// COM10); `index` is its place in ports().
struct PortEntry {
    std::string name;
    std::string description;  // shown beside the name in the dropped list
    int index;
};

class MainWindowModel {
public:
    explicit MainWindowModel(const FirmwareImage& image, PortAccess ports = systemPorts(),
                             std::unique_ptr<Clock> clock = std::make_unique<SystemClock>());
    ~MainWindowModel();
    MainWindowModel(const MainWindowModel&) = delete;
    MainWindowModel& operator=(const MainWindowModel&) = delete;

    // Dialog start: list the ports that can be opened and open the entry at
    // the saved index (0) in the start-up form. With no port, the list is
    // empty, nothing is selected and no port is open; when ports were found
    // but none can be opened, the status says why. A `port` named by the
    // front end (a bench's shortcut) is opened instead, in the start-up
    // form, and joins the list; when it cannot be opened nothing is open or
    // selected, and the status says why.
    void startUp(const std::string& port = {});

    // In the order the backend found them (the first is opened at start-up),
    // then names typed in.
    const std::vector<PortInfo>& ports() const { return ports_; }
    // ports() as the box shows them: by name, case ignored, numbers by value.
    std::vector<PortEntry> portEntries() const;
    int selectedIndex() const { return selected_; }  // -1: none
    bool portOpen() const;

    // The user picked entry `index` of the port list. While a job runs the
    // change is refused and the selection and the open port stay. Otherwise
    // the new port is opened in the reselection form and then the old one
    // closed; when the new one fails, the old one stays open and selected.
    // The same port again (or another name for it) needs the old one closed
    // first; should it then fail, the old one is opened again.
    PortChange selectPort(int index);

    // A port name typed into the port box and confirmed with Enter ("COM12",
    // "/dev/pts/3"): opened like a listed port under the same rule. When it
    // opens it joins the list (once) and becomes the selection.
    PortChange enterPortName(const std::string& name);

    // Reads the port list again, as the drop-down opens. Never while a job
    // runs, and never closing or changing the open port: it stays listed and
    // selected even when the system no longer lists it. Returns true when
    // the list changed. Like startUp(), the status says why when ports were
    // found and none can be opened, and drops that once one can.
    bool refreshPorts();

    // The system says a device came or went (WM_DEVICECHANGE): the list is
    // read again now, or after the job that runs. Returns refreshPorts().
    bool devicesChanged();

    // Program and Verify buttons: false when a job runs and the click is
    // dropped. `beep` is the front end's sound for the job's end; it is
    // called on the worker thread.
    bool startProgram(BeepHook beep);
    bool startVerify(BeepHook beep);
    bool busy() const;

    // The timer's copy of the worker's status text and progress, and the
    // hint that goes with the status.
    JobDisplay poll() const;

    // One timer tick: what changed since the last one. The port list too:
    // read again after a device change announced during a job, and, once a
    // second while idle, when the devices present are not those of the last
    // reading.
    DisplayUpdate tick();

    // The job-end sound for a front end that may only make it on its own
    // thread: the worker notes the job's end, and the next tick() asks for
    // the beep. It stays safe to call after the window is gone.
    BeepHook tickBeep();

    std::string model() const { return image_.model(); }
    std::string version() const { return image_.version(); }
    std::string aboutText() const;
    std::string makerNotice() const;

    // The main window has closed: cancel the job, give it `grace` to end,
    // then let go of it. Returns false when a job was left running; it
    // keeps what it uses alive until the process ends.
    bool shutdown(std::chrono::milliseconds grace = kCancelGrace);

    // The job state the worker writes; for front ends that need more than
    // the timer copy, and for tests.
    JobState& jobState();

private:
    // What a worker uses. Shared with the worker, so that a job abandoned at
    // shutdown never touches freed memory.
    struct Shared {
        JobState state;
        std::unique_ptr<Clock> clock;
        std::unique_ptr<SerialLink> link;
        std::atomic<int> endedJobs{0};  // beeps owed by tickBeep()
    };

    bool start(JobKind kind, BeepHook beep);
    // Makes `name` the open port; on failure the status says why and the
    // port open before stays open.
    PortChange open(const std::string& name, OpenMode mode);
    // Closes the open port, then opens `name`; on failure opens the old one again.
    PortChange reopen(const std::string& name, OpenMode mode);
    // A port not in the list: it joins the list and is selected when it opened.
    PortChange adoptIfOpened(const std::string& name, PortChange change);
    PortChange opened(const std::string& name, OpenResult& result);
    PortChange failed(const std::string& name, const OpenResult& result);
    // The status says why a port did not open: `status`, and the hint for it.
    void sayWhy(const std::string& status, const PortInfo& port);
    // Once a second while idle: whether the devices present changed.
    bool watchPorts();
    // The system's ports that can be opened, and ours; why the others cannot
    // goes to unopened_.
    std::vector<PortInfo> readPorts();
    // The status says unopened_ when no port is listed.
    void sayWhyNoneOpens();

    const FirmwareImage& image_;
    PortAccess access_;
    std::shared_ptr<Shared> shared_;
    JobRunner runner_;
    std::vector<PortInfo> ports_;
    std::string unopened_;    // why the ports found but not listed cannot be opened
    PortInfo firstUnopened_;  // the first of those, for the hint
    std::string whyShown_;    // the status sayWhyNoneOpens() set, until a port opens
    // The status that says why a port did not open, and its hint: shown
    // while the status is that text.
    std::string whyStatus_;
    std::string whyHint_;
    int selected_ = -1;
    std::string openName_;                             // the port shared_->link is; "" when none is open
    std::optional<std::vector<std::string>> present_;  // the devices at the last reading
    bool refreshOwed_ = false;                         // devices changed during a job
    int ticksToWatch_ = kPortWatchTicks;
    std::optional<JobDisplay> shown_;  // what the last tick put on the screen
    std::optional<JobKind> jobKind_;   // the last job started, for its hint
};

}  // namespace qelisp
