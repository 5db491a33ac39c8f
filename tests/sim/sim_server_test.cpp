// The simulated instrument over a real pseudo-terminal.
#include "sim/sim_server.h"
#include "tests/sim/loader_harness.h"
#include "tests/sim/pty_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>

namespace qelisp::sim::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

SimOptions quickOptions() {
    SimOptions options;
    options.pacing = false;
    options.eraseMs = 0;
    return options;
}

// A server running on its own thread for the length of a test.
class RunningSim {
public:
    explicit RunningSim(SimOptions options) {
        options.log = [this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            log_ += line + "\n";
        };
        std::string error;
        server = SimServer::create(options, error);
        if (!server) {
            ADD_FAILURE() << "SimServer::create: " << error;
            return;
        }
        done_ = std::async(std::launch::async, [this] { server->run(); });
    }
    ~RunningSim() {
        if (server) server->stop();
        if (done_.valid()) done_.wait();
    }
    bool endsWithin(std::chrono::milliseconds timeout) {
        return done_.valid() && done_.wait_for(timeout) == std::future_status::ready;
    }
    std::string log() {
        std::lock_guard lock(logMutex_);
        return log_;
    }

    std::unique_ptr<SimServer> server;

private:
    std::mutex logMutex_;
    std::string log_;
    std::future<void> done_;
};

TEST(SimServer, AnswersAProgrammingRunAndAReadRequest) {
    RunningSim sim(quickOptions());
    ASSERT_TRUE(sim.server);
    EXPECT_EQ(sim.server->ptyPath().rfind("/dev/pts/", 0), 0u) << sim.server->ptyPath();
    PtyClient client(sim.server->ptyPath());
    ASSERT_TRUE(client.isOpen());

    EXPECT_EQ(client.exchange("U", 1), "U");
    EXPECT_EQ(client.exchange(":02000006031ADB\r\n", 2), "E.");
    EXPECT_EQ(client.exchange(pageSelect(3), 1), ".");
    EXPECT_EQ(client.exchange(dataRecord(0x3000, pattern(9)), 1), ".");
    EXPECT_EQ(client.exchange(":00000005FB\r\n", 1), ".");
    EXPECT_EQ(client.exchange(":00000001FF\r\n", 1), ".");
    EXPECT_EQ(client.exchange("U", 1), "U");
    EXPECT_EQ(client.exchange(readRequest(0x3000), 258), ".A" + hexOf(pattern(9)));
    EXPECT_EQ(client.receive(1, 50ms), "");  // nothing more after the block

    const SimStats stats = sim.server->stats();
    EXPECT_EQ(stats.lines, 6u);
    EXPECT_EQ(stats.violations, 0u) << sim.log();
    EXPECT_EQ(stats.bytesWritten, 128u);
    const auto flash = sim.server->flashCopy();
    ASSERT_EQ(flash.size(), NorFlash::kSize);
    const Block written = pattern(9);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), flash.begin() + 0x3000));
}

TEST(SimServer, ViolationsGoToTheLog) {
    RunningSim sim(quickOptions());
    ASSERT_TRUE(sim.server);
    PtyClient client(sim.server->ptyPath());
    EXPECT_EQ(client.exchange(pageSelect(3), 1), ".");
    EXPECT_EQ(sim.server->stats().violations, 1u);
    EXPECT_NE(sim.log().find("line 1: line before any handshake"), std::string::npos) << sim.log();
}

TEST(SimServer, EraseTakesTheEraseTime) {
    SimOptions options = quickOptions();
    options.eraseMs = 60;
    RunningSim sim(options);
    ASSERT_TRUE(sim.server);
    PtyClient client(sim.server->ptyPath());
    EXPECT_EQ(client.exchange("U", 1), "U");
    client.send(":02000006031ADB\r\n");
    EXPECT_EQ(client.receive(1), "E");
    const auto afterE = Clock::now();
    EXPECT_EQ(client.receive(1), ".");
    EXPECT_GE(Clock::now() - afterE, 50ms);
}

TEST(SimServer, ExitsWhenTheClientHangsUpIfAskedTo) {
    SimOptions options = quickOptions();
    options.exitOnHangup = true;
    RunningSim sim(options);
    ASSERT_TRUE(sim.server);
    EXPECT_FALSE(sim.endsWithin(30ms));  // nobody connected yet: keeps waiting
    {
        PtyClient client(sim.server->ptyPath());
        EXPECT_EQ(client.exchange("U", 1), "U");
    }
    EXPECT_TRUE(sim.endsWithin(2s));
    EXPECT_EQ(sim.server->endReason(), SimServer::EndReason::ClientHungUp);
}

TEST(SimServer, ServesTheNextClientAfterAHangUp) {
    RunningSim sim(quickOptions());
    ASSERT_TRUE(sim.server);
    {
        PtyClient client(sim.server->ptyPath());
        EXPECT_EQ(client.exchange("U", 1), "U");
        client.send(":0100");  // half a line, then gone
        std::this_thread::sleep_for(20ms);
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(sim.endsWithin(0ms));
    PtyClient next(sim.server->ptyPath());
    ASSERT_TRUE(next.isOpen());
    // The half line was dropped and the session with it.
    EXPECT_EQ(next.exchange(pageSelect(3), 1), ".");
    EXPECT_EQ(sim.server->stats().violations, 1u) << sim.log();
    EXPECT_EQ(next.exchange("U", 1), "U");
}

TEST(SimServer, StopEndsRunWithoutAClient) {
    RunningSim sim(quickOptions());
    ASSERT_TRUE(sim.server);
    std::this_thread::sleep_for(20ms);
    const auto t0 = Clock::now();
    sim.server->stop();
    EXPECT_TRUE(sim.endsWithin(1s));
    EXPECT_LT(Clock::now() - t0, 200ms);
    EXPECT_EQ(sim.server->endReason(), SimServer::EndReason::Stopped);
}

TEST(SimServer, HangUpFaultClosesThePort) {
    SimOptions options = quickOptions();
    std::string error;
    ASSERT_TRUE(options.faults.add("2:hangup", error)) << error;
    RunningSim sim(options);
    ASSERT_TRUE(sim.server);
    PtyClient client(sim.server->ptyPath());
    EXPECT_EQ(client.exchange("U", 1), "U");
    EXPECT_EQ(client.exchange(pageSelect(3), 1), ".");
    client.send(":00000005FB\r\n");
    EXPECT_TRUE(sim.endsWithin(2s));
    EXPECT_EQ(sim.server->endReason(), SimServer::EndReason::FaultHangUp);
    EXPECT_EQ(client.receive(1, 100ms), "");
    EXPECT_EQ(sim.server->stats().lines, 2u);
}

TEST(SimServer, PacesRepliesAtWireSpeed) {
    SimOptions options;  // pacing on
    options.eraseMs = 0;
    RunningSim sim(options);
    ASSERT_TRUE(sim.server);
    PtyClient client(sim.server->ptyPath());
    // 115 handshakes in one write: 115 bytes in and 115 out take at least
    // 115 byte times (about 10 ms) at 115200 8N1.
    const auto t0 = Clock::now();
    client.send(std::string(115, 'U'));
    EXPECT_EQ(client.receive(115), std::string(115, 'U'));
    const auto elapsed = Clock::now() - t0;
    EXPECT_GE(elapsed, 9ms);
    EXPECT_LT(elapsed, 500ms);
}

TEST(SimServer, SymlinkToThePtyLivesAsLongAsTheServer) {
    const auto link = std::filesystem::temp_directory_path() / ("qelisp-sim-link-" + std::to_string(::getpid()));
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/nonexistent", link);  // an old link is replaced
    {
        SimOptions options = quickOptions();
        options.linkPath = link.string();
        RunningSim sim(options);
        ASSERT_TRUE(sim.server);
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.server->ptyPath());
        PtyClient client(link.string());
        EXPECT_EQ(client.exchange("U", 1), "U");
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimServer, RefusesToReplaceAFileWithTheSymlink) {
    const auto file = std::filesystem::temp_directory_path() / ("qelisp-sim-file-" + std::to_string(::getpid()));
    std::ofstream(file) << "keep";
    SimOptions options = quickOptions();
    options.linkPath = file.string();
    std::string error;
    EXPECT_FALSE(SimServer::create(options, error));
    EXPECT_NE(error.find("not a symlink"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
    std::filesystem::remove(file);
}

TEST(SimServer, StartsFromALoadedImage) {
    const auto file = std::filesystem::temp_directory_path() / ("qelisp-sim-load-" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary) << std::string(0x3040, '\x12');
    SimOptions options = quickOptions();
    options.loadPath = file.string();
    RunningSim sim(options);
    std::filesystem::remove(file);
    ASSERT_TRUE(sim.server);
    PtyClient client(sim.server->ptyPath());
    client.exchange("U", 1);
    std::string expected = ".A";
    for (int i = 0; i < 0x40; ++i) expected += "12";  // from the file
    expected += std::string(0x40 * 2, 'F');           // past its end: erased
    EXPECT_EQ(client.exchange(readRequest(0x3000), 258), expected);

    options.loadPath = "/nonexistent/flash.bin";
    std::string error;
    EXPECT_FALSE(SimServer::create(options, error));
    EXPECT_NE(error.find("/nonexistent/flash.bin"), std::string::npos) << error;
}

}  // namespace
}  // namespace qelisp::sim::testing
