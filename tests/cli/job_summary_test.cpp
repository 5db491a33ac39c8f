// The end of a run over several ports, and --port auto's verdicts.
#include "cli/records/job_summary.h"
#include "cli/ports/port_probe.h"

#include <gtest/gtest.h>

namespace qelisp::cli {
namespace {

using Kind = PortOutcome::Kind;

TEST(JobSummary, OneRowPerPortAndTheWorstOutcomeDecidesTheExitStatus) {
    const PortOutcome ok{"ttyUSB0", Kind::Succeeded, "Data Writed OK!  Time Elapsed 61.2S", 62.44, "program"};
    const PortOutcome failed{"ttyUSB10", Kind::Failed, "Connecting Error 4!", 3.06, "program"};
    const PortOutcome closed{"COM9", Kind::NotOpened, "cannot open: in use by another program", 0, {}};
    EXPECT_EQ(summaryTable({ok, failed, closed}),
              "port      result                                  time\n"
              "ttyUSB0   Data Writed OK!                         62.4 s\n"
              "ttyUSB10  Connecting Error 4!                     3.1 s\n"
              "COM9      cannot open: in use by another program  -\n");
    const PortOutcome verified{"ttyUSB0", Kind::Succeeded, "Data Verify OK!  Time Elapsed 60.0S", 61.0, "verify"};
    EXPECT_EQ(summaryTable({ok, verified}, true),
              "port     job      result           time\n"
              "ttyUSB0  program  Data Writed OK!  62.4 s\n"
              "ttyUSB0  verify   Data Verify OK!  61.0 s\n")
        << "program --verify: both jobs of a port";
    // One time a row: the job's own timer goes, and only a timer.
    const std::pair<const char*, const char*> results[] = {
        {"Data Verify OK!  Time Elapsed 120.0S", "Data Verify OK!"},
        {"Data Writed OK!  Time Elapsed 0.4S", "Data Writed OK!"},
        {"Connecting Error 4!", "Connecting Error 4!"},
        {"Time Elapsed 1.2S, then cut off", "Time Elapsed 1.2S, then cut off"},
        {"stopped: Time Elapsed soon", "stopped: Time Elapsed soon"},
        {"Time Elapsed 12S", "Time Elapsed 12S"},
    };
    // A name in UTF-8 where the terminal shows it: the columns count characters.
    const std::vector<PortOutcome> named = {{"Caf\xc3\xa9\x1b", Kind::Failed, "Connecting Error 4!", 1.0, {}},
                                            {"ttyUSB10", Kind::Failed, "Connecting Error 4!", 2.0, {}}};
    EXPECT_EQ(summaryTable(named, false, true),
              "port      result               time\n"
              "Caf\xc3\xa9\\x1b  Connecting Error 4!  1.0 s\n"
              "ttyUSB10  Connecting Error 4!  2.0 s\n");
    EXPECT_NE(summaryTable(named).find("\nCaf\\xc3\\xa9\\x1b  Connecting"), std::string::npos) << "escaped elsewhere";
    for (const auto& [result, shown] : results) {
        EXPECT_EQ(summaryTable({{"p", Kind::Failed, result, 1.0, {}}}),
                  std::string("port  result") + std::string(std::string(shown).size() - 6, ' ') + "  time\n" +
                      "p     " + shown + "  1.0 s\n");
    }

    struct Case {
        std::vector<PortOutcome> outcomes;
        int status;
    };
    const Case cases[] = {
        {{ok, ok}, 0},
        {{ok, failed}, 1},
        // A port that could not be used is a failed instrument, whatever else happened.
        {{failed, closed}, 1},
        {{closed, ok}, 1},
        {{closed}, 1},
        {{ok, verified, closed}, 1},
        {{}, 2},
    };
    for (const Case& c : cases) EXPECT_EQ(exitStatus(c.outcomes), c.status) << summaryTable(c.outcomes);
}

TEST(PortSearch, NamesWhatWasGreetedAndWhatAnswered) {
    EXPECT_EQ(searchFailure({}, {}), "no serial port can be opened");
    EXPECT_EQ(searchFailure({"ttyS0", "ttyUSB0", "ttyUSB1"}, {}),
              "no instrument answered on ttyS0, ttyUSB0 and ttyUSB1");
    const std::string several = searchFailure({"ttyS0", "ttyUSB0", "ttyUSB1"}, {"ttyUSB0", "ttyUSB1"});
    EXPECT_EQ(several.rfind("instruments answered on ttyUSB0 and ttyUSB1;", 0), 0u) << several;
    EXPECT_EQ(searchFailure({"ttyS0", "ttyUSB0"}, {}, {"ttyS0"}),
              "no instrument answered on ttyS0 and ttyUSB0; ttyS0 is a port that echoes everything it is sent (a "
              "loopback plug or a modem)");
}

}  // namespace
}  // namespace qelisp::cli
