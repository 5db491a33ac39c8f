// The NOR flash model.
#include "sim/nor_flash.h"

#include <gtest/gtest.h>

#include <array>

namespace qelisp::sim {
namespace {

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
    EXPECT_EQ(flash.program(0x3001, std::array<std::uint8_t, 1>{0x00}).unerased, 0u) << "clearing more bits is fine";
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
