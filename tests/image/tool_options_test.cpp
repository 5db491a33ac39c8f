// The tool's command line: what is refused as usage, and which texts cannot
// go into the image.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/mkimage/tool_options.h"

namespace qelisp {
namespace {

using Args = std::vector<std::string_view>;

constexpr const char* kSameFile = "--output and --binary name the same file";

ParsedOptions parse(Args args) { return parseToolOptions(args); }

TEST(ToolOptionsTest, EitherOutputIsEnoughAndValuesMayLookLikeOptions) {
    ParsedOptions binaryOnly = parse({"--hex", "f", "--model", "--x", "--version", "-1", "--binary", "b"});
    ASSERT_TRUE(binaryOnly.options) << binaryOnly.error;
    EXPECT_EQ(binaryOnly.options->model, "--x");
    EXPECT_EQ(binaryOnly.options->marker, "QelIsp image v1 ");
    ParsedOptions marked =
        parse({"--hex", "f", "--model", "m", "--version", "v", "--marker", "0123456789ABCDEF", "--output", "o.cpp"});
    ASSERT_TRUE(marked.options) << marked.error;
    EXPECT_EQ(marked.options->marker, "0123456789ABCDEF");
    EXPECT_TRUE(parse({"--hex", "f", "-h"}).help);
}

TEST(ToolOptionsTest, UsageErrorsSayWhatIsWrong) {
    const std::string absolute = (std::filesystem::current_path() / "o").string();
    const std::pair<Args, std::string> cases[] = {
        {{"--model", "m", "--version", "v", "--output", "o"}, "--hex is required"},
        {{"--hex", "f", "--version", "v", "--output", "o"}, "--model is required"},
        {{"--hex", "f", "--model", "m", "--output", "o"}, "--version is required"},
        {{"--hex", "f", "--model", "m", "--version", "v"}, "nothing to write: give --output or --binary"},
        {{"--hex", "f", "--model", "m", "--version", "v", "--output", "o", "--verbose"},
         "unknown argument '--verbose'"},
        {{"--hex", "f", "--model", "m", "--version", "v", "--output", "o", "--binary"}, "--binary needs a value"},
        {{"--hex", "f", "--model", "", "--version", "v", "--output", "o"}, "--model needs a value"},
        {{"--hex", "f", "--model", "m", "--version", "v", "--output", "o", "--hex", "g"}, "--hex given twice"},
        {{"--hex", "f", "--model", "m", "--version", "v", "--output", "o", "--binary", "./o"}, kSameFile},
        {{"--hex", "f", "--model", "m", "--version", "v", "--output", "o", "--binary", absolute}, kSameFile},
    };
    for (const auto& [args, error] : cases) {
        ParsedOptions parsed = parse(args);
        EXPECT_FALSE(parsed.options) << error;
        EXPECT_EQ(parsed.error, error);
    }
}

TEST(ToolOptionsTest, TextsThatDoNotFitTheImageNameTheOptionAndTheLength) {
    const ToolOptions fits{"f.hex", "ABCDEFGHIJKLMNO", "2010.06.29 rev1", "QelIsp image v1 ", "o.cpp", ""};
    EXPECT_EQ(checkTexts(fits), std::nullopt);
    auto refusal = [&](std::string ToolOptions::*field, std::string value) {
        ToolOptions options = fits;
        options.*field = std::move(value);
        return checkTexts(options).value_or("fits");
    };
    EXPECT_EQ(refusal(&ToolOptions::model, "ABCDEFGHIJKLMNOP"),
              "--model: \"ABCDEFGHIJKLMNOP\" is 16 characters long; 1 to 15 fit");
    EXPECT_EQ(refusal(&ToolOptions::version, "2010.06.29-release"),
              "--version: \"2010.06.29-release\" is 18 characters long; 1 to 15 fit");
    EXPECT_EQ(refusal(&ToolOptions::marker, "QelIsp"), "--marker: \"QelIsp\" is 6 characters long; exactly 16 fit");
    const char* printable = "--model: only printable ASCII characters fit the image";
    EXPECT_EQ(refusal(&ToolOptions::model, "QX\n1"), printable);
    EXPECT_EQ(refusal(&ToolOptions::model, "QX-\xC3\xA9"), printable);  // UTF-8 e-acute
}

}  // namespace
}  // namespace qelisp
