#pragma once
// SHA-256, so a bench technician can tell which firmware a build carries.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace qelisp {

class Sha256 {
public:
    Sha256();
    void update(std::span<const std::uint8_t> bytes);
    std::array<std::uint8_t, 32> finish();
    static std::string hex(const std::array<std::uint8_t, 32>& digest);

private:
    void block(const std::uint8_t* p);

    std::array<std::uint32_t, 8> h_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t used_ = 0;
    std::uint64_t length_ = 0;
};

}  // namespace qelisp
