#include "tests/ui/fake_ports.h"

namespace qelisp::test {

namespace {

// One opened port: logs its close and forwards to the shared target.
class FakePort final : public SerialLink {
public:
    FakePort(std::string name, std::shared_ptr<FakePorts> ports) : name_(std::move(name)), ports_(std::move(ports)) {}
    ~FakePort() override { ports_->log("close " + name_); }

    int purge() override { return ports_->target() ? ports_->target()->purge() : 1; }
    int readWaiting(std::span<std::uint8_t> buf) override {
        return ports_->target() ? ports_->target()->readWaiting(buf) : -1;
    }
    int awaitSent(std::span<std::uint8_t> buf) override {
        return ports_->target() ? ports_->target()->awaitSent(buf) : -1;
    }
    int write(std::span<const std::uint8_t> bytes) override {
        ports_->gate.noteWrite(std::string(bytes.begin(), bytes.end()));
        return ports_->target() ? ports_->target()->write(bytes) : -1;
    }
    int read(std::span<std::uint8_t> buf) override {
        ports_->gate.beforeRead();
        return ports_->target() ? ports_->target()->read(buf) : -1;
    }

private:
    std::string name_;
    std::shared_ptr<FakePorts> ports_;
};

}  // namespace

void ReadGate::arm(const std::string& afterWrite, int readsToPass) {
    std::lock_guard lock(mutex_);
    armed_ = afterWrite.empty();
    prefix_ = afterWrite;
    readsToPass_ = readsToPass;
    released_ = false;
}

void ReadGate::release() {
    std::lock_guard lock(mutex_);
    armed_ = false;
    prefix_.clear();
    released_ = true;
    changed_.notify_all();
}

bool ReadGate::waitUntilHeld(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return held_; });
}

void ReadGate::noteWrite(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    if (!prefix_.empty() && bytes.rfind(prefix_, 0) == 0) {
        armed_ = true;
        prefix_.clear();
    }
}

void ReadGate::beforeRead() {
    std::unique_lock lock(mutex_);
    if (!armed_) return;
    if (readsToPass_ > 0) {
        --readsToPass_;
        return;
    }
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    held_ = false;
}

namespace {

// As the Linux backend refuses a port for its group.
std::string deniedReason(const std::string& group) {
    return "permission denied (join the group " + group + ": sudo usermod -aG " + group + " $USER, then log in again)";
}

}  // namespace

PortInfo refusedPort(const std::string& name, OpenError error, const std::string& group) {
    PortInfo port;
    port.name = name;
    port.openError = error;
    port.reason = group.empty() ? describe(error) : deniedReason(group);
    port.group = group;
    return port;
}

PortAccess FakePorts::access() {
    std::weak_ptr<FakePorts> weak = weak_from_this();
    return PortAccess{
        [weak] {
            auto self = weak.lock();
            ++self->enumerations;
            return self->listed;
        },
        [weak](const std::string& name, OpenMode mode) {
            auto self = weak.lock();
            self->log("open " + name + (mode == OpenMode::StartUp ? " StartUp" : " Reselect"));
            OpenResult result;
            for (auto [set, error] :
                 {std::pair{&self->heldElsewhere, OpenError::Busy}, std::pair{&self->missing, OpenError::NotFound}}) {
                if (set->count(name)) {
                    result.error = error;
                    result.message = name + ": " + describe(error);
                    return result;
                }
            }
            if (auto denied = self->denied.find(name); denied != self->denied.end()) {
                result.error = OpenError::PermissionDenied;
                result.message = name + ": " + deniedReason(denied->second);
                result.group = denied->second;
                return result;
            }
            result.link = std::make_unique<FakePort>(name, self);
            std::lock_guard lock(self->mutex_);
            self->open_.insert(name);
            return result;
        },
        [weak] { return weak.lock()->present; },
    };
}

std::vector<std::string> FakePorts::events() {
    std::lock_guard lock(mutex_);
    return events_;
}

void FakePorts::log(const std::string& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    if (event.rfind("close ", 0) == 0) open_.erase(open_.find(event.substr(6)));
}

std::multiset<std::string> FakePorts::openNow() {
    std::lock_guard lock(mutex_);
    return open_;
}

}  // namespace qelisp::test
