// qelisp-cli against instruments behind ser2net on loopback, as a bench
// reaches a serial port server across its network: program and verify
// through RFC 2217 and raw TCP accepters, four of them beside a local port
// in one run, a server that comes up while the console waits, and what only
// a real server does: the connection dropped under a job, a second client
// on a port, nothing listening.
#include "tests/support/child_process.h"
#include "tests/support/json_lines.h"
#include "tests/support/line_timing.h"
#include "tests/support/programmed_flash.h"
#include "tests/support/ser2net_server.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qelisp::test {
namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

enum class Via { Rfc2217, Tcp, Local };

// Each port's end events, in order.
std::map<std::string, std::vector<Json>> endsByPort(const std::string& out) {
    std::map<std::string, std::vector<Json>> ends;
    for (const Json& event : jsonLines(out)) {
        if (event["event"] == "end") ends[event["port"]["name"]].push_back(event);
    }
    return ends;
}

bool ser2netInstalled() { return ::access(QELISP_SER2NET_PATH, X_OK) == 0; }

// One instrument per port, paced, and ser2net serving those reached through
// it; the port's name as the console is given it.
struct Bench {
    TempDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::unique_ptr<Ser2netServer> server;
    std::vector<std::string> names;

    explicit Bench(const std::vector<Via>& ports) {
        std::vector<std::string> served;
        for (std::size_t i = 0; i < ports.size(); ++i) {
            sims.push_back(std::make_unique<SimProcess>(
                QELISP_SIM_PATH, std::vector<std::string>{"--erase-ms", "200", "--save", flash(i)}));
            if (ports[i] != Via::Local) served.push_back(sims.back()->ptyPath());
        }
        server = std::make_unique<Ser2netServer>(QELISP_SER2NET_PATH, served);
        std::size_t remote = 0;
        for (std::size_t i = 0; i < ports.size(); ++i) {
            switch (ports[i]) {
                case Via::Rfc2217: names.push_back(server->rfc2217Name(remote++)); break;
                case Via::Tcp: names.push_back(server->tcpName(remote++)); break;
                case Via::Local: names.push_back(sims[i]->ptyPath()); break;
            }
        }
    }
    std::string flash(std::size_t i) const { return (dir / ("flash" + std::to_string(i) + ".bin")).string(); }
    std::vector<std::string> portArgs() const {
        std::vector<std::string> args;
        for (const std::string& name : names) args.insert(args.end(), {"-p", name});
        return args;
    }
};

// Whole runs through the server, side by side: every job of every port
// ends well and every instrument's flash holds exactly the image.
TEST(Ser2netE2e, ProgramsAndVerifiesThroughTheServer) {
    if (!ser2netInstalled()) GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    struct Case {
        const char* what;
        std::vector<Via> ports;
        std::vector<std::string> command;
        std::chrono::milliseconds serverLate;  // ser2net started this long after qelisp-cli
    };
    const Case cases[] = {
        {"RFC 2217", {Via::Rfc2217}, {"program", "--verify"}, 0ms},
        {"raw TCP", {Via::Tcp}, {"program", "--verify"}, 0ms},
        {"four remote ports and a local one",
         {Via::Rfc2217, Via::Tcp, Via::Rfc2217, Via::Tcp, Via::Local},
         {"program", "--verify"},
         0ms},
        {"--wait 3, the server up 1.5 s later", {Via::Rfc2217}, {"program", "--wait", "3"}, 1500ms},
    };
    std::vector<std::unique_ptr<Bench>> benches;
    std::vector<std::unique_ptr<ChildProcess>> clis;
    std::vector<Clock::time_point> started;
    for (const Case& c : cases) {
        benches.push_back(std::make_unique<Bench>(c.ports));
        Bench& bench = *benches.back();
        if (c.serverLate == 0ms) {
            ASSERT_TRUE(bench.server->start()) << c.what << ": " << bench.server->error();
        }
        std::vector<std::string> args = c.command;
        args.push_back("--json");
        const std::vector<std::string> ports = bench.portArgs();
        args.insert(args.end(), ports.begin(), ports.end());
        clis.push_back(std::make_unique<ChildProcess>(QELISP_CLI_PATH, cliArguments(args)));
        started.push_back(Clock::now());
        ASSERT_TRUE(clis.back()->started()) << clis.back()->error();
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        if (cases[i].serverLate == 0ms) continue;
        std::this_thread::sleep_until(started[i] + cases[i].serverLate);
        ASSERT_TRUE(benches[i]->server->start()) << cases[i].what << ": " << benches[i]->server->error();
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        Bench& bench = *benches[i];
        ChildProcess& cli = *clis[i];
        ASSERT_TRUE(cli.waitForExit(runLimit())) << "qelisp-cli still running";
        EXPECT_EQ(cli.exitCode(), 0) << cli.stdoutText() << cli.stderrText();
        const bool verify = c.command.size() > 1 && c.command[1] == "--verify";
        auto ends = endsByPort(cli.stdoutText());
        for (std::size_t p = 0; p < bench.names.size(); ++p) {
            const std::string& name = bench.names[p];
            // Each row's every port is looked at, whatever an earlier one did.
            if (ends[name].size() != (verify ? 2u : 1u)) {
                ADD_FAILURE() << name << ": " << ends[name].size() << " jobs ended: " << cli.stdoutText();
                continue;
            }
            for (const Json& end : ends[name]) {
                EXPECT_TRUE(end["ok"].get<bool>()) << end;
                std::printf("[ ser2net  ] %s: %s %s %.1f s\n", c.what, name.c_str(),
                            end["job"].get<std::string>().c_str(), end["seconds"].get<double>());
            }
            EXPECT_EQ(ends[name][0]["lines"], 3780) << name;
            EXPECT_TRUE(bench.sims[p]->stop());
            EXPECT_EQ(bench.sims[p]->summary().value_or(SimSummary{0, 1, 0}).violations, 0u)
                << name << ": " << bench.sims[p]->stderrText();
            EXPECT_TRUE(readFile(bench.flash(p)) == programmedFlash()) << name << ": the flash is not the image";
        }
    }
}

// The test's own client on an accepter, holding it as another bench's
// session would.
class HeldConnection {
public:
    explicit HeldConnection(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~HeldConnection() {
        if (fd_ >= 0) ::close(fd_);
    }
    HeldConnection(const HeldConnection&) = delete;
    HeldConnection& operator=(const HeldConnection&) = delete;
    bool connected() const { return connected_; }

private:
    int fd_;
    bool connected_ = false;
};

// What only a real server does to a job, one case at a time: each ends the
// job with its reason, exit status 1.
TEST(Ser2netE2e, AServerThatDropsRefusesOrIsMissing) {
    if (!ser2netInstalled()) GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    enum class Fault {
        Dropped,       // ser2net killed once the job is programming
        SecondClient,  // another client holds the accepter
        NoServer,      // nothing listens on the port
    };
    struct Case {
        const char* what;
        Via via;
        Fault fault;
        const char* reason;
    };
    const Case cases[] = {
        {"ser2net killed mid-job, RFC 2217", Via::Rfc2217, Fault::Dropped, "port-gone"},
        {"ser2net killed mid-job, raw TCP", Via::Tcp, Fault::Dropped, "port-gone"},
        {"a second client, RFC 2217", Via::Rfc2217, Fault::SecondClient, "in-use"},
        {"a second client, raw TCP", Via::Tcp, Fault::SecondClient, "in-use"},
        {"nothing listening", Via::Rfc2217, Fault::NoServer, "connection-refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bench bench({c.via});
        std::string name = bench.names[0];
        if (c.fault == Fault::NoServer) {
            name = "rfc2217://127.0.0.1:" + std::to_string(freeLoopbackPort());
        } else {
            ASSERT_TRUE(bench.server->start()) << bench.server->error();
        }
        const ServedDevice& served = bench.server->devices()[0];
        std::unique_ptr<HeldConnection> first;
        if (c.fault == Fault::SecondClient) {
            first = std::make_unique<HeldConnection>(c.via == Via::Rfc2217 ? served.rfc2217Port : served.rawPort);
            ASSERT_TRUE(first->connected());
        }
        ChildProcess cli(QELISP_CLI_PATH, cliArguments({"program", "--json", "-p", name}));
        ASSERT_TRUE(cli.started()) << cli.error();
        const auto isEvent = [](const char* kind) {
            return [kind](const std::string& line) {
                return line.find("\"event\":\"" + std::string(kind) + "\"") != std::string::npos;
            };
        };
        if (c.fault == Fault::Dropped) {
            // A page written: the job is well into programming.
            ASSERT_TRUE(cli.waitForLine(isEvent("progress"), 30s)) << cli.stdoutText() << cli.stderrText();
            const auto dropped = Clock::now();
            bench.server->kill();
            ASSERT_TRUE(cli.waitForLine(isEvent("end"), 10s)) << "the job never ended";
            const auto after = std::chrono::duration<double>(Clock::now() - dropped).count();
            // The job notices the connection closed, not a string of read
            // time-outs of an instrument that went quiet.
            EXPECT_LT(after, 1.5) << "the end came " << after << " s after the drop";
            std::printf("[ ser2net  ] %s: the job ended %.3f s after the drop\n", c.what, after);
        }
        ASSERT_TRUE(cli.waitForExit(runLimit())) << "qelisp-cli still running";
        EXPECT_EQ(cli.exitCode(), 1) << cli.stdoutText() << cli.stderrText();
        EXPECT_EQ(cli.stdoutText().find("Data Writed OK!"), std::string::npos) << cli.stdoutText();
        auto ends = endsByPort(cli.stdoutText());
        ASSERT_EQ(ends[name].size(), 1u) << cli.stdoutText();
        const Json& end = ends[name][0];
        EXPECT_FALSE(end["ok"].get<bool>()) << end;
        EXPECT_EQ(end["reason"], c.reason) << end;
        EXPECT_FALSE(end["hint"].get<std::string>().empty()) << end;
        ASSERT_TRUE(bench.sims[0]->stop());
        // Only a job that ran reached the instrument.
        EXPECT_EQ(bench.sims[0]->summary()->lines > 0, c.fault == Fault::Dropped) << end;
    }
}

}  // namespace
}  // namespace qelisp::test
