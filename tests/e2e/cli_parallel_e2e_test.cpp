// qelisp-cli with several instruments: side by side, found by --port auto,
// and one port given twice.
#include "tests/e2e/cli_run.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>
#include <filesystem>
#include <memory>
#include <sstream>

namespace qelisp::test {
namespace {

std::unique_ptr<SimProcess> startSim(std::vector<std::string> faults = {}) {
    std::vector<std::string> args = {"--no-pacing", "--erase-ms", "0"};
    args.insert(args.end(), faults.begin(), faults.end());
    auto sim = std::make_unique<SimProcess>(QELISP_SIM_PATH, args);
    EXPECT_TRUE(sim->started()) << sim->error();
    return sim;
}

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
            std::size_t gap = line.find("  ", at);
            // "Data Writed OK!  Time Elapsed" holds a double space of its own.
            while (gap != std::string::npos && line.compare(gap, 15, "  Time Elapsed ") == 0) {
                gap = line.find("  ", gap + 2);
            }
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
    const char* programmed[] = {"Data Writed OK!  Time Elapsed ", "Connecting Error 4!",
                                "Data Writed OK!  Time Elapsed "};
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(rows[i].size(), 3u) << program.out;
        EXPECT_EQ(rows[i][0], ports[i]);
        EXPECT_EQ(rows[i][1].rfind(programmed[i], 0), 0u) << rows[i][1];
        EXPECT_NE(program.out.find(ports[i] + ": Connecting...\n"), std::string::npos) << "each port's log lines";
    }
    EXPECT_NE(program.out.find(ports[1] + ": Writing Data To Address: 04180H\n" + ports[1] + ": Connecting Error 4!"),
              std::string::npos)
        << "where it failed";

    CliRun verify = runCli({"verify", "--port", ports[0], "--port", ports[1], "--port", ports[2]});
    EXPECT_EQ(verify.exitCode, 1) << verify.out << verify.err;
    rows = summaryRows(verify.out);
    ASSERT_EQ(rows.size(), 3u) << verify.out;
    const char* verified[] = {"Data Verify OK!  Time Elapsed ", "Verify Error At: 04",
                              "Data Verify OK!  Time Elapsed "};
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(rows[i][1].rfind(verified[i], 0), 0u) << rows[i][1];

    // A port that cannot be opened does not hold the others back.
    CliRun missing = runCli({"verify", "--port", "/dev/ttyQELISP-none", "--port", ports[0]});
    EXPECT_EQ(missing.exitCode, 2) << missing.out << missing.err;
    rows = summaryRows(missing.out);
    ASSERT_EQ(rows.size(), 2u) << missing.out;
    EXPECT_EQ(rows[0], (std::vector<std::string>{"/dev/ttyQELISP-none", "cannot open: no such port", "-"}));
    EXPECT_EQ(rows[1][1].rfind("Data Verify OK!", 0), 0u) << rows[1][1];

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

    CliRun found = runCli({"program", "--port", "auto", "--auto-candidates", std::string(quiet) + "," + a->ptyPath()});
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

    CliRun none = runCli({"verify", "--port", "auto", "--auto-candidates", quiet});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find(std::string("no instrument answered on ") + quiet), std::string::npos) << none.err;
    ::close(master);

    // The greeting is a handshake and nothing more: the loader heard no line
    // but the job's, and none broke its rules.
    EXPECT_TRUE(a->stop() && b->stop());
    EXPECT_EQ(a->summary()->lines, 3780u);
    EXPECT_EQ(a->summary()->violations, 0u) << a->stderrText();
    EXPECT_EQ(b->summary()->lines, 0u);
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
