// The console as a bench runs it: program and verify in one run, JSON events
// for the test station, a log of what each instrument got (and where a log
// cannot go), and a wait for an instrument that is switched on after the run
// started.
#include "tests/e2e/cli_run.h"
#include "tests/support/json_lines.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qelisp::test {
namespace {

using Json = nlohmann::json;

// Four instruments: one passes, one is cut off while programming, one fails
// its verify (the first read-back comes without its 'A'), and one port does
// not exist. Every port ends each job it was given, in the events and the
// log, all under one run id.
TEST(CliBenchE2e, ProgramThenVerifyOnFourPortsWithJsonAndALog) {
    SimProcess good(QELISP_SIM_PATH, {"--no-pacing", "--erase-ms", "0"});
    SimProcess cut(QELISP_SIM_PATH, {"--no-pacing", "--erase-ms", "0", "--fault", "100:silence"});
    // Programming sends 3780 lines; the verify's first read request is the next.
    SimProcess noA(QELISP_SIM_PATH, {"--no-pacing", "--erase-ms", "0", "--fault", "3781:no-a"});
    const std::string missing = "/dev/ttyQELISP-none";
    ASSERT_TRUE(good.started() && cut.started() && noA.started());
    TempDir dir;
    const std::string log = (dir / "bench.log").string();
    std::ofstream(log) << R"({"an earlier run's record":true})"
                       << "\n";

    CliRun run = runCli({"program", "--verify", "-p", good.ptyPath(), "-p", cut.ptyPath(), "-p", noA.ptyPath(), "-p",
                         missing, "--json", "--log", log});
    EXPECT_EQ(run.exitCode, 1) << run.err;

    // Each port's jobs, in order, from their end events.
    std::map<std::string, std::vector<Json>> ends;
    std::map<std::string, int> progress;
    std::set<std::string> runs;
    for (const Json& event : jsonLines(run.out)) {
        ASSERT_TRUE(event.contains("event")) << event;
        ASSERT_TRUE(event.contains("run")) << event;
        runs.insert(event["run"].get<std::string>());
        // The port is an object, as in the log; this one's adapter is unknown.
        ASSERT_TRUE(event["port"].is_object()) << event;
        EXPECT_TRUE(event["port"]["description"].is_null() && event["port"]["serial"].is_null()) << event;
        const std::string port = event["port"]["name"];
        if (event["event"] == "end") ends[port].push_back(event);
        if (event["event"] == "progress") {
            ++progress[port];
            // Until the job is on the firmware's last page (72000H) there
            // is more to write: a full 100 would tell the station too soon.
            if (event["page"].get<int>() < 0x72) {
                EXPECT_LT(event["percent"].get<double>(), 100.0) << event;
            } else {
                EXPECT_EQ(event["percent"].get<double>(), 100.0) << "the last page fills the bar: " << event;
            }
        }
        if (event["event"] == "start") {
            EXPECT_EQ(event["firmware"]["sha256"].get<std::string>().size(), 64u) << event;
            EXPECT_FALSE(event["program_version"].get<std::string>().empty());
        }
    }
    ASSERT_EQ(ends[good.ptyPath()].size(), 2u) << "program, then verify";
    EXPECT_EQ(ends[good.ptyPath()][0]["job"], "program");
    EXPECT_EQ(ends[good.ptyPath()][1]["job"], "verify");
    for (const Json& end : ends[good.ptyPath()]) {
        EXPECT_TRUE(end["ok"].get<bool>()) << end;
        EXPECT_TRUE(end["reason"].is_null());
    }
    EXPECT_EQ(ends[good.ptyPath()][0]["lines"], 3780);
    ASSERT_EQ(ends[cut.ptyPath()].size(), 1u) << "no verify after a failed programming run";
    EXPECT_FALSE(ends[cut.ptyPath()][0]["ok"].get<bool>());
    EXPECT_EQ(ends[cut.ptyPath()][0]["status"], "Connecting Error 4!");
    EXPECT_EQ(ends[cut.ptyPath()][0]["reason"], "cut-off");
    EXPECT_EQ(ends[cut.ptyPath()][0]["lines"], 100);
    EXPECT_EQ(progress[good.ptyPath()], 2 * (0x72 - 0x03 + 1)) << "a progress event per page of each job";
    ASSERT_EQ(ends[noA.ptyPath()].size(), 2u);
    EXPECT_TRUE(ends[noA.ptyPath()][0]["ok"].get<bool>());
    EXPECT_FALSE(ends[noA.ptyPath()][1]["ok"].get<bool>());
    EXPECT_EQ(ends[noA.ptyPath()][1]["status"], "Connecting Error33!");
    EXPECT_EQ(ends[noA.ptyPath()][1]["reason"], "wrong-answer") << "a read-back without its 'A'";
    // The port that does not exist ends both jobs it would have run.
    ASSERT_EQ(ends[missing].size(), 2u) << run.out;
    for (std::size_t i = 0; i < 2; ++i) {
        const Json& end = ends[missing][i];
        EXPECT_EQ(end["job"], i == 0 ? "program" : "verify");
        EXPECT_FALSE(end["ok"].get<bool>());
        EXPECT_EQ(end["reason"], "not-found");
        EXPECT_EQ(end["status"], "cannot open: no such port");
        EXPECT_NE(end["hint"].get<std::string>().find("'qelisp-cli ports'"), std::string::npos) << end;
    }
    ASSERT_EQ(runs.size(), 1u) << "one run, one id";
    const std::string runId = *runs.begin();
    EXPECT_TRUE(std::regex_match(runId, std::regex("[0-9a-f]{32}"))) << runId;

    // The log: the earlier record, then one per finished job.
    std::ifstream in(log);
    std::vector<Json> records;
    for (std::string line; std::getline(in, line);) {
        ASSERT_TRUE(Json::accept(line)) << "a whole line each: " << line;
        records.push_back(Json::parse(line));
    }
    // good: 2, cut: 1, noA: 2, missing: 2.
    ASSERT_EQ(records.size(), 1u + 7u);
    int okPrograms = 0;
    std::map<std::string, std::vector<std::string>> reasons;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const Json& r = records[i];
        EXPECT_TRUE(std::regex_match(r["time"].get<std::string>(), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")))
            << r;
        for (const char* field :
             {"run", "port", "job", "ok", "status", "reason", "hint", "seconds", "program_version", "firmware"}) {
            EXPECT_TRUE(r.contains(field)) << field << " in " << r;
        }
        EXPECT_EQ(r["firmware"]["sha256"].get<std::string>().size(), 64u);
        EXPECT_EQ(r["run"], runId) << "the events' run";
        reasons[r["port"]["name"]].push_back(r["reason"].is_null() ? "ok" : r["reason"].get<std::string>());
        if (r["port"]["name"] == good.ptyPath() && r["job"] == "program" && r["ok"] == true) ++okPrograms;
        if (r["port"]["name"] == cut.ptyPath()) {
            EXPECT_EQ(r["reason"], "cut-off");
        }
    }
    EXPECT_EQ(okPrograms, 1);
    EXPECT_EQ(reasons[missing], (std::vector<std::string>{"not-found", "not-found"}));
    EXPECT_EQ(reasons[noA.ptyPath()], (std::vector<std::string>{"ok", "wrong-answer"}));
}

// Where --log may point. Anything but a regular file is refused before a
// port is touched: the instruments hear nothing. A record that does not fit
// is cut back, named on standard error and fails the run; the file keeps
// whole lines only, and the next run's records follow them. A last line
// without its break gets one; two runs appending at once keep every record
// whole.
TEST(CliBenchE2e, TheLogIsARegularFileOfWholeRecords) {
    const int pty = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(pty >= 0 && ::grantpt(pty) == 0 && ::unlockpt(pty) == 0);
    const std::string ptyPath = ::ptsname(pty);
    // Earlier runs' records: more than a run prints, so that the file size
    // limit leaves room for its standard output and error.
    std::string earlier;
    for (int i = 0; earlier.size() < 64 * 1024; ++i)
        earlier += R"({"an earlier run's record":)" + std::to_string(i) + "}\n";
    constexpr int kRefused = -1;
    struct Case {
        const char* what;
        std::function<std::string(const TempDir&)> target;  // makes the log's target; its path
        int runs;                                           // at once, on 3 ports each when more than one
        bool roomForOneRecord;                              // the file may grow by one record only
        int status;
        std::string said;  // on standard error; "PORT" stands for the port
        int records;       // that the runs add, or kRefused
    };
    const auto file = [](std::string text) {
        return [text](const TempDir& dir) {
            writeFile(dir / "bench.log", text);
            return (dir / "bench.log").string();
        };
    };
    const auto fifo = [](const TempDir& dir) {
        ::mkfifo((dir / "fifo").c_str(), 0600);
        return (dir / "fifo").string();
    };
    const auto named = [](std::string path) { return [path](const TempDir&) { return path; }; };
    const auto folder = [](const TempDir& dir) { return dir.path().string(); };
    const std::string refused = ", not a file; the log must be a regular file\n";
    const Case cases[] = {
        {"a FIFO nobody reads", fifo, 1, false, 2, "a FIFO" + refused, kRefused},
        {"a pseudo-terminal", named(ptyPath), 1, false, 2, "a terminal or serial port" + refused, kRefused},
        {"/dev/full", named("/dev/full"), 1, false, 2, "a device" + refused, kRefused},
        {"a directory", folder, 1, false, 2, "a directory" + refused, kRefused},
        {"room for one record", file(earlier), 1, true, 1,
         "qelisp-cli: --log: the record of PORT's verify job is missing: File too large\n", 1},
        {"a last line without its break", file(R"({"edited by hand":true})"), 1, false, 0, "", 2},
        // Six whole updates at memory speed beside other tests would miss
        // read times; instruments that answer the begin line wrongly end
        // all six jobs, and write all six records, within moments.
        {"two runs at once", file(""), 2, false, 1, "", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string log = c.target(dir);
        const bool regular = std::filesystem::is_regular_file(log);
        const std::string before = regular ? readFile(log) : "";
        const int portsEach = c.runs > 1 ? 3 : 1;
        std::vector<std::unique_ptr<SimProcess>> sims;
        std::vector<std::vector<std::string>> runs;
        for (int run = 0; run < c.runs; ++run) {
            std::vector<std::string> args{"program", "-q", "--log", log};
            if (c.runs == 1) args.push_back("--verify");
            for (int i = 0; i < portsEach; ++i) {
                std::vector<std::string> simArgs{"--no-pacing", "--erase-ms", "0"};
                if (c.runs > 1) simArgs.insert(simArgs.end(), {"--fault", "1:wrong"});
                sims.push_back(std::make_unique<SimProcess>(QELISP_SIM_PATH, simArgs));
                ASSERT_TRUE(sims.back()->started());
                // One instrument is searched for: the search greets it, so a
                // log looked at only after it would be too late.
                if (portsEach == 1) {
                    args.insert(args.end(), {"-p", "auto", "--auto-candidates", sims.back()->ptyPath()});
                } else {
                    args.insert(args.end(), {"-p", sims.back()->ptyPath()});
                }
            }
            runs.push_back(cliArguments(args));
        }
        // Every instrument ready first, so that the runs go side by side.
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::unique_ptr<ChildProcess>> clis;
        for (std::vector<std::string>& args : runs) {
            if (c.roomForOneRecord) {
                // util-linux's prlimit: the limit for the program alone.
                args.insert(args.begin(), {"--fsize=" + std::to_string(before.size() + 500), QELISP_CLI_PATH});
                clis.push_back(std::make_unique<ChildProcess>("/usr/bin/prlimit", args));
            } else {
                clis.push_back(std::make_unique<ChildProcess>(QELISP_CLI_PATH, args));
            }
            ASSERT_TRUE(clis.back()->started()) << clis.back()->error();
        }
        for (auto& cli : clis) {
            ASSERT_TRUE(cli->waitForExit(runLimit())) << "still running";
            EXPECT_EQ(cli->exitCode(), c.status) << cli->stderrText();
        }
        const auto took = std::chrono::steady_clock::now() - start;
        std::string said = c.said;
        if (const auto at = said.find("PORT"); at != std::string::npos) said.replace(at, 4, sims[0]->ptyPath());
        if (c.records == kRefused) said = "qelisp-cli: --log " + log + ": " + said;
        EXPECT_NE(clis[0]->stderrText().find(said), std::string::npos) << clis[0]->stderrText();
        if (said.empty()) {
            EXPECT_EQ(clis[0]->stderrText().find("--log"), std::string::npos) << clis[0]->stderrText();
        }
        for (auto& sim : sims) {
            ASSERT_TRUE(sim->stop());
            if (c.records == kRefused) {
                EXPECT_EQ(sim->summary()->bytesWritten, 0u) << "the instrument was greeted";
            }
        }
        if (c.records == kRefused) {
            EXPECT_LT(took, std::chrono::seconds(1));
            continue;
        }
        // The runs' records after what was there, every line a whole record.
        if (c.roomForOneRecord) {
            // The record that fitted, whole, and nothing of the one that did not.
            const std::string added = readFile(log).substr(before.size());
            EXPECT_TRUE(std::count(added.begin(), added.end(), '\n') == 1 && added.back() == '\n') << added;
            CliRun again = runCli({"program", "--verify", "-q", "--simulate", "--no-pacing", "--log", log});
            EXPECT_EQ(again.exitCode, 0) << again.err;
        }
        const std::string after = readFile(log);
        ASSERT_EQ(after.substr(0, before.size()), before);
        EXPECT_EQ(after.back(), '\n');
        const std::size_t earlierLines = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) +
                                         (before.empty() || before.back() == '\n' ? 0 : 1);
        const std::size_t added = static_cast<std::size_t>(c.records) + (c.roomForOneRecord ? 2 : 0);
        const std::vector<Json> lines = jsonLines(after);
        EXPECT_EQ(lines.size(), static_cast<std::size_t>(std::count(after.begin(), after.end(), '\n')));
        ASSERT_EQ(lines.size(), earlierLines + added) << after.substr(before.size());
        for (std::size_t i = earlierLines; i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i].contains("firmware")) << lines[i];
        }
    }
    ::close(pty);
}

TEST(CliBenchE2e, WaitsForAnInstrumentSwitchedOnLater) {
    struct Case {
        const char* what;
        bool automatic;  // --port auto, which searches again once a second, or the port by its name
        // qelisp-sim --fault options: first answers to 'U' that are not its
        // echo, and must not end the wait.
        std::vector<std::string> faults;
        // An adapter first that hangs up at the first 'U' (the port fails:
        // read gives -1), then the instrument on the same name.
        bool pulledOut;
    };
    const std::vector<std::string> threeWrong{"--fault", "u1:wrong", "--fault", "u2:wrong", "--fault", "u3:wrong"};
    const Case cases[] = {
        {"--port NAME", false, {}, false},
        {"--port auto", true, {}, false},
        // Were any byte taken for the echo, the job's handshake would get
        // the next two wrong answers and fail.
        {"wrong answers to 'U' first", false, threeWrong, false},
        // Were the failed port kept, no 'U' would reach the instrument.
        {"a port that failed, then came back", false, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string port = (dir / "instrument").string();
        std::vector<std::string> args{"program", "--wait", "30", "-q"};
        const std::vector<std::string> named{"-p", port};
        const std::vector<std::string> found{"-p", "auto", "--auto-candidates", port};
        args.insert(args.end(), (c.automatic ? found : named).begin(), (c.automatic ? found : named).end());
        const auto start = std::chrono::steady_clock::now();
        std::unique_ptr<SimProcess> sim;
        CliRun run = runCli(args, [&](ChildProcess&) {
            std::this_thread::sleep_for(std::chrono::seconds(3));
            if (c.pulledOut) {
                SimProcess gone(QELISP_SIM_PATH,
                                {"--no-pacing", "--erase-ms", "0", "--link", port, "--fault", "u1:hangup"});
                EXPECT_TRUE(gone.waitForExit(std::chrono::seconds(10))) << "the wait never greeted it";
            }
            std::vector<std::string> simArgs{"--no-pacing", "--erase-ms", "0", "--link", port};
            simArgs.insert(simArgs.end(), c.faults.begin(), c.faults.end());
            sim = std::make_unique<SimProcess>(QELISP_SIM_PATH, simArgs);
        });
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_GE(took, std::chrono::seconds(3)) << "it waited for the instrument";
        EXPECT_NE(lastStatusLine(run.out).find("Data Writed OK!"), std::string::npos) << run.out;
        std::size_t said = 0;
        for (std::size_t at = 0; (at = run.err.find("waiting up to 30 s", at)) != std::string::npos; ++at) ++said;
        EXPECT_EQ(said, 1u) << "says so once: " << run.err;
        ASSERT_TRUE(sim && sim->stop());
        // --port auto's search asks for one block to tell it from a loopback.
        EXPECT_EQ(sim->summary()->lines, c.automatic ? 3781u : 3780u);
    }
}

// With no instrument, --wait waits its whole time, says so, and the port
// ends its job as never appeared (or unanswered).
TEST(CliBenchE2e, WaitsTheWholeTimeForAnInstrumentThatNeverComes) {
    int master = -1, slave = -1;
    char quiet[128];
    ASSERT_EQ(::openpty(&master, &slave, quiet, nullptr, nullptr), 0);
    ::close(slave);
    TempDir dir;
    struct Case {
        std::vector<std::string> port;
        const char* said;
        const char* reason;
    };
    const Case cases[] = {
        {{"-p", (dir / "never").string()},
         ": no instrument answered in 3 s of waiting: cannot open: no such port",
         "never-appeared"},
        {{"-p", "auto", "--auto-candidates", quiet}, " in 3 s of waiting", "never-appeared"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port[1]);
        std::vector<std::string> args{"verify", "--wait", "3", "--json"};
        args.insert(args.end(), c.port.begin(), c.port.end());
        const auto start = std::chrono::steady_clock::now();
        CliRun run = runCli(args);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << run.err;
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        const std::vector<Json> events = jsonLines(run.out);
        ASSERT_FALSE(events.empty());
        const Json& end = events.back();
        EXPECT_EQ(end["event"], "end") << end;
        EXPECT_EQ(end["job"], "verify");
        EXPECT_FALSE(end["ok"].get<bool>());
        EXPECT_EQ(end["reason"], c.reason) << end;
    }
    ::close(master);
}

TEST(CliBenchE2e, CtrlCEndsTheWait) {
    TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    CliRun run = runCli({"program", "-p", (dir / "never").string(), "--wait", "60"}, [](ChildProcess& cli) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        cli.signal(SIGINT);
    });
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace qelisp::test
