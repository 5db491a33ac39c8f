#include "ui/main_window_model.h"

#include "jobs/job_context.h"
#include "jobs/program_job.h"
#include "jobs/verify_job.h"
#include "ui/about_text.h"

#include <algorithm>
#include <cctype>
#include <thread>

namespace qelisp {

namespace {

// Port names are compared as Windows does: "com3" is COM3.
bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::toupper(x) == std::toupper(y);
    });
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

void MainWindowModel::startUp(const std::string& port) {
    ports_ = access_.enumerate();
    const std::string name = trimmed(port);
    if (!name.empty()) {
        auto listed = std::find_if(ports_.begin(), ports_.end(), [&](const std::string& p) { return sameName(p, name); });
        if (listed == ports_.end()) {
            adopt(name, open(name, OpenMode::StartUp));
            return;
        }
        selected_ = static_cast<int>(listed - ports_.begin());
    } else {
        selected_ = ports_.empty() ? -1 : 0;
    }
    if (selected_ >= 0) open(ports_[static_cast<std::size_t>(selected_)], OpenMode::StartUp);
}

bool MainWindowModel::portOpen() const { return shared_->link != nullptr; }

std::vector<PortEntry> MainWindowModel::portEntries() const {
    std::vector<PortEntry> entries;
    for (std::size_t i = 0; i < ports_.size(); ++i) entries.push_back({ports_[i], static_cast<int>(i)});
    std::stable_sort(entries.begin(), entries.end(), [](const PortEntry& a, const PortEntry& b) {
        return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                            [](unsigned char x, unsigned char y) {
                                                return std::toupper(x) < std::toupper(y);
                                            });
    });
    return entries;
}

PortChange MainWindowModel::open(const std::string& name, OpenMode mode) {
    // Close first: the port is opened without sharing, so reopening the
    // same one would otherwise fail.
    shared_->link.reset();
    OpenResult result = access_.open(name, mode);
    shared_->link = std::move(result.link);
    if (!shared_->link) {
        shared_->state.setStatus(result.message);
        return {PortChangeOutcome::OpenFailed, result.message};
    }
    return {PortChangeOutcome::Opened, {}};
}

PortChange MainWindowModel::adopt(const std::string& name, PortChange change) {
    if (change.outcome == PortChangeOutcome::Opened) {
        ports_.push_back(name);
        selected_ = static_cast<int>(ports_.size() - 1);
    } else {
        // The named port is not in the list, and the old one is closed.
        selected_ = -1;
    }
    return change;
}

PortChange MainWindowModel::selectPort(int index) {
    if (busy()) return {PortChangeOutcome::RefusedBusy, {}};
    if (index < 0 || static_cast<std::size_t>(index) >= ports_.size()) return {PortChangeOutcome::Ignored, {}};
    selected_ = index;
    return open(ports_[static_cast<std::size_t>(index)], OpenMode::Reselect);
}

PortChange MainWindowModel::enterPortName(const std::string& typed) {
    if (busy()) return {PortChangeOutcome::RefusedBusy, {}};
    const std::string name = trimmed(typed);
    if (name.empty()) return {PortChangeOutcome::Ignored, {}};
    auto listed = std::find_if(ports_.begin(), ports_.end(), [&](const std::string& p) { return sameName(p, name); });
    if (listed != ports_.end()) return selectPort(static_cast<int>(listed - ports_.begin()));
    return adopt(name, open(name, OpenMode::Reselect));
}

bool MainWindowModel::busy() const { return shared_->state.busy.load(); }

bool MainWindowModel::start(Job job, BeepHook beep) {
    // The worker holds its own reference to the state, clock and port.
    return runner_.start(shared_->state, [shared = shared_, &image = image_, job, beep = std::move(beep)] {
        JobContext context{Session{shared->link.get(), shared->state, *shared->clock}, image, beep};
        job(context);
    });
}

bool MainWindowModel::startProgram(BeepHook beep) { return start(&ProgramJob, std::move(beep)); }

bool MainWindowModel::startVerify(BeepHook beep) { return start(&VerifyJob, std::move(beep)); }

JobDisplay MainWindowModel::poll() const {
    return JobDisplay{shared_->state.status(), shared_->state.progress.load()};
}

DisplayUpdate MainWindowModel::tick() {
    JobDisplay now = poll();
    DisplayUpdate update;
    if (!shown_ || shown_->status != now.status) update.status = now.status;
    if (!shown_ || shown_->progress != now.progress) update.progress = now.progress;
    update.beep = shared_->endedJobs.exchange(0) > 0;
    shown_ = std::move(now);
    return update;
}

BeepHook MainWindowModel::tickBeep() {
    return [shared = shared_] { shared->endedJobs.fetch_add(1); };
}

std::string MainWindowModel::aboutText() const { return qelisp::aboutText(image_.model(), image_.version()); }

bool MainWindowModel::shutdown(std::chrono::milliseconds grace) {
    shared_->state.cancel.store(true);
    // Jobs look at the cancel flag between records and in the erase wait,
    // so a cancelled job is normally gone well within the grace period.
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (busy() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (busy()) {
        runner_.abandon();
        return false;
    }
    runner_.join();
    return true;
}

JobState& MainWindowModel::jobState() { return shared_->state; }

}  // namespace qelisp
