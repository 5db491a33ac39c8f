#include "tests/support/fake_link.h"

#include <algorithm>

namespace qelisp::test {

void FakeLink::reply(std::string_view bytes) {
    if (!script_.empty() && script_.back().kind == Step::Bytes) {
        script_.back().bytes.append(bytes);
    } else {
        script_.push_back({Step::Bytes, std::string(bytes)});
    }
}

void FakeLink::silence(int reads) {
    for (int i = 0; i < reads; ++i) script_.push_back({Step::Silence, {}});
}

void FakeLink::fail() { script_.push_back({Step::Fail, {}}); }

void FakeLink::act(std::function<void()> action) { script_.push_back({Step::Action, {}, std::move(action)}); }

void FakeLink::dropWaiting() {
    // Only what is waiting now goes; bytes after a quiet read come later.
    while (!script_.empty() && script_.front().kind == Step::Bytes) script_.pop_front();
}

int FakeLink::purge() {
    ++purges;
    dropWaiting();
    return 0;
}

int FakeLink::discardInput() {
    ++discards;
    if (dead_) return 1;
    dropWaiting();
    return 0;
}

int FakeLink::write(std::span<const std::uint8_t> bytes) {
    if (dead_) return -1;
    std::size_t n = writeLimit >= 0 ? std::min(bytes.size(), static_cast<std::size_t>(writeLimit)) : bytes.size();
    writes.emplace_back(bytes.begin(), bytes.begin() + static_cast<long>(n));
    if (onWrite) onWrite(writes.back());
    return static_cast<int>(n);
}

int FakeLink::read(std::span<std::uint8_t> buf) {
    ++reads;
    while (!script_.empty() && script_.front().kind == Step::Action) {
        auto action = std::move(script_.front().action);
        script_.pop_front();
        action();
    }
    if (!dead_ && !script_.empty() && script_.front().kind == Step::Fail) dead_ = true;
    if (dead_) return -1;
    if (script_.empty() || script_.front().kind == Step::Silence) {
        if (!script_.empty()) script_.pop_front();
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
