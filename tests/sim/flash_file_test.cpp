// Loading and saving the flash as a raw file.
#include "sim/flash_file.h"
#include "sim/nor_flash.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace qelisp::sim {
namespace {

class FlashFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("qelisp-sim-flash-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

TEST_F(FlashFile, RoundTrip) {
    std::vector<std::uint8_t> image(NorFlash::kSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    std::string error;
    ASSERT_TRUE(writeFlashFile(path("f.bin"), image, error)) << error;
    EXPECT_EQ(std::filesystem::file_size(path("f.bin")), NorFlash::kSize);
    const auto back = readFlashFile(path("f.bin"), error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(*back, image);
}

TEST_F(FlashFile, ShortFileIsAllowed) {
    std::ofstream(path("short.bin"), std::ios::binary) << "abc";
    std::string error;
    const auto image = readFlashFile(path("short.bin"), error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(*image, (std::vector<std::uint8_t>{'a', 'b', 'c'}));
}

TEST_F(FlashFile, TooLargeOrMissingFileIsAnError) {
    {
        std::ofstream big(path("big.bin"), std::ios::binary);
        big << std::string(NorFlash::kSize + 1, '\0');
    }
    std::string error;
    EXPECT_FALSE(readFlashFile(path("big.bin"), error));
    EXPECT_NE(error.find("larger"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(readFlashFile(path("missing.bin"), error));
    EXPECT_NE(error.find("missing.bin"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(writeFlashFile(path("no/such/dir/x.bin"), std::vector<std::uint8_t>(4), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace qelisp::sim
