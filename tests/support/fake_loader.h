#pragma once
// A loader that answers over a FakeLink in virtual time: '.' for each line,
// 'A' and the flash contents for a read request, with per-line overrides so
// tests can fail any step.
#include "image/firmware_image.h"
#include "tests/support/fake_link.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qelisp::test {

class FakeLoader {
public:
    explicit FakeLoader(FakeLink& link);

    // In an answer, this character stands for one read that finds nothing,
    // and this one calls onMark when the reads get to it.
    static constexpr char kQuietRead = '~';
    static constexpr char kMark = '!';
    // What follows it arrives while the next line is going out.
    static constexpr char kWhileNextLine = '^';
    std::function<void()> onMark;

    // What the loader says after command line `index` (0-based, counted over
    // all lines, handshakes excluded) instead of its normal answer, as bytes
    // and quiet reads: "E~~." is an erase that ends on the third read after
    // the 'E'. "" means silence; such a line is not applied.
    std::map<int, std::string> overrides;
    // Same for the n-th handshake (0-based).
    std::map<int, std::string> handshakeOverrides;
    // Read-back answers per line index, replacing the "A" + 256 characters.
    std::map<int, std::string> readBackOverrides;

    // 1 MB of flash, 0xFF when erased.
    std::vector<std::uint8_t> flash;

    std::vector<std::string> lines;  // every command line received, in order
    int handshakes = 0;

    // Puts the image's records from its start record on into the flash.
    void loadFrom(const FirmwareImage& image);

private:
    void onWrite(const std::string& bytes);
    void script(const std::string& answer);
    std::string readBack(std::uint32_t start) const;

    FakeLink& link_;
    int page_ = -1;
};

}  // namespace qelisp::test
