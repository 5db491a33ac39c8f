#include "image/mkimage/tool_options.h"

#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

#include "image/firmware_image.h"
#include "image/mkimage/hex_file.h"
#include "image/mkimage/image_builder.h"

namespace qelisp {

static_assert(kMaxHexFileSize == std::size_t{32} << 20, "the usage text names the bound");
const char* const kToolUsage =
    "usage: qelisp-mkimage --hex FILE --model TEXT --version TEXT\n"
    "                      [--output FILE.cpp] [--binary FILE] [--marker TEXT]\n"
    "  --hex FILE       firmware in Intel HEX form (record types 00 to 05; the start\n"
    "                   addresses 03 and 05 are ignored), at most 32 MiB: a full 1 MB\n"
    "                   device takes about 2.9 MB\n"
    "  --model TEXT     model name, 1 to 15 characters\n"
    "  --version TEXT   firmware release date, for example 2010.06.29, 1 to 15 characters\n"
    "  --output FILE    write the C++ source holding the image block\n"
    "  --binary FILE    write the image block as raw bytes (not the same file as --output)\n"
    "  --marker TEXT    the block's 16-character marker (default \"QelIsp image v1 \")\n";

namespace {

struct Field {
    std::string_view name;
    std::string ToolOptions::*member;
};

constexpr std::array kFields{
    Field{"--hex", &ToolOptions::hexPath},       Field{"--model", &ToolOptions::model},
    Field{"--version", &ToolOptions::version},   Field{"--marker", &ToolOptions::marker},
    Field{"--output", &ToolOptions::outputPath}, Field{"--binary", &ToolOptions::binaryPath},
};

bool isPrintableAscii(std::string_view text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

std::optional<std::string> checkText(std::string_view option, std::string_view text, std::size_t minLength,
                                     std::size_t maxLength) {
    const std::string name(option);
    if (!isPrintableAscii(text)) return name + ": only printable ASCII characters fit the image";
    if (text.size() < minLength || text.size() > maxLength) {
        std::string limit = minLength == maxLength ? "exactly " + std::to_string(maxLength)
                                                   : std::to_string(minLength) + " to " + std::to_string(maxLength);
        return name + ": \"" + std::string(text) + "\" is " + std::to_string(text.size()) + " characters long; " +
               limit + " fit";
    }
    return std::nullopt;
}

// "./a", "a" and "dir/../a" are one file, and so are a symlink and its
// target or two hard links.
bool sameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    // Made absolute first: weakly_canonical leaves a relative name whose
    // first part does not exist as it is.
    auto resolved = [](const std::string& name) {
        std::error_code error;
        fs::path path = fs::absolute(name, error);
        if (!error) path = fs::weakly_canonical(path, error);
        return error ? fs::path(name).lexically_normal() : path.lexically_normal();
    };
    if (resolved(a) == resolved(b)) return true;
    std::error_code ignored;
    return fs::equivalent(a, b, ignored);
}

}  // namespace

ParsedOptions parseToolOptions(std::span<const std::string_view> args) {
    ToolOptions options;
    std::array<bool, kFields.size()> given{};
    auto wasGiven = [&](std::string_view name) {
        for (std::size_t f = 0; f < kFields.size(); ++f) {
            if (kFields[f].name == name) return given[f];
        }
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") return {std::nullopt, true, ""};
        std::size_t field = 0;
        while (field < kFields.size() && kFields[field].name != args[i]) ++field;
        if (field == kFields.size()) return {std::nullopt, false, "unknown argument '" + std::string(args[i]) + "'"};
        if (i + 1 == args.size() || args[i + 1].empty()) {
            return {std::nullopt, false, std::string(args[i]) + " needs a value"};
        }
        if (given[field]) return {std::nullopt, false, std::string(args[i]) + " given twice"};
        given[field] = true;
        options.*kFields[field].member = std::string(args[++i]);
    }
    for (std::string_view required : {"--hex", "--model", "--version"}) {
        if (!wasGiven(required)) return {std::nullopt, false, std::string(required) + " is required"};
    }
    if (!wasGiven("--output") && !wasGiven("--binary")) {
        return {std::nullopt, false, "nothing to write: give --output or --binary"};
    }
    // An output renamed onto the firmware's name, or onto a link to it, would
    // replace the maker's file or the link: refused, whatever it is called.
    const std::pair<const char*, const std::string&> outputs[] = {{"--output", options.outputPath},
                                                                  {"--binary", options.binaryPath}};
    for (const auto& [option, path] : outputs) {
        if (!path.empty() && sameFile(path, options.hexPath)) {
            return {std::nullopt, false, std::string(option) + " and --hex name the same file"};
        }
    }
    if (wasGiven("--output") && wasGiven("--binary") && sameFile(options.outputPath, options.binaryPath)) {
        return {std::nullopt, false, "--output and --binary name the same file"};
    }
    if (!wasGiven("--marker")) options.marker = std::string(kDefaultMarker);
    return {std::move(options), false, ""};
}

std::optional<std::string> checkTexts(const ToolOptions& options) {
    if (auto problem = checkText("--model", options.model, 1, kTextLength)) return problem;
    if (auto problem = checkText("--version", options.version, 1, kTextLength)) return problem;
    return checkText("--marker", options.marker, kMarkerSize, kMarkerSize);
}

}  // namespace qelisp
