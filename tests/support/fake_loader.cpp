#include "tests/support/fake_loader.h"

#include "protocol/hex_line.h"

namespace qelisp::test {

FakeLoader::FakeLoader(FakeLink& link) : flash(1u << 20, 0xFF), link_(link) {
    link_.onWrite = [this](const std::string& bytes) { onWrite(bytes); };
}

void FakeLoader::loadFrom(const FirmwareImage& image) {
    auto start = image.findStartRecord();
    if (!start) return;
    image.walk(*start, [&](const ImageRecord& record) {
        auto data = record.data();
        std::copy(data.begin(), data.end(), flash.begin() + record.address());
        return true;
    });
}

std::string FakeLoader::readBack(std::uint32_t start) const {
    std::string out = "A";
    for (std::uint32_t i = 0; i < kRecordDataSize; ++i) appendHexByte(out, flash[(start + i) & 0xFFFFF]);
    return out;
}

void FakeLoader::script(const std::string& answer) {
    bool inFlight = false;
    for (char c : answer) {
        if (c == kWhileNextLine) {
            inFlight = true;
        } else if (inFlight) {
            link_.whileSending(std::string(1, c));
        } else if (c == kQuietRead) {
            link_.silence(1);
        } else if (c == kMark) {
            link_.act([this] {
                if (onMark) onMark();
            });
        } else {
            link_.reply(std::string(1, c));
        }
    }
}

void FakeLoader::onWrite(const std::string& bytes) {
    if (bytes == "U") {
        auto it = handshakeOverrides.find(handshakes++);
        script(it != handshakeOverrides.end() ? it->second : "U");
        return;
    }
    const int index = static_cast<int>(lines.size());
    lines.push_back(bytes);
    if (auto it = overrides.find(index); it != overrides.end()) {
        script(it->second);
        return;
    }
    auto parsed = parseHexLine(bytes);
    if (!parsed.line || !parsed.line->checksumOk) {
        link_.reply("?");
        return;
    }
    const HexLine& line = *parsed.line;
    link_.reply(".");
    switch (line.type) {
        case 0x04: page_ = line.data[0]; break;
        case 0x00: {
            std::uint32_t address = (static_cast<std::uint32_t>(page_) << 12) | (line.address & 0x0FFFu);
            for (std::size_t i = 0; i < line.data.size(); ++i) flash[(address + i) & 0xFFFFF] &= line.data[i];
            break;
        }
        case 0x02: {
            std::uint32_t start = (std::uint32_t{line.data[0]} << 24) | (std::uint32_t{line.data[1]} << 16) |
                                  (std::uint32_t{line.data[2]} << 8) | line.data[3];
            auto it = readBackOverrides.find(index);
            script(it != readBackOverrides.end() ? it->second : readBack(start));
            break;
        }
        default: break;
    }
}

}  // namespace qelisp::test
