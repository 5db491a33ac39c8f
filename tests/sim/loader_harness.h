#pragma once
// Drives a Loader with text and reads its answers back as text, for the
// loader tests. In an answer, '~' stands for the erase time, '!' for a
// hang-up, "{MS}" for a pause and "<MS>" for a late answer's delay; none of
// them is ever sent as bytes.
#include "protocol/hex_line.h"
#include "sim/loader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qelisp::sim::testing {

using Block = std::array<std::uint8_t, 128>;

// The fixed lines of a programming run, and a read-back of erased flash.
inline const std::string kBegin = ":02000006031ADB\r\n";
inline const std::string kPageEnd = ":00000005FB\r\n";
inline const std::string kEnd = ":00000001FF\r\n";
inline const std::string kErasedHex(256, 'F');

// A line of `type` for `address` carrying `data`, checksum and CR LF included.
inline std::string record(std::uint16_t address, std::uint8_t type, std::vector<std::uint8_t> data) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::string line = ":";
    for (std::uint8_t b : bytes) appendHexByte(line, b);
    appendHexByte(line, lineChecksum(bytes));
    return line + "\r\n";
}

inline std::string pageSelect(std::uint8_t page) { return record(0, 0x04, {page}); }

// A data record for a device address: the address field is its low 16 bits.
inline std::string dataRecord(std::uint32_t device, const Block& block) {
    return record(static_cast<std::uint16_t>(device & 0xFFFF), 0x00, {block.begin(), block.end()});
}

inline std::string readRequest(std::uint32_t start, std::uint32_t end) {
    return record(
        0, 0x02,
        {static_cast<std::uint8_t>(start >> 24), static_cast<std::uint8_t>(start >> 16),
         static_cast<std::uint8_t>(start >> 8), static_cast<std::uint8_t>(start), static_cast<std::uint8_t>(end >> 24),
         static_cast<std::uint8_t>(end >> 16), static_cast<std::uint8_t>(end >> 8), static_cast<std::uint8_t>(end)});
}

inline std::string readRequest(std::uint32_t start) { return readRequest(start, start + 127); }

// Distinct contents per seed, never all 0xFF.
inline Block pattern(std::uint8_t seed) {
    Block block{};
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(seed * 31 + i * 7 + 1);
    return block;
}

inline Block filled(std::uint8_t value) {
    Block block{};
    block.fill(value);
    return block;
}

inline std::string hexOf(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t b : bytes) appendHexByte(text, b);
    return text;
}

inline FaultPlan faults(std::initializer_list<const char*> texts) {
    FaultPlan plan;
    for (const char* text : texts) {
        std::string error;
        EXPECT_TRUE(plan.add(text, error)) << text << ": " << error;
    }
    return plan;
}

class LoaderHarness {
public:
    explicit LoaderHarness(LoaderOptions options = {}, FaultPlan plan = {})
        : loader(withLog(std::move(options)), std::move(plan)) {}
    LoaderHarness(const LoaderHarness&) = delete;  // the log sink points at this object
    LoaderHarness& operator=(const LoaderHarness&) = delete;

    // Feeds `bytes`; returns everything the loader answered.
    std::string send(std::string_view bytes) {
        Replies replies;
        for (char c : bytes) loader.receive(static_cast<std::uint8_t>(c), replies);
        std::string text;
        for (const Reply& r : replies) {
            switch (r.kind) {
                case Reply::Kind::Send: text.append(r.bytes.begin(), r.bytes.end()); break;
                case Reply::Kind::EraseWait: text += '~'; break;
                case Reply::Kind::Delay: text += "<" + std::to_string(r.ms) + ">"; break;
                case Reply::Kind::Pause: text += "{" + std::to_string(r.ms) + "}"; break;
                case Reply::Kind::HangUp: text += '!'; break;
                case Reply::Kind::HandshakeEchoed: break;
            }
        }
        return text;
    }

    // The rules broken since the last call.
    std::vector<Rule> newViolations() {
        const auto& all = loader.violations();
        std::vector<Rule> rules;
        for (std::size_t i = seen_; i < all.size(); ++i) rules.push_back(all[i].rule);
        seen_ = all.size();
        return rules;
    }

    // Handshake and begin line: a programming run from erased flash.
    void beginRun() {
        ASSERT_EQ(send("U"), "U");
        ASSERT_EQ(send(kBegin), "E~.");
        ASSERT_TRUE(newViolations().empty());
    }

    std::uint8_t flashAt(std::uint32_t address) const { return loader.flash().bytes()[address]; }

    std::vector<std::string> log;
    Loader loader;

private:
    LoaderOptions withLog(LoaderOptions options) {
        options.log = [this](const std::string& line) { log.push_back(line); };
        return options;
    }

    std::size_t seen_ = 0;
};

using Rules = std::vector<Rule>;

}  // namespace qelisp::sim::testing
