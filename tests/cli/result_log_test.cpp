// The result log's record of one job, field by field: a bench reads it
// months later to learn which firmware an instrument got, when, and through
// which adapter. And the file it goes to: each record a whole line of its
// own, never a directory or a name Windows takes for a device.
#include "cli/records/result_log.h"
#include "cli/records/unused_port.h"
#include "cli/records/windows_device_name.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace qelisp::cli {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

TEST(ResultLog, RecordHoldsTheJobItsTimeAndTheAdapter) {
    // What the system lists: two adapters and a built-in UART, which has no
    // description or serial number.
    const std::vector<PortInfo> known{
        {"ttyUSB0", "FT232R USB UART", 0x0403, 0x6001, "FTDI", "A600ABCD", {}},
        {"ttyUSB1", "CP2102 USB to UART Bridge Controller", 0x10C4, 0xEA60, "Silicon Labs", "0001", {}},
        {"ttyS0", {}, 0, 0, {}, {}, {}},
    };
    const RunIdentity identity{"1.0.0", "QX-DEV", "2026.12.08",
                               "95fe437a87e96efc9727ec9fc3dad703c0cc830a031ef643902a723fe2b6bf3d",
                               "5f0c1e2d3a4b69788796a5b4c3d2e1f0"};
    const std::string run = R"("run":"5f0c1e2d3a4b69788796a5b4c3d2e1f0",)";
    auto hint = [](FailureReason reason) { return R"("hint":")" + std::string(hintText(reason)) + R"(",)"; };
    const std::string firmware = R"("program_version":"1.0.0","firmware":{"model":"QX-DEV","version":"2026.12.08",)"
                                 R"("sha256":"95fe437a87e96efc9727ec9fc3dad703c0cc830a031ef643902a723fe2b6bf3d"}})";
    const std::string local = R"("extra_wait_ms":0.0,"extra_wait_seconds":0.0,"network":false,)";
    JobRecord acrossTheNetwork{
        JobKind::Verify, {JobOutcome::Succeeded}, "Data Verify OK!  Time Elapsed 24.1S", 25.04, 3779};
    acrossTheNetwork.extraWaitMs = 0.44;
    acrossTheNetwork.extraWaitSeconds = 1.66;
    // Days and months that differ and could each be the other; times on
    // either side of midnight UTC.
    struct Row {
        const char* port;  // as given on the command line
        sys_time<milliseconds> ended;
        JobRecord record;
        std::string line;  // without the firmware's part and the line break
    };
    const Row rows[] = {
        {"ttyUSB0",
         sys_days{2026y / 3 / 4} + 23h + 59min + 59s + 999ms,
         {JobKind::Program, {JobOutcome::Succeeded}, "Data Writed OK!  Time Elapsed 84.7S", 85.94, 3780},
         R"({"time":"2026-03-04T23:59:59Z",)" + run +
             R"("port":{"name":"ttyUSB0","description":"FT232R USB UART",)"
             R"("serial":"A600ABCD"},"job":"program","ok":true,"status":"Data Writed OK!  Time Elapsed 84.7S",)"
             R"("reason":null,"hint":null,"seconds":85.9,)" +
             local},
        {"/dev/ttyUSB1",
         sys_days{2027y / 11 / 2} + 0h + 0min + 1s,
         {JobKind::Verify,
          {JobOutcome::Failed, JobStep::ReadBack, FailureCause::ReadBackDiffers},
          "Verify Error At: 05000H",
          12.26,
          120},
         R"({"time":"2027-11-02T00:00:01Z",)" + run +
             R"("port":{"name":"/dev/ttyUSB1",)"
             R"("description":"CP2102 USB to UART Bridge Controller","serial":"0001"},"job":"verify","ok":false,)"
             R"("status":"Verify Error At: 05000H","reason":"read-back-differs",)" +
             hint(FailureReason::ReadBackDiffers) + R"("seconds":12.3,)" + local},
        {"ttyS0",
         sys_days{2026y / 12 / 9} + 0h + 0min + 0s,
         {JobKind::Program,
          {JobOutcome::Failed, JobStep::Handshake, FailureCause::NoAnswer},
          "Connecting Error 1!",
          4.0,
          0},
         R"({"time":"2026-12-09T00:00:00Z",)" + run +
             R"("port":{"name":"ttyS0","description":null,"serial":null},"job":"program","ok":false,)"
             R"("status":"Connecting Error 1!","reason":"no-answer",)" +
             hint(FailureReason::NoAnswer) + R"("seconds":4.0,)" + local},
        {"/dev/pts/7",  // in no port list: a pseudo-terminal
         sys_days{2026y / 5 / 6} + 23h + 30min,
         {JobKind::Program, {JobOutcome::Cancelled, JobStep::DataRecord}, "User Canceled", 6.04, 100},
         R"({"time":"2026-05-06T23:30:00Z",)" + run +
             R"("port":{"name":"/dev/pts/7","description":null,"serial":null},"job":"program","ok":false,)"
             R"("status":"User Canceled","reason":"cut-off",)" +
             hint(FailureReason::CutOff) + R"("seconds":6.0,)" + local},
        // A port that could not be opened ends the job it would have run.
        {"ttyUSB0", sys_days{2026y / 12 / 10} + 5h,
         notRunRecord(JobKind::Verify, FailureReason::InUse, "cannot open: port is in use by minicom (PID 4242)"),
         R"({"time":"2026-12-10T05:00:00Z",)" + run +
             R"("port":{"name":"ttyUSB0","description":"FT232R USB UART","serial":"A600ABCD"},"job":"verify",)"
             R"x("ok":false,"status":"cannot open: port is in use by minicom (PID 4242)","reason":"in-use",)x" +
             hint(FailureReason::InUse) + R"("seconds":0.0,)" + local},
        // A network port: its waits are the round trip, its hints the server's.
        {"rfc2217://bench3:7000", sys_days{2026y / 12 / 10} + 6h, acrossTheNetwork,
         R"({"time":"2026-12-10T06:00:00Z",)" + run +
             R"("port":{"name":"rfc2217://bench3:7000","description":null,"serial":null},"job":"verify",)"
             R"("ok":true,"status":"Data Verify OK!  Time Elapsed 24.1S","reason":null,"hint":null,"seconds":25.0,)"
             R"("extra_wait_ms":0.4,"extra_wait_seconds":1.7,"network":true,)"},
        {"tcp://[::1]:7001", sys_days{2026y / 12 / 10} + 7h,
         notRunRecord(JobKind::Program, FailureReason::ConnectionRefused, "cannot open: connection refused"),
         R"({"time":"2026-12-10T07:00:00Z",)" + run +
             R"("port":{"name":"tcp://[::1]:7001","description":null,"serial":null},"job":"program",)"
             R"x("ok":false,"status":"cannot open: connection refused","reason":"connection-refused",)x" +
             R"("hint":")" + std::string(hintText(FailureReason::ConnectionRefused, PortPlace::Network)) +
             R"(","seconds":0.0,"extra_wait_ms":0.0,"extra_wait_seconds":0.0,"network":true,)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.port);
        EXPECT_EQ(ResultLog::line(loggedPort(row.port, known), row.record, identity, row.ended),
                  row.line + firmware + "\n");
    }
}

// The events, the records and `ports --json` name a port alike: what the
// system does not know is null, never "" or missing.
TEST(ResultLog, PortObjectHasOneShapeAndAnUnusedPortItsReason) {
    EXPECT_EQ(portJson({"ttyS0", {}, {}}).dump(), R"({"name":"ttyS0","description":null,"serial":null})");
    EXPECT_EQ(portJson({"COM3", "USB Serial Port", {}}).dump(),
              R"({"name":"COM3","description":"USB Serial Port","serial":null})");
    struct Case {
        OpenError error;
        bool waited;
        FailureReason reason;
    };
    const Case cases[] = {
        {OpenError::NotFound, false, FailureReason::NotFound},
        {OpenError::NotSerial, false, FailureReason::NotFound},
        {OpenError::NotFound, true, FailureReason::NeverAppeared},
        {OpenError::Busy, false, FailureReason::InUse},
        {OpenError::Busy, true, FailureReason::InUse},
        {OpenError::PermissionDenied, false, FailureReason::NoPermission},
        {OpenError::Other, false, FailureReason::NoPort},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reasonName(openReason(c.error, c.waited)), reasonName(c.reason)) << describe(c.error) << c.waited;
    }
    const JobRecord notRun = notRunRecord(JobKind::Program, FailureReason::NotStarted, "not run: interrupted");
    EXPECT_FALSE(notRun.succeeded());
    EXPECT_EQ(notRun.reason(), FailureReason::NotStarted);
}

// What the file holds after one record more: a last line without its break
// (torn, or edited by hand) gets one first. On Windows too, under Wine.
TEST(AppendFile, PutsEachRecordOnALineOfItsOwn) {
    struct Row {
        const char* what;
        const char* before;  // nullptr: no file yet
        const char* after;
    };
    const Row rows[] = {
        {"no file yet", nullptr, "{\"b\":2}\n"},
        {"empty", "", "{\"b\":2}\n"},
        {"whole lines", "{\"a\":1}\n", "{\"a\":1}\n{\"b\":2}\n"},
        {"torn last line", "{\"a\":1}\n{\"a\"", "{\"a\":1}\n{\"a\"\n{\"b\":2}\n"},
        {"edited by hand", "x", "x\n{\"b\":2}\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const test::TempDir dir;
        const auto path = dir / "bench.log";
        if (row.before) test::writeFile(path, row.before);
        std::string error;
        auto file = AppendFile::open(path.string(), error);
        ASSERT_TRUE(file) << error;
        EXPECT_TRUE(file->append("{\"b\":2}\n", error)) << error;
        file.reset();
        EXPECT_EQ(test::readFile(path), row.after);
    }
    // A directory is refused, and said to be one.
    const test::TempDir dir;
    std::string error;
    EXPECT_FALSE(AppendFile::open(dir.path().string(), error));
    EXPECT_EQ(error, "a directory, not a file; the log must be a regular file");
}

// Names Windows opens as a device in any folder and with any extension;
// the log refuses them before opening anything.
TEST(WindowsDeviceName, DevicesByNameAndFilesThatOnlyLookLikeThem) {
    struct Row {
        const char* path;
        const char* device;  // empty: a file
    };
    const Row rows[] = {
        {"COM2", "COM2, a serial port"},
        {"com2.txt", "COM2, a serial port"},
        {"C:\\bench\\Com9 .log", "COM9, a serial port"},
        {"COM0", "COM0, a serial port"},
        {"COM\xC2\xB9", "COM\xC2\xB9, a serial port"},
        {"\\\\.\\COM2", "COM2, a serial port"},
        {"\\\\.\\com12", "COM12, a serial port"},
        {"//./COM3", "COM3, a serial port"},
        {"\\\\?\\COM4", "COM4, a serial port"},
        {"NUL", "NUL, the null device"},
        {"nul:", "NUL, the null device"},
        {"D:nul", "NUL, the null device"},
        {"logs/nul.tar.gz", "NUL, the null device"},
        {"CON", "CON, the console"},
        {"conout$", "CONOUT$, the console"},
        {"LPT1", "LPT1, a printer port"},
        {"PRN.log", "PRN, a printer port"},
        {"aux", "AUX, a serial port"},
        {"\\\\.\\pipe\\bench", "a named pipe"},
        {"\\\\.\\PhysicalDrive0", "a device"},
        {"\\\\?\\GLOBALROOT\\Device\\Serial0", "a device"},
        {"\\\\.\\C:", "a device"},
        {"\\\\?\\C:\\bench\\nul", "NUL, the null device"},
        // Files, however close to a device's name.
        {"bench.log", ""},
        {"COM10", ""},
        {"COM", ""},
        {"LPT", ""},
        {"console.log", ""},
        {"com2x.txt", ""},
        {"C:\\COM2\\bench.log", ""},
        {"\\\\?\\C:\\bench\\bench.log", ""},
        {"\\\\?\\UNC\\server\\share\\bench.log", ""},
        {"\\\\server\\share\\bench.log", ""},
        {"/srv/bench/qelisp.log", ""},
    };
    for (const Row& row : rows) EXPECT_EQ(windowsDeviceName(row.path), row.device) << row.path;
}

}  // namespace
}  // namespace qelisp::cli
