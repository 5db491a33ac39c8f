#pragma once
// End-to-end: the program's own link, protocol and jobs over a real
// pseudo-terminal to qelisp-sim running as a separate process.
#include "image/firmware_image.h"
#include "jobs/job_context.h"
#include "jobs/job_runner.h"
#include "link/port.h"
#include "state/clock.h"
#include "tests/support/line_timing.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace qelisp::test {

struct JobOutcome {
    std::string status;
    std::vector<std::string> statuses;  // every change, in order
    int beeps = 0;
    int progress = -1;
    bool busy = true;
};

class E2eTest : public ::testing::Test {
protected:
    void TearDown() override {
        link_.reset();
        sim_.reset();
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Starts the simulator (no pacing, instant erase unless args say
    // otherwise), saving its flash to flash.bin at exit, and opens its port.
    void startSim(std::vector<std::string> args = {}) {
        std::vector<std::string> all = {"--no-pacing", "--erase-ms", "0", "--save", path("flash.bin")};
        all.insert(all.end(), args.begin(), args.end());
        sim_ = std::make_unique<SimProcess>(QELISP_SIM_PATH, all);
        ASSERT_TRUE(sim_->started()) << sim_->error();
        auto opened = openPort(sim_->ptyPath(), OpenMode::StartUp, lineTiming());
        ASSERT_TRUE(opened.link) << opened.message;
        link_ = std::move(opened.link);
    }

    // Stops the simulator and returns its flash.
    std::vector<std::uint8_t> stopSim() {
        link_.reset();
        EXPECT_TRUE(sim_->stop());
        std::ifstream in(path("flash.bin"), std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    // A raw flash file holding the image's records, for --load.
    std::string flashWithImage(std::uint32_t flipAddress = 0, std::uint8_t flip = 0) {
        std::vector<std::uint8_t> flash(1u << 20, 0xFF);
        const FirmwareImage& image = embeddedImage();
        image.walk(*image.findStartRecord(), [&](const ImageRecord& record) {
            auto data = record.data();
            std::copy(data.begin(), data.end(), flash.begin() + record.address());
            return true;
        });
        if (flip) flash[flipAddress] ^= flip;
        std::string file = path("loaded.bin");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(flash.data()), static_cast<std::streamsize>(flash.size()));
        return file;
    }

    template <typename Job>
    JobOutcome run(Job job) {
        JobOutcome outcome;
        JobState state;
        state.setStatusListener([&](const std::string& text) { outcome.statuses.push_back(text); });
        JobContext context{Session{link_.get(), state, clock_}, embeddedImage(), [&] { ++outcome.beeps; }};
        JobRunner runner;
        runner.start(state, [&] { job(context); });
        runner.join();
        outcome.status = state.status();
        outcome.progress = state.progress;
        outcome.busy = state.busy;
        return outcome;
    }

    SystemClock clock_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<SerialLink> link_;
    test::TempDir dir_;
};

}  // namespace qelisp::test
