#include "ui/main_window_model.h"

#include "jobs/window_hint.h"
#include "link/port_order.h"
#include "link/printable_name.h"
#include "program_version.h"
#include "ui/about_text.h"

#include <algorithm>
#include <cctype>
#include <thread>

namespace qelisp {

namespace {

// Port names are compared as Windows does: "com3" is COM3.
bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

std::vector<PortInfo>::const_iterator findPort(const std::vector<PortInfo>& list, const std::string& name) {
    return std::find_if(list.begin(), list.end(), [&](const PortInfo& p) { return sameName(p.name, name); });
}

// A port known by name only: typed in, or held open by us and no longer listed.
PortInfo namedPort(const std::string& name) {
    PortInfo port;
    port.name = name;
    return port;
}

std::string trimmed(const std::string& text) {
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    auto first = std::find_if(text.begin(), text.end(), notSpace);
    auto last = std::find_if(text.rbegin(), text.rend(), notSpace).base();
    return first < last ? std::string(first, last) : std::string();
}

}  // namespace

MainWindowModel::MainWindowModel(const FirmwareImage& image, PortAccess ports, std::unique_ptr<Clock> clock)
    : image_(image), access_(std::move(ports)), shared_(std::make_shared<Shared>()) {
    shared_->clock = std::move(clock);
}

MainWindowModel::~MainWindowModel() {
    // A front end that did not shut down still must not wait on a job here.
    if (shared_->state.busy.load()) {
        shared_->state.cancel.store(true);
        runner_.abandon();
    }
}

std::vector<PortInfo> MainWindowModel::readPorts() {
    std::vector<PortInfo> found = access_.enumerate();
    if (access_.present) present_ = access_.present();
    std::vector<PortInfo> offered, refused;
    for (PortInfo& port : found) {
        // The open port is ours: the system finds it held, not by another program.
        if (!openName_.empty() && sameName(port.name, openName_)) noteOpenResult(port, OpenResult{});
        (port.opens() ? offered : refused).push_back(std::move(port));
    }
    // What the user may do about it is the hint's: the status names no
    // shell command.
    for (PortInfo& port : refused) {
        if (port.openError == OpenError::PermissionDenied) port.reason = describe(port.openError);
    }
    unopened_ = unopenedPorts(refused);
    firstUnopened_ = refused.empty() ? PortInfo{} : refused.front();
    return offered;
}

void MainWindowModel::sayWhyNoneOpens() {
    if (ports_.empty() && !unopened_.empty()) {
        sayWhy(unopened_, firstUnopened_);
        whyShown_ = unopened_;
    } else if (!whyShown_.empty()) {
        // The reason no longer holds; a message shown since stays.
        if (shared_->state.status() == whyShown_) shared_->state.setStatus({});
        whyShown_.clear();
    }
}

void MainWindowModel::startUp(const std::string& port) {
    ports_ = readPorts();
    const std::string name = trimmed(port);
    if (!name.empty()) {
        auto listed = findPort(ports_, name);
        if (listed == ports_.end()) {
            // Not the first port instead: a bench's shortcut names its instrument.
            adoptIfOpened(name, open(name, OpenMode::StartUp));
            return;
        }
        selected_ = static_cast<int>(listed - ports_.begin());
    } else {
        selected_ = ports_.empty() ? -1 : 0;
        sayWhyNoneOpens();
    }
    if (selected_ >= 0) open(ports_[static_cast<std::size_t>(selected_)].name, OpenMode::StartUp);
}

bool MainWindowModel::portOpen() const { return shared_->link != nullptr; }

std::vector<PortEntry> MainWindowModel::portEntries() const {
    std::vector<PortEntry> entries;
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        entries.push_back({ports_[i].name, ports_[i].description, static_cast<int>(i)});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PortEntry& a, const PortEntry& b) { return portNameLess(a.name, b.name); });
    return entries;
}

PortChange MainWindowModel::opened(const std::string& name, OpenResult& result) {
    // The new port first, so that the old one is closed only once it is replaced.
    shared_->link = std::move(result.link);
    openName_ = name;
    return {PortChangeOutcome::Opened, {}};
}

PortChange MainWindowModel::failed(const std::string& name, const OpenResult& result) {
    // As for the list: what to do is the hint's, not a shell command.
    const std::string status = result.error == OpenError::PermissionDenied
                                   ? printableName(name) + ": " + describe(result.error)
                                   : result.message;
    PortInfo port = namedPort(name);
    port.openError = result.error;
    port.group = result.group;
    sayWhy(status, port);
    return {PortChangeOutcome::OpenFailed, status};
}

void MainWindowModel::sayWhy(const std::string& status, const PortInfo& port) {
    shared_->state.setStatus(status);
    whyStatus_ = status;
    whyHint_ = windowHint(openReason(port.openError), portPlace(port.name), port.group);
}

PortChange MainWindowModel::open(const std::string& name, OpenMode mode) {
    // The port is opened without sharing: the same one again needs the old
    // handle gone first.
    if (!openName_.empty() && sameName(openName_, name)) return reopen(name, mode);
    OpenResult result = access_.open(name, mode);
    if (result.link) return opened(name, result);
    // Busy may be our own port under another name (a /dev/serial/by-id link).
    if (result.error == OpenError::Busy && portOpen()) return reopen(name, mode);
    return failed(name, result);
}

PortChange MainWindowModel::reopen(const std::string& name, OpenMode mode) {
    const std::string old = openName_;
    shared_->link.reset();
    openName_.clear();
    OpenResult result = access_.open(name, mode);
    if (result.link) return opened(name, result);
    if (!old.empty()) {
        OpenResult back = access_.open(old, OpenMode::Reselect);
        if (back.link) opened(old, back);
    }
    return failed(name, result);
}

PortChange MainWindowModel::selectPort(int index) {
    if (busy()) return {PortChangeOutcome::RefusedBusy, {}};
    if (index < 0 || static_cast<std::size_t>(index) >= ports_.size()) return {PortChangeOutcome::Ignored, {}};
    PortChange change = open(ports_[static_cast<std::size_t>(index)].name, OpenMode::Reselect);
    if (change.outcome == PortChangeOutcome::Opened) selected_ = index;
    return change;
}

PortChange MainWindowModel::enterPortName(const std::string& typed) {
    if (busy()) return {PortChangeOutcome::RefusedBusy, {}};
    const std::string name = trimmed(typed);
    if (name.empty()) return {PortChangeOutcome::Ignored, {}};
    auto listed = findPort(ports_, name);
    if (listed != ports_.end()) return selectPort(static_cast<int>(listed - ports_.begin()));
    return adoptIfOpened(name, open(name, OpenMode::Reselect));
}

PortChange MainWindowModel::adoptIfOpened(const std::string& name, PortChange change) {
    if (change.outcome == PortChangeOutcome::Opened) {
        ports_.push_back(namedPort(name));
        selected_ = static_cast<int>(ports_.size() - 1);
    }
    return change;
}

bool MainWindowModel::refreshPorts() {
    if (busy()) return false;
    std::vector<PortInfo> found = readPorts();
    const std::string selectedName = selected_ >= 0 ? ports_[static_cast<std::size_t>(selected_)].name : std::string();
    // The open port is held by us, so the system may not offer it: it stays,
    // as it was described before.
    if (!openName_.empty() && findPort(found, openName_) == found.end()) {
        auto before = findPort(ports_, openName_);
        found.push_back(before != ports_.end() ? *before : namedPort(openName_));
    }
    const bool changed = found != ports_;
    ports_ = std::move(found);
    sayWhyNoneOpens();
    if (!changed) return false;
    auto selected = selectedName.empty() ? ports_.cend() : findPort(ports_, selectedName);
    selected_ = selected == ports_.end() ? -1 : static_cast<int>(selected - ports_.begin());
    return true;
}

bool MainWindowModel::devicesChanged() {
    if (busy()) {
        refreshOwed_ = true;
        return false;
    }
    return refreshPorts();
}

bool MainWindowModel::watchPorts() {
    if (!access_.present || --ticksToWatch_ > 0) return false;
    ticksToWatch_ = kPortWatchTicks;
    // A change seen during a job is still a change once it has ended: the
    // devices are compared with the last reading of the list.
    if (busy()) return false;
    auto now = access_.present();
    return now && now != present_ && refreshPorts();
}

bool MainWindowModel::busy() const { return shared_->state.busy.load(); }

bool MainWindowModel::start(JobKind kind, BeepHook beep) {
    // The worker holds its own reference to the state, clock and port.
    if (!runner_.start(kind, Session{shared_->link.get(), shared_->state, *shared_->clock}, image_, std::move(beep),
                       shared_)) {
        return false;
    }
    jobKind_ = kind;
    return true;
}

bool MainWindowModel::startProgram(BeepHook beep) { return start(JobKind::Program, std::move(beep)); }

bool MainWindowModel::startVerify(BeepHook beep) { return start(JobKind::Verify, std::move(beep)); }

JobDisplay MainWindowModel::poll() const {
    const JobState& state = shared_->state;
    // The text, its kind and the result are read one at a time, and a job
    // that ends sets its result and then its last text: read again until the
    // text held still, so a hint never goes with the line before it.
    std::string status;
    StatusKind kind = StatusKind::Step;
    JobResult result;
    do {
        status = state.status();
        kind = state.statusKind();
        result = state.result();
    } while (status != state.status());
    JobDisplay shown{status, state.progress.load(), {}};
    // The job's last text gets the hint for how it ended (none for a
    // success), a port that did not open the hint for why; a job's other
    // lines have none.
    if (kind == StatusKind::Result && jobKind_) {
        shown.hint = windowHint(failureReason(*jobKind_, result), portPlace(openName_));
    } else if (!whyStatus_.empty() && status == whyStatus_) {
        shown.hint = whyHint_;
    }
    return shown;
}

DisplayUpdate MainWindowModel::tick() {
    JobDisplay now = poll();
    DisplayUpdate update;
    if (!shown_ || shown_->status != now.status) update.status = now.status;
    if (!shown_ || shown_->progress != now.progress) update.progress = now.progress;
    if (!shown_ || shown_->hint != now.hint) update.hint = now.hint;
    update.beep = shared_->endedJobs.exchange(0) > 0;
    if (refreshOwed_ && !busy()) {
        refreshOwed_ = false;
        update.portList = refreshPorts();
    }
    if (watchPorts()) update.portList = true;
    shown_ = std::move(now);
    return update;
}

BeepHook MainWindowModel::tickBeep() {
    return [shared = shared_] { shared->endedJobs.fetch_add(1); };
}

std::string MainWindowModel::aboutText() const { return qelisp::aboutText(image_.model(), image_.version()); }

std::string MainWindowModel::makerNotice() const { return qelisp::makerNotice(QELISP_PROGRAM_VERSION); }

bool MainWindowModel::shutdown(std::chrono::milliseconds grace) {
    // A job that never started has nothing to cancel, but the flag stays
    // set, as a closing window leaves it.
    shared_->state.cancel.store(true);
    return runner_.stop(grace);
}

JobState& MainWindowModel::jobState() { return shared_->state; }

}  // namespace qelisp
