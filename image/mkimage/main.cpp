// qelisp-mkimage: builds the program's firmware image block from an Intel HEX
// file at build time. Exit status 0 on success, 1 when the input cannot be
// made into an image or an output cannot be written, 2 on a usage error.
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "image/mkimage/cpp_writer.h"
#include "image/mkimage/image_builder.h"
#include "image/mkimage/intel_hex_reader.h"
#include "image/mkimage/staged_file.h"
#include "image/mkimage/tool_options.h"

namespace {

using namespace qelisp;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int fail(const std::string& message) {
    std::fprintf(stderr, "qelisp-mkimage: %s\n", message.c_str());
    return kFailed;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(text).str();
}

std::size_t recordCount(const std::vector<std::uint8_t>& block) {
    std::size_t count = 0;
    FirmwareImage(std::span<const std::uint8_t, kImageSize>(block)).walk(0, [&](const ImageRecord&) {
        ++count;
        return true;
    });
    return count;
}

std::string baseName(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int run(const ToolOptions& options) {
    if (auto problem = checkTexts(options)) return fail(*problem);

    std::optional<std::string> hex = readFile(options.hexPath);
    if (!hex) return fail(options.hexPath + ": cannot read the file");

    std::vector<std::uint8_t> block;
    try {
        DeviceMemory memory = readIntelHex(*hex);
        block = buildImage(memory, {options.marker, options.model, options.version});
    } catch (const InputError& error) {
        std::string where = options.hexPath;
        if (error.line() != InputError::kWholeFile) where += ":" + std::to_string(error.line());
        return fail(where + ": " + error.what());
    }

    try {
        // Everything is staged before anything is committed, so a failure
        // writing one output leaves the others untouched too.
        std::vector<std::unique_ptr<StagedFile>> staged;
        if (!options.outputPath.empty()) {
            std::string note = "Firmware " + baseName(options.hexPath) + ", model \"" + options.model +
                               "\", version \"" + options.version + "\", " + std::to_string(recordCount(block)) +
                               " records.";
            staged.push_back(std::make_unique<StagedFile>(
                options.outputPath, writeImageSource(std::span<const std::uint8_t, kImageSize>(block), note)));
        }
        if (!options.binaryPath.empty()) {
            std::string_view raw(reinterpret_cast<const char*>(block.data()), block.size());
            staged.push_back(std::make_unique<StagedFile>(options.binaryPath, raw));
        }
        for (auto& file : staged) file->commit();
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    ParsedOptions parsed = parseToolOptions(args);
    if (parsed.help) {
        std::fputs(kToolUsage, stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "qelisp-mkimage: %s\n%s", parsed.error.c_str(), kToolUsage);
        return kUsage;
    }
    try {
        return run(*parsed.options);
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}
