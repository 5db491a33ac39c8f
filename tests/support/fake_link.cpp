#include "tests/support/fake_link.h"

#include <algorithm>

namespace qelisp::test {

void FakeLink::reply(std::string_view bytes) {
    if (!script_.empty() && script_.back().kind == Step::Kind::Bytes) {
        script_.back().bytes.append(bytes);
    } else {
        script_.push_back({Step::Kind::Bytes, std::string(bytes)});
    }
}

void FakeLink::whileSending(std::string_view bytes) {
    if (!script_.empty() && script_.back().kind == Step::Kind::InFlight) {
        script_.back().bytes.append(bytes);
    } else {
        script_.push_back({Step::Kind::InFlight, std::string(bytes)});
    }
}

void FakeLink::silence(int reads) {
    for (int i = 0; i < reads; ++i) script_.push_back({Step::Kind::Silence, {}});
}

void FakeLink::fail() { script_.push_back({Step::Kind::Fail, {}}); }

void FakeLink::act(std::function<void()> action) { script_.push_back({Step::Kind::Action, {}, std::move(action)}); }

void FakeLink::dropWaiting() {
    // Only what is waiting now goes; bytes after a quiet read come later.
    while (!script_.empty() && script_.front().arrived()) script_.pop_front();
}

int FakeLink::take(std::span<std::uint8_t> buf, const std::function<bool(const Step&)>& which) {
    std::size_t n = 0;
    // A look at the port takes no time: a cancel scripted between bytes has
    // not happened yet, but the bytes behind it are there all the same.
    for (auto it = script_.begin(); n < buf.size() && it != script_.end();) {
        if (it->kind == Step::Kind::Action) {
            ++it;
            continue;
        }
        if (!it->arrived() || !which(*it)) break;
        const std::size_t part = std::min(buf.size() - n, it->bytes.size());
        std::copy_n(it->bytes.begin(), part, buf.begin() + static_cast<long>(n));
        it->bytes.erase(0, part);
        n += part;
        it = it->bytes.empty() ? script_.erase(it) : it;
    }
    return static_cast<int>(n);
}

int FakeLink::purge() {
    ++purges;
    dropWaiting();
    return 0;
}

int FakeLink::readWaiting(std::span<std::uint8_t> buf) {
    if (dead_) return -1;
    return take(buf, [](const Step&) { return true; });
}

int FakeLink::awaitSent(std::span<std::uint8_t> buf) {
    if (dead_) return -1;
    // Only what came while the last line was going out.
    return take(buf, [this](const Step& step) {
        return step.kind == Step::Kind::InFlight && step.launchedBy == writes.size();
    });
}

int FakeLink::write(std::span<const std::uint8_t> bytes) {
    if (dead_) return -1;
    std::size_t n = writeLimit >= 0 ? std::min(bytes.size(), static_cast<std::size_t>(writeLimit)) : bytes.size();
    writes.emplace_back(bytes.begin(), bytes.begin() + static_cast<long>(n));
    for (Step& step : script_) {
        if (step.kind == Step::Kind::InFlight && step.launchedBy == 0) step.launchedBy = writes.size();
    }
    if (onWrite) onWrite(writes.back());
    return static_cast<int>(n);
}

int FakeLink::read(std::span<std::uint8_t> buf) {
    ++reads;
    while (!script_.empty() && script_.front().kind == Step::Kind::Action) {
        auto action = std::move(script_.front().action);
        script_.pop_front();
        action();
    }
    if (!dead_ && !script_.empty() && script_.front().kind == Step::Kind::Fail) dead_ = true;
    if (dead_) return -1;
    // Bytes meant for the next line's time on the wire do not come before it.
    if (script_.empty() || !script_.front().arrived()) {
        if (!script_.empty() && script_.front().kind == Step::Kind::Silence) script_.pop_front();
        ++emptyReads;
        clock_.advance(kReadBudgetMs);
        return 0;
    }
    Step& step = script_.front();
    std::size_t n = std::min(buf.size(), step.bytes.size());
    std::copy_n(step.bytes.begin(), n, buf.begin());
    step.bytes.erase(0, n);
    if (step.bytes.empty()) script_.pop_front();
    // A short read still waits out the budget for the bytes that never came.
    if (n < buf.size()) clock_.advance(kReadBudgetMs);
    return static_cast<int>(n);
}

}  // namespace qelisp::test
