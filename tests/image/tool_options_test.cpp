// The tool's command line: what is required, what is refused as usage, and
// which texts cannot go into the image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/mkimage/tool_options.h"

namespace qelisp {
namespace {

ParsedOptions parse(std::vector<std::string_view> args) { return parseToolOptions(args); }

std::vector<std::string_view> complete() {
    return {"--hex", "fw.hex", "--model", "QX-1", "--version", "2010.06.29", "--output", "image.cpp"};
}

TEST(ToolOptionsTest, ReadsEveryOption) {
    ParsedOptions parsed = parse({"--output", "o.cpp", "--binary", "o.bin", "--marker", "0123456789ABCDEF", "--hex",
                                  "f.hex", "--version", "v1", "--model", "m1"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->hexPath, "f.hex");
    EXPECT_EQ(parsed.options->model, "m1");
    EXPECT_EQ(parsed.options->version, "v1");
    EXPECT_EQ(parsed.options->outputPath, "o.cpp");
    EXPECT_EQ(parsed.options->binaryPath, "o.bin");
    EXPECT_EQ(parsed.options->marker, "0123456789ABCDEF");
}

TEST(ToolOptionsTest, MarkerDefaultsAndEitherOutputIsEnough) {
    ParsedOptions source = parse(complete());
    ASSERT_TRUE(source.options) << source.error;
    EXPECT_EQ(source.options->marker, "QelIsp image v1 ");
    EXPECT_TRUE(source.options->binaryPath.empty());

    ParsedOptions binary = parse({"--hex", "f", "--model", "m", "--version", "v", "--binary", "b"});
    ASSERT_TRUE(binary.options) << binary.error;
    EXPECT_TRUE(binary.options->outputPath.empty());
}

TEST(ToolOptionsTest, ModelTextMayLookLikeAnything) {
    ParsedOptions parsed = parse({"--hex", "f", "--model", "--x", "--version", "-1", "--output", "o"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->model, "--x");
}

TEST(ToolOptionsTest, HelpWins) {
    EXPECT_TRUE(parse({"--hex", "f", "--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
}

TEST(ToolOptionsUsageTest, RequiredOptionsMissing) {
    for (std::string_view required : {"--hex", "--model", "--version"}) {
        std::vector<std::string_view> args;
        std::vector<std::string_view> all = complete();
        for (std::size_t i = 0; i < all.size(); i += 2) {
            if (all[i] != required) args.insert(args.end(), {all[i], all[i + 1]});
        }
        ParsedOptions parsed = parse(args);
        EXPECT_FALSE(parsed.options);
        EXPECT_EQ(parsed.error, std::string(required) + " is required");
    }
}

TEST(ToolOptionsUsageTest, NothingToWrite) {
    ParsedOptions parsed = parse({"--hex", "f", "--model", "m", "--version", "v"});
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.error, "nothing to write: give --output or --binary");
}

TEST(ToolOptionsUsageTest, UnknownArgumentValueMissingOrGivenTwice) {
    std::vector<std::string_view> args = complete();
    args.push_back("--verbose");
    EXPECT_EQ(parse(args).error, "unknown argument '--verbose'");

    args = complete();
    args.push_back("--binary");
    EXPECT_EQ(parse(args).error, "--binary needs a value");

    args = complete();
    args[3] = "";
    EXPECT_EQ(parse(args).error, "--model needs a value");

    args = complete();
    args.insert(args.end(), {"--hex", "other.hex"});
    EXPECT_EQ(parse(args).error, "--hex given twice");
}

TEST(ToolOptionsTextTest, FifteenCharactersFit) {
    ParsedOptions parsed = parse(complete());
    ASSERT_TRUE(parsed.options);
    parsed.options->model = "ABCDEFGHIJKLMNO";
    parsed.options->version = "2010.06.29 rev1";
    EXPECT_EQ(checkTexts(*parsed.options), std::nullopt);
}

TEST(ToolOptionsTextTest, TooLongTextNamesTheOptionAndTheLength) {
    ParsedOptions parsed = parse(complete());
    ASSERT_TRUE(parsed.options);
    ToolOptions options = *parsed.options;

    options.model = "ABCDEFGHIJKLMNOP";
    EXPECT_EQ(checkTexts(options), "--model: \"ABCDEFGHIJKLMNOP\" is 16 characters long; 1 to 15 fit");

    options = *parsed.options;
    options.version = "2010.06.29-release";
    EXPECT_EQ(checkTexts(options), "--version: \"2010.06.29-release\" is 18 characters long; 1 to 15 fit");

    options = *parsed.options;
    options.marker = "QelIsp";
    EXPECT_EQ(checkTexts(options), "--marker: \"QelIsp\" is 6 characters long; exactly 16 fit");
}

TEST(ToolOptionsTextTest, OnlyPrintableAscii) {
    ParsedOptions parsed = parse(complete());
    ASSERT_TRUE(parsed.options);
    ToolOptions options = *parsed.options;
    options.model = "QX\n1";
    EXPECT_EQ(checkTexts(options), "--model: only printable ASCII characters fit the image");
    options.model = "QX-\xC3\xA9";  // UTF-8 e-acute
    EXPECT_EQ(checkTexts(options), "--model: only printable ASCII characters fit the image");
}

}  // namespace
}  // namespace qelisp
