// qelisp-mkimage run whole on arbitrary HEX files. Whatever the input, the
// tool either writes a complete, valid image (both outputs) or refuses with
// one line naming the file and the line at fault (or the whole file, for the
// faults no single line causes), and it never leaves an output changed,
// partial or a temporary file behind when it fails. Each input also picks,
// by its length, what surrounds the outputs: earlier outputs, a directory
// where the binary goes, or no folder for the source. A property violation
// aborts, so libFuzzer keeps the input.
//
// Random changes to a line almost never keep its checksum right, so nearly
// every input would stop at "bad checksum". Three mutations in four
// therefore get the checksum of every record line repaired, which lets the
// fuzzer explore addresses, types and data; the fourth keeps the checksum
// check itself under test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/firmware_image.h"
#include "image/mkimage/device_memory.h"
#include "image/mkimage/image_builder.h"
#include "image/mkimage/run_mkimage.h"
#include "protocol/hex_line.h"
#include "tests/image/generated_source.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace qelisp;

constexpr std::string_view kModel = "QX-T";
constexpr std::string_view kVersion = "2010.06.29";

enum class Surroundings { Fresh, EarlierOutputs, BinaryIsADirectory, NoSourceFolder };

void require(bool holds, const char* property, const std::string& detail = "") {
    if (holds) return;
    std::fprintf(stderr, "fuzz_mkimage: %s\n%s\n", property, detail.c_str());
    std::abort();
}

std::string readWhole(const fs::path& path) { return test::readFile(path); }

// Every entry below `dir` with its contents, so a failed run can be shown to
// have changed nothing.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        entries[name] = entry.is_symlink() ? "<symlink>" : entry.is_directory() ? "<directory>" : readWhole(entry);
    }
    return entries;
}

std::string names(const std::map<std::string, std::string>& entries) {
    std::string list;
    for (const auto& [name, contents] : entries) list += name + " ";
    return list;
}

void requireField(std::span<const std::uint8_t> field, std::string_view text, const char* property) {
    std::string expected(text);
    expected.resize(kTextLength, ' ');
    expected.push_back('\0');
    require(std::equal(field.begin(), field.end(), expected.begin(), expected.end()), property);
}

// Marker, texts, records ascending inside the device, the start block among
// them, the end marker, 0xFF after it; the source says the same bytes.
void requireValidImage(const std::string& binary, const std::string& source) {
    require(binary.size() == kImageSize, "the binary is not exactly the image size",
            std::to_string(binary.size()) + " bytes");
    std::span<const std::uint8_t> block(reinterpret_cast<const std::uint8_t*>(binary.data()), binary.size());
    require(std::equal(kDefaultMarker.begin(), kDefaultMarker.end(), block.begin()), "marker");
    requireField(block.subspan(kModelOffset, kTextFieldSize), kModel, "model field");
    requireField(block.subspan(kVersionOffset, kTextFieldSize), kVersion, "version field");

    std::size_t slot = 0;
    int previous = -1;
    bool start = false;
    for (; slot < kRecordSlots; ++slot) {
        ImageRecord record(block.subspan(kTableOffset + slot * kRecordSize).first<kRecordSize>());
        if (record.isEndMarker()) break;
        require(record.blockNumber() < kDeviceBlocks, "a record outside the device", std::to_string(slot));
        require(record.blockNumber() > previous, "records not ascending", std::to_string(slot));
        previous = record.blockNumber();
        start = start || record.blockNumber() == kStartBlock;
    }
    require(slot <= kMaxRecords, "no end marker");
    require(start, "no record for the start block");
    const auto rest = block.subspan(kTableOffset + slot * kRecordSize);
    require(std::all_of(rest.begin(), rest.end(), [](std::uint8_t b) { return b == 0xFF; }),
            "bytes other than 0xFF from the end marker on");

    const auto generated = test::generatedBytes(source);
    require(generated && std::ranges::equal(*generated, block), "the source does not hold the binary's bytes");
    require(source.ends_with("}  // namespace qelisp\n"), "the source is incomplete");
}

// "qelisp-mkimage: <hex>:<line>: <reason>" with a line the input has, or
// "qelisp-mkimage: <hex>: <reason>" for a fault of the whole file; or, where
// the surroundings make an output fail, that failure.
void requireRefusal(const std::string& errors, const std::string& hexPath, std::string_view input,
                    Surroundings surroundings) {
    require(errors.ends_with('\n') && errors.find('\n') == errors.size() - 1, "the refusal is not one line", errors);
    require(std::all_of(errors.begin(), errors.end() - 1, [](char c) { return c >= 0x20 && c < 0x7F; }),
            "the refusal holds unprintable characters", errors);
    const std::string tool = "qelisp-mkimage: ";
    if (errors.starts_with(tool + "cannot ")) {
        require(surroundings == Surroundings::BinaryIsADirectory || surroundings == Surroundings::NoSourceFolder,
                "an output failed where both can be written", errors);
        return;
    }
    require(errors.starts_with(tool + hexPath), "the refusal does not name the file", errors);
    std::string_view rest = std::string_view(errors).substr(tool.size() + hexPath.size());
    if (rest.starts_with(':') && rest.size() > 1 && rest[1] >= '1' && rest[1] <= '9') {
        const std::size_t digits = rest.find_first_not_of("0123456789", 1);
        const std::size_t line = std::stoul(std::string(rest.substr(1, digits - 1)));
        const std::size_t lines = static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n')) + 1;
        require(line <= lines, "the refusal names a line the file does not have", errors);
        require(rest.substr(digits).starts_with(": ") && rest.size() > digits + 3, "no reason given", errors);
        return;
    }
    const std::string_view wholeFile[] = {": no end-of-file record", ": no data at device address 0x03000",
                                          ": data in "};
    require(std::any_of(std::begin(wholeFile), std::end(wholeFile),
                        [&](std::string_view reason) { return rest.starts_with(reason); }),
            "a refusal that names no line and no fault of the whole file", errors);
}

// Rewrites the last two digits of each ':' line of hex digits (count,
// address, type, data, checksum) as the checksum of the others.
void repairChecksums(std::span<std::uint8_t> text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        const auto line = text.subspan(start, end - start);
        start = end + 1;
        if (line.size() < 11 || line[0] != ':' || line.size() % 2 == 0) continue;
        const bool digits = std::all_of(line.begin() + 1, line.end(),
                                        [](std::uint8_t c) { return hexDigitValue(static_cast<char>(c)) >= 0; });
        if (!digits) continue;
        std::uint8_t sum = 0;
        for (std::size_t i = 1; i + 2 < line.size(); i += 2) {
            sum = static_cast<std::uint8_t>(sum + (hexDigitValue(static_cast<char>(line[i])) << 4) +
                                            hexDigitValue(static_cast<char>(line[i + 1])));
        }
        const auto checksum = static_cast<std::uint8_t>(-sum);
        line[line.size() - 2] = static_cast<std::uint8_t>(kHexDigits[checksum >> 4]);
        line[line.size() - 1] = static_cast<std::uint8_t>(kHexDigits[checksum & 0x0F]);
    }
}

}  // namespace

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (seed % 4 != 0) repairChecksums(std::span(data, size));
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const test::TempDir scratch;
    const fs::path& dir = scratch.path();
    fs::remove_all(dir);
    fs::create_directory(dir);

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string hexPath = (dir / "fw.hex").string();
    test::writeFile(hexPath, input);
    fs::path source = dir / "image.cpp";
    const fs::path binary = dir / "image.bin";
    const auto surroundings = static_cast<Surroundings>(size % 4);
    switch (surroundings) {
        case Surroundings::Fresh: break;
        case Surroundings::EarlierOutputs:
            test::writeFile(source, "earlier source");
            test::writeFile(binary, "earlier binary");
            break;
        case Surroundings::BinaryIsADirectory:
            test::writeFile(source, "earlier source");
            fs::create_directory(binary);
            break;
        case Surroundings::NoSourceFolder: source = dir / "missing" / "image.cpp"; break;
    }
    const auto before = snapshot(dir);

    const std::string sourceArg = source.string();
    const std::string binaryArg = binary.string();
    const std::string_view args[] = {"--hex",  hexPath,    "--model", kModel,     "--version",
                                     kVersion, "--output", sourceArg, "--binary", binaryArg};
    const MkimageRun run = runMkimage(args);
    auto after = snapshot(dir);

    if (run.status == 0) {
        require(surroundings == Surroundings::Fresh || surroundings == Surroundings::EarlierOutputs,
                "a success although an output cannot be written");
        require(run.errors.empty(), "a success with a message", run.errors);
        requireValidImage(readWhole(binary), readWhole(source));
        auto expected = before;
        expected["image.cpp"] = after["image.cpp"];
        expected["image.bin"] = after["image.bin"];
        require(after == expected, "a success that left other files", names(before) + "-> " + names(after));
    } else {
        require(run.status == 1, "an exit status other than 0 or 1", std::to_string(run.status) + " " + run.errors);
        requireRefusal(run.errors, hexPath, input, surroundings);
        require(after == before, "a failed run changed or left files", names(before) + "-> " + names(after));
    }
    return 0;
}
