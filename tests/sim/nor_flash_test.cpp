// The NOR flash model.
#include "sim/nor_flash.h"

#include <gtest/gtest.h>

#include <array>

namespace qelisp::sim {
namespace {

TEST(NorFlash, StartsErased) {
    NorFlash flash;
    ASSERT_EQ(flash.bytes().size(), 0x100000u);
    for (std::uint8_t b : flash.bytes()) ASSERT_EQ(b, 0xFF);
    EXPECT_EQ(flash.bytesWritten(), 0u);
}

TEST(NorFlash, ProgrammingOnlyClearsBits) {
    NorFlash flash;
    const std::array<std::uint8_t, 2> first{0xF0, 0x3C};
    auto r = flash.program(0x3000, first);
    EXPECT_EQ(r.written, 2u);
    EXPECT_EQ(r.unerased, 0u);
    const std::array<std::uint8_t, 2> second{0x0F, 0x3C};
    r = flash.program(0x3000, second);
    EXPECT_EQ(r.unerased, 1u);
    EXPECT_EQ(r.firstUnerased, 0x3000u);
    EXPECT_EQ(flash.bytes()[0x3000], 0x00);
    EXPECT_EQ(flash.bytes()[0x3001], 0x3C);
    EXPECT_EQ(flash.bytesWritten(), 4u);
}

TEST(NorFlash, EraseSetsARangeBackToFF) {
    NorFlash flash;
    flash.load(std::vector<std::uint8_t>(NorFlash::kSize, 0x00));
    flash.erase(0x3000, 0x3002);
    EXPECT_EQ(flash.bytes()[0x2FFF], 0x00);
    EXPECT_EQ(flash.bytes()[0x3000], 0xFF);
    EXPECT_EQ(flash.bytes()[0x3001], 0xFF);
    EXPECT_EQ(flash.bytes()[0x3002], 0x00);
    flash.erase(0xFFFFF, 0x200000);  // clipped at the end
    EXPECT_EQ(flash.bytes()[0xFFFFF], 0xFF);
}

TEST(NorFlash, WritesAndReadsPastTheEndAreClipped) {
    NorFlash flash;
    const std::array<std::uint8_t, 4> data{1, 2, 3, 4};
    const auto r = flash.program(0xFFFFE, data);
    EXPECT_EQ(r.written, 2u);
    EXPECT_EQ(flash.bytesWritten(), 2u);
    std::array<std::uint8_t, 4> out{};
    flash.read(0xFFFFE, out);
    EXPECT_EQ(out, (std::array<std::uint8_t, 4>{1, 2, 0xFF, 0xFF}));
}

TEST(NorFlash, LoadOfAShortImageLeavesTheRestErased) {
    NorFlash flash;
    flash.program(0x80000, std::array<std::uint8_t, 1>{0x00});
    flash.load(std::vector<std::uint8_t>(0x10, 0x12));
    EXPECT_EQ(flash.bytes()[0x0F], 0x12);
    EXPECT_EQ(flash.bytes()[0x10], 0xFF);
    EXPECT_EQ(flash.bytes()[0x80000], 0xFF);
}

}  // namespace
}  // namespace qelisp::sim
