// The simulated instrument over a real pseudo-terminal.
#include "sim/sim_server.h"
#include "tests/sim/loader_harness.h"
#include "tests/sim/pty_client.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
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

constexpr std::chrono::nanoseconds kByteTime(WirePacer::kByteTime115200);

TEST(SimServer, PacesRepliesAtWireSpeedNeverHandingAByteOverEarly) {
    SimOptions options;  // pacing on
    options.eraseMs = 0;
    RunningSim sim(options);
    ASSERT_TRUE(sim.server);
    PtyClient client(sim.server->ptyPath());
    struct Case {
        std::string sent;  // in one write
        std::string answer;
        std::size_t lead;  // byte times on the wire before the answer's first byte can start
    };
    const Case cases[] = {
        // Each 'U' is echoed as it has arrived, right behind the echo before.
        {std::string(115, 'U'), std::string(115, 'U'), 1},
        // 258 bytes back to back behind the 29 of the request.
        {readRequest(0x3000), ".A" + kErasedHex, readRequest(0x3000).size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.substr(0, 2));
        const auto t0 = Clock::now();
        client.send(c.sent);
        std::string got;
        std::size_t firstEarly = 0;
        while (got.size() < c.answer.size()) {
            const std::string byte = client.receive(1);
            if (byte.empty()) break;
            got += byte;
            // Handed over in batches or not, the k-th byte has come down the
            // wire no sooner than its k byte times after the lead.
            if (!firstEarly && Clock::now() - t0 < (c.lead + got.size()) * kByteTime) firstEarly = got.size();
        }
        EXPECT_EQ(got, c.answer);
        EXPECT_EQ(firstEarly, 0u) << "byte " << firstEarly << " came before its time";
        EXPECT_LT(Clock::now() - t0, 500ms);
    }
}

TEST(SimServer, HoldsEveryReplyForTheAdaptersLatency) {
    SimOptions options = quickOptions();
    options.latencyMs = 60;
    RunningSim sim(options);
    ASSERT_TRUE(sim.server);
    PtyClient client(sim.server->ptyPath());
    // Each reply on its own, however short or long: the handshake's echo, a
    // read request's '.', 'A' and block.
    const std::vector<std::pair<std::string, std::string>> exchanges = {
        {"U", "U"}, {"U", "U"}, {readRequest(0x3000), ".A" + kErasedHex}};
    for (const auto& [sent, answer] : exchanges) {
        const auto t0 = Clock::now();
        client.send(sent);
        EXPECT_EQ(client.receive(1, 40ms), "") << "nothing before the latency is over";
        EXPECT_EQ(client.receive(answer.size()), answer);
        const auto elapsed = Clock::now() - t0;
        EXPECT_GE(elapsed, 60ms);
        EXPECT_LT(elapsed, 1000ms);
    }
}

TEST(SimServer, DoubleSendsOneMoreDotOnItsOwnTimeline) {
    struct Case {
        std::chrono::milliseconds delay;
        std::chrono::milliseconds latency;
    };
    for (const Case c : {Case{0ms, 0ms}, Case{100ms, 0ms}, Case{300ms, 60ms}}) {
        SCOPED_TRACE("double@" + std::to_string(c.delay.count()) + ", latency " + std::to_string(c.latency.count()));
        SimOptions options = quickOptions();
        options.latencyMs = static_cast<std::uint32_t>(c.latency.count());
        std::string error;
        ASSERT_TRUE(options.faults.add("1:double@" + std::to_string(c.delay.count()), error)) << error;
        RunningSim sim(options);
        ASSERT_TRUE(sim.server);
        PtyClient client(sim.server->ptyPath());
        ASSERT_EQ(client.exchange("U", 1), "U");
        const auto t0 = Clock::now();
        client.send(pageSelect(3));
        if (c.delay == 0ms) {
            EXPECT_EQ(client.receive(2), "..");
            EXPECT_LT(Clock::now() - t0, c.latency + 90ms) << "right behind the answer";
        } else {
            EXPECT_EQ(client.receive(1), ".");
            // A line sent meanwhile is answered whole before the extra '.'.
            EXPECT_EQ(client.exchange(readRequest(0x3000), 259), ".A" + kErasedHex + ".");
            const auto elapsed = Clock::now() - t0;
            EXPECT_GE(elapsed, c.delay + c.latency);
            EXPECT_LT(elapsed, c.delay + c.latency + 900ms);
        }
        EXPECT_EQ(client.receive(1, 50ms), "") << "one extra dot, no more";
        EXPECT_EQ(sim.server->stats().violations, 0u) << sim.log();
    }
}

TEST(SimServer, LateAnswersComeWholeAfterTheLineHasArrivedAndInTurn) {
    struct Case {
        std::vector<std::string> faults;
        std::string lines;      // in one write after the handshake
        std::size_t lateStart;  // bytes of `lines` before the late line's first
        std::string answer;
        std::size_t early;               // bytes of `answer` before the late one's; they do not wait
        std::chrono::milliseconds wait;  // late, and the erase time
    };
    const Case cases[] = {
        // From the data record's last byte: 23 ms after its first.
        {{"2:late@300"}, pageSelect(3) + dataRecord(0x3000, pattern(1)), pageSelect(3).size(), "..", 1, 300ms},
        // A line sent meanwhile is answered after it.
        {{"1:late@100"}, pageSelect(3) + readRequest(0x3000), 0, "..A" + kErasedHex, 0, 100ms},
        // The erase begins once the late 'E' has gone out.
        {{"1:late@50"}, kBegin, 0, "E.", 0, 50ms + 100ms},
        // A stray '.' due before the late answer is ready goes first.
        {{"1:double@10", "2:late@1000"}, pageSelect(3) + kPageEnd, pageSelect(3).size(), "...", 2, 1000ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults.back());
        SimOptions options;  // pacing on: the line's own time on the wire counts
        options.eraseMs = 100;
        std::string error;
        for (const std::string& fault : c.faults) ASSERT_TRUE(options.faults.add(fault, error)) << error;
        RunningSim sim(options);
        ASSERT_TRUE(sim.server);
        PtyClient client(sim.server->ptyPath());
        ASSERT_EQ(client.exchange("U", 1), "U");
        const auto t0 = Clock::now();
        client.send(c.lines);
        EXPECT_EQ(client.receive(c.early, c.wait / 2), c.answer.substr(0, c.early));
        EXPECT_EQ(client.receive(c.answer.size() - c.early), c.answer.substr(c.early));
        const auto elapsed = Clock::now() - t0;
        const std::size_t lineEnd = c.lines.find('\n', c.lateStart) + 1;
        const auto earliest = (lineEnd + c.answer.size() - c.early) * kByteTime + c.wait;
        EXPECT_GE(elapsed, earliest);
        EXPECT_LT(elapsed, earliest + 900ms);
        EXPECT_EQ(client.receive(1, 50ms), "");
        EXPECT_EQ(sim.server->stats().violations, 0u) << sim.log();
    }
}

// A loader that answers one line twice, answers every line from the next
// one on 50 ms late, and never answers the end line.
TEST(SimServer, ADoubleAnswerThenLateLinesThenASilentEndLine) {
    SimOptions options;  // pacing on
    options.eraseMs = 0;
    std::string error;
    for (const char* fault : {"3:double@13", "4-:late@50", "6:silence"}) {
        ASSERT_TRUE(options.faults.add(fault, error)) << error;
    }
    RunningSim sim(options);
    ASSERT_TRUE(sim.server);
    PtyClient client(sim.server->ptyPath());
    ASSERT_EQ(client.exchange("U", 1), "U");
    ASSERT_EQ(client.exchange(pageSelect(3), 1), ".");
    ASSERT_EQ(client.exchange(dataRecord(0x3000, pattern(1)), 1), ".");
    const std::string line3 = dataRecord(0x3080, pattern(2));
    const auto t3 = Clock::now();
    ASSERT_EQ(client.exchange(line3, 1), ".");
    // The next line goes out at once, as the program sends it.
    const std::string line4 = dataRecord(0x3100, pattern(3));
    const auto t4 = Clock::now();
    client.send(line4);
    EXPECT_EQ(client.receive(1), ".");
    EXPECT_GE(Clock::now() - t3, (line3.size() + 2) * kByteTime + 13ms) << "line 3's second '.'";
    EXPECT_EQ(client.receive(1), ".");
    EXPECT_GE(Clock::now() - t4, (line4.size() + 1) * kByteTime + 50ms) << "line 4's answer";
    const auto t5 = Clock::now();
    EXPECT_EQ(client.exchange(kPageEnd, 1), ".");
    EXPECT_GE(Clock::now() - t5, (kPageEnd.size() + 1) * kByteTime + 50ms) << "line 5's answer";
    client.send(kEnd);
    EXPECT_EQ(client.receive(1, 300ms), "") << "the end line's own fault wins over the range";
    EXPECT_EQ(sim.server->stats().lines, 6u);
    EXPECT_EQ(sim.server->stats().violations, 0u) << sim.log();
    EXPECT_EQ(sim.server->flashCopy()[0x3100], pattern(3)[0]) << "a late line is applied";
}

TEST(SimServer, EraseDoubleSendsBothDotsAfterTheErase) {
    SimOptions options = quickOptions();
    options.eraseMs = 100;
    std::string error;
    ASSERT_TRUE(options.faults.add("1:erase-double", error)) << error;
    RunningSim sim(options);
    ASSERT_TRUE(sim.server);
    PtyClient client(sim.server->ptyPath());
    ASSERT_EQ(client.exchange("U", 1), "U");
    const auto t0 = Clock::now();
    EXPECT_EQ(client.exchange(kBegin, 1), "E");
    EXPECT_EQ(client.receive(2), "..");
    const auto elapsed = Clock::now() - t0;
    EXPECT_GE(elapsed, 100ms);
    EXPECT_LT(elapsed, 1000ms);
    EXPECT_EQ(client.receive(1, 50ms), "");
}

// Reads the stream until `answer` has come whole among its dots; false when
// it has not within 2 s. Keeps only what could still be part of it.
bool answeredAmongDots(PtyClient& client, const std::string& answer) {
    std::string tail;
    const auto deadline = Clock::now() + 2s;
    while (Clock::now() < deadline) {
        tail += client.receive(4096, 20ms);
        if (tail.find(answer) != std::string::npos) return true;
        if (tail.size() > answer.size()) tail.erase(0, tail.size() - answer.size());
    }
    return false;
}

TEST(SimServer, DotStreamRunsFromEachEchoedUAtItsRate) {
    constexpr auto kMeasured = 300ms;
    for (const char* rate : {"fast", "byte", "20"}) {
        SCOPED_TRACE(rate);
        SimOptions options = quickOptions();
        options.dotStream = parseDotStreamRate(rate);
        ASSERT_TRUE(options.dotStream);
        const std::chrono::nanoseconds period(options.dotStream->periodNs);
        RunningSim sim(options);
        ASSERT_TRUE(sim.server);
        for (int client = 0; client < 2; ++client) {
            std::this_thread::sleep_for(50ms);  // the server sees the last client's close first
            SCOPED_TRACE(client);
            PtyClient port(sim.server->ptyPath());
            ASSERT_TRUE(port.isOpen());
            port.purge();
            EXPECT_EQ(port.receive(1, 50ms), "") << "no stream before a handshake";
            const auto t0 = Clock::now();
            EXPECT_EQ(port.exchange("U", 1), "U") << "the stream follows the echo";
            const std::string dots = port.receive(std::size_t{1} << 30, kMeasured);
            const auto elapsed = Clock::now() - t0;
            EXPECT_EQ(dots.find_first_not_of('.'), std::string::npos);
            const auto byteTimes = kMeasured / std::chrono::nanoseconds(WirePacer::kByteTime115200);
            if (period == 0ns) {
                EXPECT_GT(dots.size(), 2u * byteTimes) << "faster than the wire could carry them";
            } else {
                EXPECT_LE(dots.size(), static_cast<std::size_t>(elapsed / period) + 1);
                EXPECT_GE(dots.size(), static_cast<std::size_t>(kMeasured / period) / 2);
            }
            port.send(readRequest(0x3000));
            EXPECT_TRUE(answeredAmongDots(port, ".A" + kErasedHex)) << "lines are still answered";
        }
        EXPECT_EQ(sim.server->stats().violations, 0u) << sim.log();
    }
}

TEST(SimServer, SymlinkToThePtyLivesAsLongAsTheServer) {
    test::TempDir dir;
    const auto link = dir / "com1";
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

TEST(SimServer, CreateRefusesToReplaceAFileOrToLoadAMissingOne) {
    test::TempDir dir;
    const auto file = dir / "com1";
    test::writeFile(file, "keep");
    SimOptions options = quickOptions();
    options.linkPath = file.string();
    std::string error;
    EXPECT_FALSE(SimServer::create(options, error));
    EXPECT_NE(error.find("not a symlink"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_regular_file(file));

    options = quickOptions();
    options.loadPath = "/nonexistent/flash.bin";
    EXPECT_FALSE(SimServer::create(options, error));
    EXPECT_NE(error.find("/nonexistent/flash.bin"), std::string::npos) << error;
}

}  // namespace
}  // namespace qelisp::sim::testing
