#pragma once
// A job against the fake loader, in virtual time.
#include "jobs/job_context.h"
#include "tests/support/fake_loader.h"
#include "tests/support/test_image.h"

#include <gtest/gtest.h>

namespace qelisp::test {

class JobFixture : public ::testing::Test {
protected:
    VirtualClock clock;
    FakeLink link{clock};
    FakeLoader loader{link};
    JobState state;
    OwnedImage owned{makeImageBlock(twoPageBlocks())};
    int beeps = 0;

    JobContext context() {
        return JobContext{Session{&link, state, clock}, owned.image, [this] { ++beeps; }};
    }
    void useImage(const std::vector<std::uint16_t>& blocks) {
        // In place: the image views these bytes.
        auto bytes = makeImageBlock(blocks);
        std::copy(bytes.begin(), bytes.end(), owned.bytes.begin());
    }
    // Runs as the window would: busy set first, the job clears it.
    template <typename Job>
    void run(Job job) {
        state.busy = true;
        auto ctx = context();
        EXPECT_EQ(job(ctx), 0);
        EXPECT_FALSE(state.busy) << "every exit clears busy";
    }
    void expectLoudEnd(const std::string& status) {
        EXPECT_EQ(state.status(), status);
        EXPECT_EQ(beeps, 1);
        EXPECT_EQ(state.progress, 0);
    }
};

}  // namespace qelisp::test
