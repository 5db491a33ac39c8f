// What the note after a run says of the answers' wait beyond the wire: a USB
// adapter's wait on a local port the system lists as one, nothing on a port
// without an adapter, the round trip on a network port, and the server's
// missing nodelay when answers came held back. All the adapters of a run
// share one note; the JSON events keep one per port, with its own advice.
#include "cli/records/wait_note.h"
#include "cli/records/json_events.h"
#include "cli/records/listed_adapter.h"
#include "cli/terminal/console.h"
#include "tests/support/json_lines.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

namespace qelisp::cli {
namespace {

constexpr double kAnswers = 3779;

JobRecord waited(bool network, double perAnswerMs, std::uint64_t heldBack = 0) {
    JobRecord record;
    record.network = network;
    record.extraWaitMs = perAnswerMs;
    record.extraWaitSeconds = perAnswerMs * kAnswers / 1000;
    record.heldBackAnswers = heldBack;
    return record;
}

// Names the adapters it is given, as the system's advice names each one's
// own setting.
std::string namesThem(const std::vector<PortInfo>& adapters) {
    std::string text = "the fix for";
    for (const PortInfo& port : adapters) text += " [" + port.name + "]";
    return text;
}

const PortInfo kFtdi{"ttyUSB0", "FT232R USB UART", 0x0403, 0x6001, "FTDI", "A600ABCD", {}};

TEST(WaitNote, SaysWhatTheWaitIsAndWhatToChange) {
    struct Case {
        const char* what;
        bool network;
        double perAnswerMs;
        std::uint64_t heldBack;
        const PortInfo* adapter;  // the system's entry for a local USB adapter
        bool noted;
        const char* says;    // in the text
        const char* advice;  // in the advice ("" for none)
    };
    const Case cases[] = {
        {"a fast adapter", false, 0.4, 0, &kFtdi, false, "", ""},
        {"an adapter's 16 ms timer", false, 16.0, 0, &kFtdi, true, "16.0 ms each (60 s of this run)",
         "the fix for [ttyUSB0]"},
        {"a pseudo-terminal's 16 ms: no adapter", false, 16.0, 0, nullptr, false, "", ""},
        {"a network on loopback", true, 0.3, 0, nullptr, true, "round trip to the server", ""},
        {"a server without nodelay", true, 38.0, 3700, nullptr, true, "pieces about 40 ms apart", "nodelay"},
        {"a few stalls of the network's own", true, 0.6, 5, nullptr, true, "round trip", ""},
        {"ser2net's chardelay", true, 4.2, 0, nullptr, true, "round trip", "chardelay: false"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto note = waitNote({waited(c.network, c.perAnswerMs, c.heldBack)}, c.adapter, namesThem);
        ASSERT_EQ(note.has_value(), c.noted);
        if (!note) continue;
        EXPECT_NE(note->text.find(c.says), std::string::npos) << note->text;
        EXPECT_EQ(note->text.find("adapter"), std::string::npos) << note->text;
        if (*c.advice) {
            EXPECT_NE(note->advice.find(c.advice), std::string::npos) << note->advice;
        } else {
            EXPECT_EQ(note->advice, "");
        }
        EXPECT_NEAR(note->perAnswerMs, c.perAnswerMs, 0.01);
    }
}

// A run's ports together: the console's lines and each port's JSON event.
TEST(WaitNote, OneNoteForAllTheAdaptersOfARunAndNoneWithoutAnAdapter) {
    struct Port {
        const char* name;
        bool network;
        double perAnswerMs;
    };
    struct Case {
        const char* what;
        std::vector<Port> ports;
        std::vector<PortInfo> listed;
        int listings;                    // times the port list is asked for
        std::vector<std::string> lines;  // the console's, whole
        std::size_t adapterEvents;       // in the JSON events
    };
    const PortInfo second{"ttyUSB1", "FT232R USB UART", 0x0403, 0x6001, "FTDI", "A600ABCE", {}};
    const PortInfo uart{"ttyS0", "Built-in serial port", 0, 0, {}, {}, {}};
    const Case cases[] = {
        {"two adapters: one note naming both",
         {{"ttyUSB0", false, 16.0}, {"ttyUSB1", false, 4.0}},
         {kFtdi, second},
         1,
         {"the USB adapters held each answer longer than the wire needs: ttyUSB0 16.0 ms each (60 s of this run), "
          "ttyUSB1 4.0 ms each (15 s of this run); the fix for [ttyUSB0] [ttyUSB1]"},
         2},
        {"a pseudo-terminal and a built-in UART: no adapter to blame",
         {{"/dev/pts/3", false, 16.0}, {"ttyS0", false, 16.0}},
         {kFtdi, uart},
         1,
         {},
         0},
        {"a fast adapter: the list is not asked for", {{"ttyUSB0", false, 0.4}}, {kFtdi}, 0, {}, 0},
        {"a network port keeps its own line beside the adapter's",
         {{"ttyUSB0", false, 16.0}, {"rfc2217://bench3:7000", true, 4.2}},
         {kFtdi},
         1,
         {"rfc2217://bench3:7000: each answer waited 4.2 ms longer than the wire needs, the network's round trip "
          "to the server: 15.9 s of this run: a round trip this long on a bench network is the server's own wait "
          "before it sends on: ser2net waits after each byte unless the connection's options say chardelay: false",
          "the USB adapter held each answer longer than the wire needs: ttyUSB0 16.0 ms each (60 s of this run); "
          "the fix for [ttyUSB0]"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<PortWaits> ports;
        std::vector<LoggedPort> logged;
        for (const Port& port : c.ports) {
            ports.push_back({port.name, {waited(port.network, port.perAnswerMs)}});
            logged.push_back({port.name, {}, {}});
        }
        int listings = 0;
        const RunWaitNotes notes = runWaitNotes(
            ports,
            [&] {
                ++listings;
                return c.listed;
            },
            namesThem);
        EXPECT_EQ(listings, c.listings);
        EXPECT_EQ(notes.lines, c.lines);

        // --json: one event per noted port, an adapter's advice its own.
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        {
            OutputQueue out(file, "standard output", nullptr);
            JsonEvents events(out, logged, {}, {});
            ASSERT_EQ(notes.ports.size(), c.ports.size());
            for (std::size_t i = 0; i < notes.ports.size(); ++i) {
                if (notes.ports[i]) events.waitNote(i, *notes.ports[i]);
            }
        }
        std::size_t adapterEvents = 0;
        for (const nlohmann::json& event : test::jsonLines(test::readAndClose(file))) {
            if (event["event"] != "adapter") continue;
            ++adapterEvents;
            const auto name = event["port"]["name"].get<std::string>();
            EXPECT_EQ(event["advice"], namesThem({PortInfo{name, {}, 0, 0, {}, {}, {}}})) << event;
        }
        EXPECT_EQ(adapterEvents, c.adapterEvents);
    }
}

// "/dev/ttyUSB0", a /dev/serial/by-id link or a link of one's own finds the
// port the system lists as "ttyUSB0"; "\\.\com7" finds "COM7".
TEST(WaitNote, FindsTheListedAdapterWhateverNameLeadsToIt) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    std::vector<PortInfo> listed{{"ttyS0", "Built-in serial port", 0, 0, {}, {}, {}}};
    struct Case {
        std::string given;
        std::string found;  // the listed name; "" for none
    };
    std::vector<Case> cases{{"/dev/pts/3", ""}, {"ttyS0", ""}};
#ifdef _WIN32
    listed.push_back({"COM7", "USB Serial Port", 0x0403, 0x6001, "FTDI", {}, {}});
    cases.insert(cases.end(), {{"COM7", "COM7"}, {"\\\\.\\com7", "COM7"}, {"COM17", ""}});
#else
    listed.push_back({"ttyUSB0", "FT232R USB UART", 0x0403, 0x6001, "FTDI", {}, {}});
    listed.push_back({(dir / "ttyUSB1").string(), "FT232R USB UART", 0x0403, 0x6001, "FTDI", {}, {}});
    test::writeFile(dir / "ttyUSB1", "");
    fs::create_directories(dir / "by-id");
    fs::create_symlink("../ttyUSB1", dir / "by-id" / "usb-FTDI_FT232R_USB_UART_A600ABCE-if00-port0");
    cases.insert(cases.end(),
                 {{"ttyUSB0", "ttyUSB0"},
                  {"/dev/ttyUSB0", "ttyUSB0"},
                  {(dir / "by-id" / "usb-FTDI_FT232R_USB_UART_A600ABCE-if00-port0").string(), listed.back().name},
                  {"/dev/ttyUSB9", ""}});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        const PortInfo* found = listedAdapter(c.given, listed);
        EXPECT_EQ(found ? found->name : std::string(), c.found);
    }
}

// This system's advice names each adapter's own setting, nothing to fill in.
TEST(WaitNote, AdviceNamesEachAdaptersOwnSetting) {
    struct Case {
        const char* what;
        std::vector<PortInfo> adapters;
        std::vector<std::string> says;
        std::vector<std::string> neverSays;
    };
#ifdef _WIN32
    const PortInfo com7{"COM7", "USB Serial Port", 0x0403, 0x6001, "FTDI", {}, {}};
    const PortInfo com8{"COM8", "USB Serial Port", 0x0403, 0x6001, "FTDI", {}, {}};
    const Case cases[] = {
        {"one port",
         {com7},
         {"Device Manager, Ports (COM & LPT), USB Serial Port (COM7), Properties"},
         {"<", " on each"}},
        {"two ports",
         {com7, com8},
         {"USB Serial Port (COM7) and USB Serial Port (COM8), Properties", " on each"},
         {"<"}},
    };
#else
    const std::string timer = "/sys/bus/usb-serial/devices/ttyUSB0/latency_timer";
    PortInfo ftdi{"ttyUSB0", "FT232R USB UART", 0x0403, 0x6001, "FTDI", {}, {}, OpenError::None, {}, timer};
    PortInfo ftdi2{"ttyUSB1", "FT232R USB UART",
                   0x0403,    0x6001,
                   "FTDI",    {},
                   {},        OpenError::None,
                   {},        "/sys/bus/usb-serial/devices/ttyUSB1/latency_timer"};
    const PortInfo acm{"ttyACM0", "Arduino Uno", 0x2341, 0x0043, {}, {}, {}};
    const Case cases[] = {
        {"an FTDI port: its own latency_timer", {ftdi}, {"echo 1 | sudo tee " + timer}, {"<", "ttyACM", "no latency"}},
        {"a ttyACM: no timer, no path", {acm}, {"no latency timer to set on ttyACM0"}, {"/sys", "tee", "<"}},
        {"two FTDI ports: one command",
         {ftdi, ftdi2},
         {"echo 1 | sudo tee " + timer + " /sys/bus/usb-serial/devices/ttyUSB1/latency_timer"},
         {"no latency"}},
        {"an FTDI port and a ttyACM", {ftdi, acm}, {"sudo tee " + timer + "; no latency timer to set on ttyACM0"}, {}},
    };
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string advice = adapterLatencyAdvice(c.adapters);
        for (const std::string& text : c.says) EXPECT_NE(advice.find(text), std::string::npos) << advice;
        for (const std::string& text : c.neverSays) EXPECT_EQ(advice.find(text), std::string::npos) << advice;
    }
}

}  // namespace
}  // namespace qelisp::cli
