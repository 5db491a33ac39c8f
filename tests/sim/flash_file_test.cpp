// Loading and saving the flash as a raw file.
#include "sim/flash_file.h"
#include "sim/nor_flash.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace qelisp::sim {
namespace {

using test::TempDir;

TEST(FlashFile, RoundTripsAndAShortFileIsAllowed) {
    TempDir dir;
    std::vector<std::uint8_t> image(NorFlash::kSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    std::string error;
    ASSERT_TRUE(writeFlashFile((dir / "f.bin").string(), image, error)) << error;
    EXPECT_EQ(std::filesystem::file_size(dir / "f.bin"), NorFlash::kSize);
    EXPECT_EQ(readFlashFile((dir / "f.bin").string(), error), image) << error;

    test::writeFile(dir / "short.bin", "abc");
    EXPECT_EQ(readFlashFile((dir / "short.bin").string(), error), (std::vector<std::uint8_t>{'a', 'b', 'c'})) << error;
}

TEST(FlashFile, TooLargeMissingOrUnwritableFileIsAnError) {
    TempDir dir;
    test::writeFile(dir / "big.bin", std::string(NorFlash::kSize + 1, '\0'));
    std::string error;
    EXPECT_FALSE(readFlashFile((dir / "big.bin").string(), error));
    EXPECT_NE(error.find("larger"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(readFlashFile((dir / "missing.bin").string(), error));
    EXPECT_NE(error.find("missing.bin"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(writeFlashFile((dir / "no/such/dir/x.bin").string(), std::vector<std::uint8_t>(4), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace qelisp::sim
