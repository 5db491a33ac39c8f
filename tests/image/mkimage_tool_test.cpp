// qelisp-mkimage run as the build runs it: outputs on success, the file:line
// message and exit status 1 on bad input, and never a new output file when
// it fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "generated_source.h"
#include "hex_text.h"
#include "image/firmware_image.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/wait.h>
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

RunResult runTool(const TempDir& dir, const std::string& arguments) {
    fs::path errors = dir / "stderr.txt";
    std::string command = quoted(QELISP_MKIMAGE_PATH) + " " + arguments + " 2>" + quoted(errors);
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

std::string arguments(const TempDir& dir, const std::string& model = "QX-T") {
    return "--hex " + quoted(dir / "fw.hex") + " --model " + model + " --version 2010.06.29 --output " +
           quoted(dir / "image.cpp") + " --binary " + quoted(dir / "image.bin");
}

// Nothing but the hex file, the captured stderr and `kept` may be in `dir`.
void expectNoOutputs(const TempDir& dir, const std::string& kept = "fw.hex") {
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "fw.hex" || name == "stderr.txt" || name == kept) << "left behind: " << name;
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
    struct Case {
        std::string hex;  // empty: no file at all
        std::string model;
        std::string message;  // after "qelisp-mkimage: "; FILE stands for the hex file
    };
    const Case cases[] = {
        {HexText().data(0x3000, {0x01}).raw(":0130010002CB").end().str(), "QX-T",
         "FILE:2: bad checksum: the line has 0xCB, its bytes need 0xCC"},
        {HexText().data(0x3000, {1}).data(0x3001, {2}).raw(test::hexRecord(0x05, 0, std::vector<std::uint8_t>(4)))
             .end().str(),
         "QX-T", "FILE:3: unsupported record type 05 (only 00, 01, 02 and 04 are read)"},
        {HexText().data(0x0000, {0x01}).data(0x3001, {0x02}).end().str(), "QX-T",
         "FILE: no data at device address 0x03000, where the program starts writing"},
        {":01300000428D\n", "QX-T", "FILE: no end-of-file record (type 01)"},
        {goodHex(), "QX-1234567890ABC", "--model: \"QX-1234567890ABC\" is 16 characters long; 1 to 15 fit"},
        {"", "QX-T", "FILE: cannot read the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        TempDir dir;
        if (!c.hex.empty()) writeFile(dir / "fw.hex", c.hex);
        RunResult run = runTool(dir, arguments(dir, c.model));
        EXPECT_EQ(run.status, 1);
        std::string message = c.message;
        if (message.rfind("FILE", 0) == 0) message.replace(0, 4, (dir / "fw.hex").string());
        EXPECT_EQ(run.errors, "qelisp-mkimage: " + message + "\n");
        expectNoOutputs(dir);
    }
}

TEST(MkimageToolTest, UnwritableOutputCommitsNothing) {
    TempDir dir;
    writeFile(dir / "fw.hex", goodHex());
    writeFile(dir / "image.cpp", "earlier good output");
    // The source is staged first; the binary then fails, and the staged
    // source must go without replacing the earlier one.
    std::string args = "--hex " + quoted(dir / "fw.hex") + " --model M --version V --output " +
                       quoted(dir / "image.cpp") + " --binary " + quoted(dir / "missing" / "image.bin");
    RunResult run = runTool(dir, args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("cannot write"), std::string::npos) << run.errors;
    EXPECT_EQ(readFile(dir / "image.cpp"), "earlier good output");
    expectNoOutputs(dir, "image.cpp");
}

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

    EXPECT_EQ(runTool(dir, "--help > " + quoted(dir / "help.txt")).status, 0);
    EXPECT_NE(readFile(dir / "help.txt").find("--binary FILE"), std::string::npos);
}

}  // namespace
}  // namespace qelisp
