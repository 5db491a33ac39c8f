#include "image/mkimage/run_mkimage.h"

#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "image/mkimage/cpp_writer.h"
#include "image/mkimage/hex_file.h"
#include "image/mkimage/image_builder.h"
#include "image/mkimage/intel_hex_reader.h"
#include "image/mkimage/regular_output.h"
#include "image/mkimage/staged_outputs.h"
#include "image/mkimage/tool_options.h"

namespace qelisp {
namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

MkimageRun fail(const std::string& message) { return {kFailed, "", "qelisp-mkimage: " + message + "\n"}; }

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

MkimageRun run(const ToolOptions& options) {
    if (auto problem = checkTexts(options)) return fail(*problem);
    // Checked before the firmware is read, so a wrong name is refused at once.
    const std::pair<const char*, const std::string&> outputs[] = {{"--output", options.outputPath},
                                                                  {"--binary", options.binaryPath}};
    for (const auto& [option, path] : outputs) {
        if (path.empty()) continue;
        if (auto kind = notRegularFile(path)) {
            return fail(std::string(option) + " " + path + " is " + *kind +
                        "; qelisp-mkimage only writes regular files");
        }
    }

    std::vector<std::uint8_t> block;
    try {
        DeviceMemory memory = readIntelHex(readHexFile(options.hexPath));
        block = buildImage(memory, {options.marker, options.model, options.version});
    } catch (const InputError& error) {
        std::string where = options.hexPath;
        if (error.line() != InputError::kWholeFile) where += ":" + std::to_string(error.line());
        return fail(where + ": " + error.what());
    }

    try {
        StagedOutputs outputs;
        if (!options.outputPath.empty()) {
            std::string note = "Firmware " + baseName(options.hexPath) + ", model \"" + options.model +
                               "\", version \"" + options.version + "\", " + std::to_string(recordCount(block)) +
                               " records.";
            outputs.add(options.outputPath, writeImageSource(std::span<const std::uint8_t, kImageSize>(block), note));
        }
        if (!options.binaryPath.empty()) {
            outputs.add(options.binaryPath,
                        std::string_view(reinterpret_cast<const char*>(block.data()), block.size()));
        }
        outputs.commit();
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    return {};
}

}  // namespace

MkimageRun runMkimage(std::span<const std::string_view> args) {
    ParsedOptions parsed = parseToolOptions(args);
    if (parsed.help) return {0, kToolUsage, ""};
    if (!parsed.options) return {kUsage, "", "qelisp-mkimage: " + parsed.error + "\n" + kToolUsage};
    try {
        return run(*parsed.options);
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}

}  // namespace qelisp
