// qelisp-cli with several instruments: side by side, found by --port auto,
// and one port given twice.
#include "tests/e2e/cli_run.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <unistd.h>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

namespace qelisp::test {
namespace {

std::unique_ptr<SimProcess> startSim(std::vector<std::string> faults = {}) {
    std::vector<std::string> args = {"--no-pacing", "--erase-ms", "0"};
    args.insert(args.end(), faults.begin(), faults.end());
    auto sim = std::make_unique<SimProcess>(QELISP_SIM_PATH, args);
    EXPECT_TRUE(sim->started()) << sim->error();
    return sim;
}

// A loopback plug: whatever the port is sent comes straight back.
class Loopback {
public:
    Loopback() {
        int slave = -1;
        char name[128];
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
        ::close(slave);
        path = name;
        thread_ = std::thread([this] {
            std::array<char, 256> buffer{};
            while (!stop_.load()) {
                pollfd ready{master_, POLLIN, 0};
                const ssize_t n = ::poll(&ready, 1, 20) > 0 ? ::read(master_, buffer.data(), buffer.size()) : 0;
                // With no one on the port the master reads EIO: no spinning.
                if (n <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                if (n > 0 && ::write(master_, buffer.data(), static_cast<std::size_t>(n)) != n) break;
            }
        });
    }
    ~Loopback() {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
        if (master_ >= 0) ::close(master_);
    }
    std::string path;

private:
    int master_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The summary's rows after its header, each split at its double spaces:
// port, result, time.
std::vector<std::vector<std::string>> summaryRows(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    const auto header = out.rfind("\nport ");
    if (header == std::string::npos) return rows;
    std::istringstream in(out.substr(out.find('\n', header + 1) + 1));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        for (std::size_t at = 0; at < line.size();) {
            // The result's own timer is left to the time column.
            const std::size_t gap = line.find("  ", at);
            cells.push_back(line.substr(at, gap - at));
            at = gap == std::string::npos ? line.size() : line.find_first_not_of(' ', gap);
        }
        rows.push_back(cells);
    }
    return rows;
}

// One instrument goes silent mid-run; the other two neither stop nor fail.
TEST(CliParallelE2e, ThreeInstrumentsOneFailingMidRun) {
    auto a = startSim();
    auto b = startSim({"--fault", "40:silence"});  // a data record on the second page
    auto c = startSim();
    const std::vector<std::string> ports = {a->ptyPath(), b->ptyPath(), c->ptyPath()};

    CliRun program = runCli({"program", "--port", ports[0], "--port", ports[1], "--port", ports[2]});
    EXPECT_EQ(program.exitCode, 1) << program.out << program.err;
    auto rows = summaryRows(program.out);
    ASSERT_EQ(rows.size(), 3u) << program.out;
    const char* programmed[] = {"Data Writed OK!", "Connecting Error 4!", "Data Writed OK!"};
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(rows[i].size(), 3u) << program.out;
        EXPECT_EQ(rows[i][0], ports[i]);
        EXPECT_EQ(rows[i][1], programmed[i]) << "one time a row, in the time column";
        EXPECT_NE(program.out.find(ports[i] + ": Connecting...\n"), std::string::npos) << "each port's log lines";
    }
    EXPECT_NE(program.out.find(ports[1] + ": Writing Data To Address: 04180H\n" + ports[1] + ": Connecting Error 4!"),
              std::string::npos)
        << "where it failed";

    CliRun verify = runCli({"verify", "--port", ports[0], "--port", ports[1], "--port", ports[2]});
    EXPECT_EQ(verify.exitCode, 1) << verify.out << verify.err;
    rows = summaryRows(verify.out);
    ASSERT_EQ(rows.size(), 3u) << verify.out;
    const char* verified[] = {"Data Verify OK!", "Verify Error At: 04", "Data Verify OK!"};
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(rows[i][1].rfind(verified[i], 0), 0u) << rows[i][1];

    // A port that cannot be opened does not hold the others back; it is an
    // instrument not updated, so the run failed.
    CliRun missing = runCli({"verify", "--port", "/dev/ttyQELISP-none", "--port", ports[0]});
    EXPECT_EQ(missing.exitCode, 1) << missing.out << missing.err;
    rows = summaryRows(missing.out);
    ASSERT_EQ(rows.size(), 2u) << missing.out;
    EXPECT_EQ(rows[0], (std::vector<std::string>{"/dev/ttyQELISP-none", "cannot open: no such port", "-"}));
    EXPECT_EQ(rows[1][1], "Data Verify OK!");

    for (auto* sim : {a.get(), b.get(), c.get()}) {
        EXPECT_TRUE(sim->stop());
        auto summary = sim->summary();
        EXPECT_TRUE(summary && summary->violations == 0) << sim->stderrText();
    }
}

TEST(CliParallelE2e, PortAutoUsesTheOneInstrumentThatAnswers) {
    // A port where nothing answers, beside the instrument.
    int master = -1, slave = -1;
    char quiet[128];
    ASSERT_EQ(openpty(&master, &slave, quiet, nullptr, nullptr), 0);
    ::close(slave);
    auto a = startSim();
    Loopback loop;
    ASSERT_FALSE(loop.path.empty());

    // The loopback echoes the 'U' too, and is told from the instrument.
    CliRun found = runCli(
        {"program", "--port", "auto", "--auto-candidates", std::string(quiet) + "," + loop.path + "," + a->ptyPath()});
    EXPECT_EQ(found.exitCode, 0) << found.out << found.err;
    EXPECT_NE(found.err.find("the instrument answers on " + a->ptyPath()), std::string::npos) << found.err;
    EXPECT_EQ(lastStatusLine(found.out).rfind(a->ptyPath() + ": Data Writed OK!", 0), 0u) << lastStatusLine(found.out);

    auto b = startSim();
    CliRun two =
        runCli({"verify", "--port", "auto", "--auto-candidates", a->ptyPath() + "," + quiet + "," + b->ptyPath()});
    EXPECT_EQ(two.exitCode, 2);
    EXPECT_NE(two.err.find("instruments answered on " + a->ptyPath() + " and " + b->ptyPath()), std::string::npos)
        << two.err;
    EXPECT_EQ(two.out, "") << "no job ran";

    // No instrument is a failed one; several are a command line to make clearer.
    CliRun none = runCli({"verify", "--port", "auto", "--auto-candidates", quiet});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("auto: hint: "), std::string::npos) << none.err;
    CliRun echo = runCli({"verify", "--port", "auto", "--auto-candidates", std::string(quiet) + "," + loop.path});
    EXPECT_EQ(echo.exitCode, 1);
    EXPECT_NE(
        echo.err.find("; " + loop.path + " is a port that echoes everything it is sent (a loopback plug or a modem)"),
        std::string::npos)
        << echo.err;
    EXPECT_EQ(echo.err.find("the instrument answers"), std::string::npos) << echo.err;
    EXPECT_NE(none.err.find(std::string("no instrument answered on ") + quiet), std::string::npos) << none.err;
    ::close(master);

    // The greeting is a handshake and one read request, in each search that
    // the instrument answered (two): the loader heard no other line but the
    // job's, and none broke its rules.
    EXPECT_TRUE(a->stop() && b->stop());
    EXPECT_EQ(a->summary()->lines, 3780u + 2u);
    EXPECT_EQ(a->summary()->violations, 0u) << a->stderrText();
    EXPECT_EQ(b->summary()->lines, 1u);
    EXPECT_EQ(b->summary()->violations, 0u) << b->stderrText();
}

// Two spellings of one port are a usage error before anything is opened,
// not a port "in use by another program".
TEST(CliParallelE2e, OnePortGivenTwiceIsAUsageError) {
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    TempDir dir;
    const std::string link = (dir / "by-id").string();
    std::filesystem::create_symlink(name, link);
    struct Case {
        std::string first, second, said;
    };
    const Case cases[] = {
        {name, name, std::string("--port ") + name + " is given twice"},
        {"null", "/dev/null", "--port null and --port /dev/null are the same port"},
        {link, name, "--port " + link + " and --port " + name + " are the same port"},
    };
    for (const Case& c : cases) {
        CliRun run = runCli({"program", "--port", c.first, "--port", c.second});
        EXPECT_EQ(run.exitCode, 2) << c.said;
        EXPECT_EQ(run.err.rfind("qelisp-cli: " + c.said, 0), 0u) << run.err;
        EXPECT_EQ(run.out, "") << "no job ran";
    }
    ::close(master);
}

}  // namespace
}  // namespace qelisp::test
