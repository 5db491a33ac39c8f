// qelisp-mkimage run as the build runs it: outputs on success, the file:line
// message and exit status 1 on bad input, and never a new, partial or
// half-committed output when it fails, is refused or is ended by a signal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "generated_source.h"
#include "hex_text.h"
#include "image/firmware_image.h"
#include "image/mkimage/hex_file.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace qelisp {
namespace {

namespace fs = std::filesystem;
using test::HexText;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct RunResult {
    int status = -1;
    std::string errors;  // what the tool wrote to stderr
};

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// An endless input must not grow the tool's memory: bounding its address
// space makes a regression fail here rather than exhaust the machine.
// Sanitizer builds reserve terabytes of address space and go unbounded.
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr const char* kMemoryBound = "";
#else
constexpr const char* kMemoryBound = "ulimit -v 1000000 && ";
#endif

RunResult runTool(const TempDir& dir, const std::string& arguments) {
    fs::path errors = dir / "stderr.txt";
    std::string command = kMemoryBound + quoted(QELISP_MKIMAGE_PATH) + " " + arguments + " 2>" + quoted(errors);
#ifdef _WIN32
    command = "\"" + command + "\"";  // cmd.exe strips one outer pair of quotes
#endif
    int raw = std::system(command.c_str());
    RunResult result;
#ifdef _WIN32
    result.status = raw;
#else
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    result.errors = readFile(errors);
    return result;
}

std::string goodHex() {
    HexText hex;
    hex.data(0x0000, {0x01, 0x02}).data(0x3000, {0xAA, 0xBB, 0xCC}).linear(0x0007).data(0x2080, {0x77}).end();
    return hex.str();
}

std::string arguments(const TempDir& dir, const std::string& model = "QX-T", const fs::path& hex = "fw.hex",
                      const fs::path& binary = "image.bin", const fs::path& output = "image.cpp") {
    return "--hex " + quoted(dir.path() / hex) + " --model " + model + " --version 2010.06.29 --output " +
           quoted(dir.path() / output) + " --binary " + quoted(dir.path() / binary);
}

// Nothing but the hex file, the captured stderr and `kept` may be in `dir`.
void expectNoOutputs(const TempDir& dir, std::vector<std::string> kept = {}) {
    kept.insert(kept.end(), {"fw.hex", "stderr.txt"});
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        std::string name = entry.path().filename().string();
        EXPECT_NE(std::find(kept.begin(), kept.end(), name), kept.end()) << "left behind: " << name;
    }
}

TEST(MkimageToolTest, WritesSourceAndBinaryOfTheSameBlock) {
    TempDir dir;
    writeFile(dir / "fw.hex", goodHex());
    writeFile(dir / "image.cpp", "old");  // replaced
    RunResult run = runTool(dir, arguments(dir));
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "");

    std::string binary = readFile(dir / "image.bin");
    ASSERT_EQ(binary.size(), kImageSize);
    std::vector<std::uint8_t> block(binary.begin(), binary.end());
    FirmwareImage image{std::span<const std::uint8_t, kImageSize>(block)};
    EXPECT_EQ(image.model(), "QX-T           ");
    EXPECT_EQ(image.version(), "2010.06.29     ");
    EXPECT_EQ(image.findStartRecord(), 1u);
    EXPECT_EQ(image.record(2).blockNumber(), 0x0E41);
    EXPECT_EQ(image.record(2).data()[0], 0x77);
    EXPECT_TRUE(image.record(3).isEndMarker());

    std::string source = readFile(dir / "image.cpp");
    EXPECT_NE(source.find("#include \"image/firmware_image.h\""), std::string::npos);
    EXPECT_NE(source.find("const FirmwareImage& embeddedImage()"), std::string::npos);
    EXPECT_NE(source.find("Firmware fw.hex, model \"QX-T\", version \"2010.06.29\", 3 records."), std::string::npos);
    EXPECT_EQ(test::generatedBytes(source), block);

    EXPECT_FALSE(fs::exists(dir / "image.cpp.tmp"));
    EXPECT_FALSE(fs::exists(dir / "image.bin.tmp"));
}

TEST(MkimageToolTest, BadInputIsNamedWithFileAndLineAndWritesNothing) {
    enum Input { kText, kDirectory, kDevZero };
    struct Case {
        std::string hex;  // empty: no file at all
        std::string model;
        std::string message;  // after "qelisp-mkimage: "; FILE stands for the hex file
        Input input = kText;
    };
    std::string oversized = goodHex();  // valid, then blank lines past the size bound
    oversized.resize(kMaxHexFileSize + 1, '\n');
    const std::string tooLarge =
        "FILE: more than 32 MiB; an Intel HEX file for the 1 MB device needs far less (about 2.9 MB when full), "
        "so this is not a firmware file";
    const Case cases[] = {
        {HexText().data(0x3000, {0x01}).raw(":0130010002CB").end().str(), "QX-T",
         "FILE:2: bad checksum: the line has 0xCB, its bytes need 0xCC"},
        {HexText()
             .data(0x3000, {1})
             .data(0x3001, {2})
             .raw(test::hexRecord(0x06, 0, std::vector<std::uint8_t>(4)))
             .end()
             .str(),
         "QX-T", "FILE:3: unsupported record type 06 (only 00 to 05 are read)"},
        {HexText().data(0x0000, {0x01}).data(0x3001, {0x02}).end().str(), "QX-T",
         "FILE: no data at device address 0x03000, where the program starts writing"},
        {":01300000428D\n", "QX-T", "FILE: no end-of-file record (type 01)"},
        {goodHex(), "QX-1234567890ABC", "--model: \"QX-1234567890ABC\" is 16 characters long; 1 to 15 fit"},
        {"", "QX-T", "FILE: cannot read the file"},
        {":01300000428D\r:00000001FF\r", "QX-T",
         "FILE:1: malformed line: the file uses CR-only line ends; use LF or CR LF"},
        {"", "QX-T", "FILE: is a directory, not an Intel HEX file", kDirectory},
        {oversized, "QX-T", tooLarge},
        {"", "QX-T", tooLarge, kDevZero},  // endless
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        TempDir dir;
        if (!c.hex.empty()) writeFile(dir / "fw.hex", c.hex);
        if (c.input == kDirectory) fs::create_directory(dir / "fw.hex");
        const fs::path hex = c.input == kDevZero ? "/dev/zero" : dir / "fw.hex";
        RunResult run = runTool(dir, arguments(dir, c.model, hex));
        EXPECT_EQ(run.status, 1);
        std::string message = c.message;
        if (message.rfind("FILE", 0) == 0) message.replace(0, 4, hex.string());
        EXPECT_EQ(run.errors, "qelisp-mkimage: " + message + "\n");
        expectNoOutputs(dir);
    }
}

// What a case puts at the name "made" before the run.
enum class Made { kNothing, kSymlinkToHex, kHardLinkToHex, kSymlinkToFreshPath, kFifo, kDevice };

struct OutputCase {
    fs::path binary;
    bool earlierSource;   // image.cpp holds an earlier good output
    std::string message;  // part of its first line; MADE stands for dir/made
    int status = 1;
    fs::path output = "image.cpp";
    Made made = Made::kNothing;
};

const std::string kSameAsHex = " and --hex name the same file";
const std::string kNotRegular = "; qelisp-mkimage only writes regular files";

// Runs one case: its exit status and message, and every file as it was.
// Returns why `made` cannot be made on this machine, or "".
std::string runOutputCase(const OutputCase& c) {
    TempDir dir;
    writeFile(dir / "fw.hex", goodHex());
    fs::create_directory(dir / "bin-dir");
    if (c.earlierSource) writeFile(dir / "image.cpp", "earlier good output");
    const fs::path made = dir / "made";
    switch (c.made) {
        case Made::kNothing: break;
        case Made::kSymlinkToHex: fs::create_symlink("fw.hex", made); break;
        case Made::kHardLinkToHex: fs::create_hard_link(dir / "fw.hex", made); break;
        case Made::kSymlinkToFreshPath: fs::create_symlink("fresh", made); break;
#ifndef _WIN32
        case Made::kFifo:
            if (mkfifo(made.c_str(), 0644) != 0) return std::string("mkfifo: ") + std::strerror(errno);
            break;
        case Made::kDevice:
            // A node of its own with /dev/null's numbers: a fault in the tool
            // must not cost the machine its /dev/null.
            if (mknod(made.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
                return std::string("mknod: ") + std::strerror(errno);
            }
            break;
#endif
        default: return "not on this system";
    }
    const fs::file_type madeType = fs::symlink_status(made).type();

    RunResult run = runTool(dir, arguments(dir, "M", "fw.hex", c.binary, c.output));
    EXPECT_EQ(run.status, c.status);
    std::string message = c.message;
    if (std::size_t at = message.find("MADE"); at != std::string::npos) message.replace(at, 4, made.string());
    EXPECT_NE(run.errors.substr(0, run.errors.find('\n')).find(message), std::string::npos) << run.errors;
    EXPECT_TRUE(readFile(dir / "fw.hex") == goodHex()) << "the firmware was changed";
    if (c.earlierSource) {
        EXPECT_TRUE(readFile(dir / "image.cpp") == "earlier good output") << "replaced";
    }
    EXPECT_EQ(fs::symlink_status(made).type(), madeType) << "replaced";
    if (c.made == Made::kSymlinkToHex || c.made == Made::kHardLinkToHex) {
        EXPECT_TRUE(fs::equivalent(made, dir / "fw.hex")) << "no longer the firmware";
    }
    expectNoOutputs(dir, {"bin-dir", c.earlierSource ? "image.cpp" : "", c.made != Made::kNothing ? "made" : ""});
    EXPECT_TRUE(fs::is_empty(dir / "bin-dir"));
    return "";
}

TEST(MkimageToolTest, AnOutputThatFailsOrIsRefusedLeavesEveryFileAsItWas) {
    const OutputCase cases[] = {
        {fs::path("missing") / "image.bin", true, "cannot write"},  // fails while writing
        {"bin-dir", true, "no output was changed"},                 // fails while renaming, after image.cpp
        {"bin-dir", false, "no output was changed"},
        // The firmware itself, by any name: a usage error.
        {"fw.hex", true, "--binary" + kSameAsHex, 2},
        {fs::path(".") / "fw.hex", true, "--binary" + kSameAsHex, 2},
        {"made", true, "--binary" + kSameAsHex, 2, "image.cpp", Made::kSymlinkToHex},
        {"made", true, "--binary" + kSameAsHex, 2, "image.cpp", Made::kHardLinkToHex},
        {"image.bin", false, "--output" + kSameAsHex, 2, "fw.hex"},
        {"image.bin", false, "--output" + kSameAsHex, 2, fs::path(".") / "fw.hex"},
        {"image.bin", false, "--output" + kSameAsHex, 2, "made", Made::kSymlinkToHex},
        {"image.bin", false, "--output" + kSameAsHex, 2, "made", Made::kHardLinkToHex},
        // Anything but a regular file at an output's name stays what it is.
        {"made", true, "--binary MADE is a symbolic link" + kNotRegular, 1, "image.cpp", Made::kSymlinkToFreshPath},
#ifndef _WIN32
        {"image.bin", false, "--output MADE is a FIFO" + kNotRegular, 1, "made", Made::kFifo},
#endif
    };
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.message + " (--output " + c.output.string() + ", --binary " + c.binary.string() + ")");
        EXPECT_EQ(runOutputCase(c), "");
    }
}

// The table's case that needs root, on its own so that only it is skipped.
TEST(MkimageToolTest, ADeviceNodeOutputStaysADevice) {
#ifndef _WIN32
    if (geteuid() != 0) GTEST_SKIP() << "only root can make the device node this case needs";
#endif
    const std::string why = runOutputCase(
        {"image.bin", false, "--output MADE is a character device" + kNotRegular, 1, "made", Made::kDevice});
    if (!why.empty()) GTEST_SKIP() << "no device node: " << why;
}

TEST(MkimageToolTest, FilesAtFormerTemporaryNamesAreNeitherWrittenThroughNorReplaced) {
    TempDir dir;
    writeFile(dir / "fw.hex", goodHex());
    writeFile(dir / "victim", "not ours");
    fs::create_symlink("victim", dir / "image.bin.tmp");
    writeFile(dir / "image.cpp.tmp", "not ours either");
    RunResult run = runTool(dir, arguments(dir));
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_TRUE(readFile(dir / "victim") == "not ours") << "written through the symlink";
    EXPECT_TRUE(readFile(dir / "image.cpp.tmp") == "not ours either") << "overwritten";
    EXPECT_TRUE(fs::is_symlink(dir / "image.bin.tmp"));
    EXPECT_FALSE(fs::is_symlink(dir / "image.bin"));
    EXPECT_EQ(readFile(dir / "image.bin").size(), kImageSize);
    expectNoOutputs(dir, {"victim", "image.bin.tmp", "image.cpp.tmp", "image.cpp", "image.bin"});
}

#ifndef _WIN32
// The temporary files in `dir` and how many bytes they hold together.
std::pair<int, std::uintmax_t> temporaryFilesIn(const TempDir& dir) {
    std::pair<int, std::uintmax_t> found{0, 0};
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().extension() != ".tmp") continue;
        ++found.first;
        std::error_code gone;
        const std::uintmax_t size = entry.file_size(gone);
        if (!gone) found.second += size;
    }
    return found;
}

// ptrace's last argument, which the call reads as a pointer.
void* ptraceData(long value) { return reinterpret_cast<void*>(value); }

// The tool is traced and stopped at each system call until the files it has
// made are as a case wants them; there it gets the signal. Stopped between
// two calls, it cannot run ahead of the test, however busy the machine is.
TEST(MkimageToolTest, ASignalRemovesTheTemporaryFilesAndEndsTheRunAsItWould) {
    struct Case {
        int signal;
        int temporaries;  // stopped once there are this many temporary files ...
        bool written;     // ... and they hold data, outside the steps that hold signals back
        bool earlier;     // image.cpp and image.bin hold earlier outputs
        bool committed;   // the third file is the commit's: the signal waits for the renames
    };
    const Case cases[] = {
        {SIGINT, 1, false, false, false},  // the source's file, just made: it is listed before the signal acts
        {SIGHUP, 1, true, true, false},    // the source's file written
        {SIGTERM, 2, false, false, false},
        {SIGTERM, 3, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("signal " + std::to_string(c.signal) + " at " + std::to_string(c.temporaries) +
                     (c.written ? " written" : "") + " temporary files");
        TempDir dir;
        writeFile(dir / "fw.hex", goodHex());
        if (c.earlier) {
            writeFile(dir / "image.cpp", "earlier source");
            writeFile(dir / "image.bin", "earlier binary");
        }
        std::vector<std::string> args = {QELISP_MKIMAGE_PATH,
                                         "--hex",
                                         (dir / "fw.hex").string(),
                                         "--model",
                                         "M",
                                         "--version",
                                         "V",
                                         "--output",
                                         (dir / "image.cpp").string(),
                                         "--binary",
                                         (dir / "image.bin").string()};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);

        const pid_t pid = fork();
        ASSERT_GE(pid, 0) << std::strerror(errno);
        if (pid == 0) {
            for (int number : {SIGINT, SIGTERM, SIGHUP}) signal(number, SIG_DFL);
            if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(126);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);  // stopped at the exec
        if (WIFEXITED(status) && WEXITSTATUS(status) == 126) {
            GTEST_SKIP() << "this machine does not let a test trace its child";
        }
        ASSERT_TRUE(WIFSTOPPED(status)) << "the tool did not start: status " << status;
        ptrace(PTRACE_SETOPTIONS, pid, nullptr, ptraceData(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL));
        int pass = 0;  // a signal the tool received meanwhile goes on to it
        for (;;) {
            ptrace(PTRACE_SYSCALL, pid, nullptr, ptraceData(pass));
            waitpid(pid, &status, 0);
            if (!WIFSTOPPED(status)) break;
            pass = WSTOPSIG(status) == (SIGTRAP | 0x80) ? 0 : WSTOPSIG(status);
            const auto [count, bytes] = temporaryFilesIn(dir);
            if (count >= c.temporaries && (!c.written || bytes > 0)) break;
        }
        ASSERT_TRUE(WIFSTOPPED(status)) << "the run ended before it was caught";
        kill(pid, c.signal);
        ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
        waitpid(pid, &status, 0);

        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
        if (c.committed) {
            const std::string binary = readFile(dir / "image.bin");
            EXPECT_EQ(binary.size(), kImageSize);
            EXPECT_EQ(test::generatedBytes(readFile(dir / "image.cpp")),
                      std::vector<std::uint8_t>(binary.begin(), binary.end()));
        } else if (c.earlier) {
            EXPECT_TRUE(readFile(dir / "image.cpp") == "earlier source") << "replaced";
            EXPECT_TRUE(readFile(dir / "image.bin") == "earlier binary") << "replaced";
        }
        expectNoOutputs(dir,
                        c.earlier ? std::vector<std::string>{"image.cpp", "image.bin"} : std::vector<std::string>{});
    }
}
#endif

TEST(MkimageToolTest, UsageErrorsExitWithTwoAndHelpWithZero) {
    TempDir dir;
    RunResult none = runTool(dir, "");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.errors.find("qelisp-mkimage: --hex is required"), std::string::npos) << none.errors;
    EXPECT_NE(none.errors.find("usage: qelisp-mkimage"), std::string::npos);

    RunResult unknown = runTool(dir, arguments(dir) + " --fast");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.errors.find("unknown argument '--fast'"), std::string::npos) << unknown.errors;
    EXPECT_FALSE(fs::exists(dir / "image.cpp"));

    writeFile(dir / "fw.hex", goodHex());
    writeFile(dir / "image.cpp", "earlier");
    RunResult same = runTool(dir, arguments(dir, "M", "fw.hex", fs::path(".") / "image.cpp"));
    EXPECT_EQ(same.status, 2);
    EXPECT_NE(same.errors.find("--output and --binary name the same file"), std::string::npos) << same.errors;
    EXPECT_TRUE(readFile(dir / "image.cpp") == "earlier") << "replaced";

    EXPECT_EQ(runTool(dir, "--help > " + quoted(dir / "help.txt")).status, 0);
    EXPECT_NE(readFile(dir / "help.txt").find("--binary FILE"), std::string::npos);
}

}  // namespace
}  // namespace qelisp
