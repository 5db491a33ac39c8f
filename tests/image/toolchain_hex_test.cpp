// HEX files as makers' toolchains write them: GNU objcopy (extended segment
// records, a start record 03 or 05, CR LF) and srec_cat (extended linear
// records, start record 05, LF), made here from one binary. Read back, they
// must give exactly the binary's bytes at its load address and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/mkimage/hex_file.h"
#include "image/mkimage/intel_hex_reader.h"
#include "tests/support/temp_dir.h"

namespace qelisp {
namespace {

using test::TempDir;

constexpr std::uint32_t kLoadAddress = 0x3000;
constexpr std::uint32_t kSize = 0x14000;  // crosses two 64 KB windows

std::string firmwareBinary() {
    std::string bytes(kSize, '\0');
    std::uint32_t state = 0x2545F491;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state >> 24);
    }
    std::fill_n(bytes.begin() + 0x100, 0x40, '\xFF');  // erased-looking bytes are data too
    return bytes;
}

TEST(ToolchainHexTest, ObjcopyAndSrecCatFilesGiveTheBinaryBack) {
    if (std::string(QELISP_OBJCOPY_PATH).empty() || std::string(QELISP_SREC_CAT_PATH).empty()) {
        GTEST_SKIP() << "objcopy or srec_cat was not found when configuring (scripts/setup installs them)";
    }
    TempDir dir;
    const std::string binary = firmwareBinary();
    test::writeFile(dir / "fw.bin", binary);
    // Built by appending: GCC 12 warns falsely (array-bounds) on sums of
    // literals and strings whose lengths it can see.
    auto quotedPath = [](const std::string& path) {
        std::string text = "\"";
        text += path;
        text += '"';
        return text;
    };
    auto quoted = [&](const std::string& name) { return quotedPath((dir / name).string()); };
    auto objcopy = [&](const char* start, const char* out) {
        std::string command = quotedPath(QELISP_OBJCOPY_PATH);
        command += " -I binary -O ihex --change-addresses 0x3000 --set-start ";
        command += start;
        command += ' ' + quoted("fw.bin") + ' ' + quoted(out);
        return command;
    };
    auto srecCat = [&](const char* out) {
        std::string command = quotedPath(QELISP_SREC_CAT_PATH);
        command += ' ' + quoted("fw.bin");
        command += " -binary -offset 0x3000 -execution-start-address 0x3000 -o ";
        command += quoted(out) + " -intel";
        return command;
    };

    struct Case {
        std::string name;
        std::string command;
        std::vector<std::string> holds;  // what the file must hold, so the case tests what it says
        bool lowerCase = false;
    };
    const Case cases[] = {
        {"objcopy-03.hex", objcopy("0x3000", "objcopy-03.hex"), {":04000003", ":02000002", "\r\n"}},
        {"objcopy-05.hex", objcopy("0x08000000", "objcopy-05.hex"), {":04000005", ":02000002"}},
        {"srec-cat.hex", srecCat("srec-cat.hex"), {":04000005", ":02000004"}},
        {"srec-cat-lower.hex", srecCat("srec-cat-lower.hex"), {":04000005", ":02000004", "ff"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(std::system(c.command.c_str()), 0) << c.command;
        std::string text = readHexFile((dir / c.name).string());
        if (c.lowerCase) {
            std::transform(text.begin(), text.end(), text.begin(),
                           [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        }
        for (const std::string& piece : c.holds) EXPECT_NE(text.find(piece), std::string::npos) << piece;

        DeviceMemory memory;
        try {
            memory = readIntelHex(text);
        } catch (const InputError& error) {
            ADD_FAILURE() << "line " << error.line() << ": " << error.what();
            continue;
        }
        std::size_t wrong = 0;
        for (std::uint32_t i = 0; i < kSize; ++i) {
            const std::uint32_t address = kLoadAddress + i;
            if (!memory.isGiven(address) || memory.at(address) != static_cast<std::uint8_t>(binary[i])) ++wrong;
        }
        EXPECT_EQ(wrong, 0u);
        EXPECT_FALSE(memory.isGiven(kLoadAddress - 1));
        EXPECT_FALSE(memory.isGiven(kLoadAddress + kSize));
    }
}

}  // namespace
}  // namespace qelisp
