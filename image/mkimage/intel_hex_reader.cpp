#include "image/mkimage/intel_hex_reader.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "protocol/hex_line.h"

namespace qelisp {
namespace {

std::string hexNumber(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string addressRange(std::uint32_t first, std::size_t size) {
    if (size <= 1) return hexNumber(first, 5);
    return hexNumber(first, 5) + "-" + hexNumber(static_cast<std::uint32_t>(first + size - 1), 5);
}

std::string_view trimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    return line;
}

std::uint32_t addressValue(const HexLine& line, std::size_t number) {
    if (line.data.size() != 2) {
        throw InputError(number, "malformed line: an extended address record carries 2 data bytes, this one " +
                                     std::to_string(line.data.size()));
    }
    return (std::uint32_t{line.data[0]} << 8) | line.data[1];
}

class Reader {
public:
    explicit Reader(bool hasLineFeeds) : hasLineFeeds_(hasLineFeeds) {}

    void line(std::string_view text, std::size_t number) {
        text = trimLineEnd(text);
        if (text.empty()) return;  // blank lines carry nothing
        if (ended_) throw InputError(number, "record after the end-of-file record");
        // Lines end at LF; a CR left inside one means the records are joined
        // by bare CRs, which would otherwise read as a bad digit.
        if (text.find('\r') != std::string_view::npos) {
            throw InputError(number, hasLineFeeds_
                                         ? "malformed line: a CR without LF inside the line; use LF or CR LF line ends"
                                         : "malformed line: the file uses CR-only line ends; use LF or CR LF");
        }

        HexLineParse parsed = parseHexLine(text);
        if (!parsed.line) throw InputError(number, std::string("malformed line: ") + describe(parsed.error));
        const HexLine& rec = *parsed.line;
        if (!rec.checksumOk) {
            throw InputError(number, "bad checksum: the line has " + hexNumber(rec.checksum, 2) + ", its bytes need " +
                                         hexNumber(expectedChecksum(rec), 2));
        }
        switch (static_cast<HexRecordType>(rec.type)) {
            case HexRecordType::Data: data(rec, number); break;
            case HexRecordType::EndOfFile:
                if (!rec.data.empty()) throw InputError(number, "malformed line: end-of-file record carries data");
                ended_ = true;
                break;
            case HexRecordType::ExtendedSegment: base_ = addressValue(rec, number) << 4; break;
            case HexRecordType::ExtendedLinear: base_ = addressValue(rec, number) << 16; break;
            case HexRecordType::StartSegment:
            case HexRecordType::StartLinear:
                if (rec.data.size() != 4) {
                    throw InputError(number, "malformed line: a start address record carries 4 data bytes, this one " +
                                                 std::to_string(rec.data.size()));
                }
                break;  // where the CPU starts; nothing for the flash
            default:
                throw InputError(number, "unsupported record type " + hexNumber(rec.type, 2).substr(2) +
                                             " (only 00 to 05 are read)");
        }
    }

    DeviceMemory finish() {
        if (!ended_) throw InputError(InputError::kWholeFile, "no end-of-file record (type 01)");
        return std::move(memory_);
    }

private:
    static std::uint8_t expectedChecksum(const HexLine& rec) {
        std::vector<std::uint8_t> bytes{rec.count, static_cast<std::uint8_t>(rec.address >> 8),
                                        static_cast<std::uint8_t>(rec.address), rec.type};
        bytes.insert(bytes.end(), rec.data.begin(), rec.data.end());
        return lineChecksum(bytes);
    }

    void data(const HexLine& rec, std::size_t number) {
        // Both extended forms wrap the 16-bit offset within its 64 KB window,
        // but tools disagree on that; a record that would need it is refused.
        if (rec.address + rec.data.size() > 0x10000) {
            throw InputError(number, "data record runs past the end of its 64 KB address window");
        }
        const std::uint32_t address = base_ + rec.address;
        DeviceMemory::PutResult put = memory_.put(address, rec.data, number);
        switch (put.outcome) {
            case DeviceMemory::Put::Done: break;
            case DeviceMemory::Put::OutOfRange:
                throw InputError(number, "data at " + addressRange(address, rec.data.size()) +
                                             " reaches beyond the 1 MB device address space (0x00000-0xFFFFF)");
            case DeviceMemory::Put::Overlap:
                throw InputError(number, "data at " + hexNumber(put.address, 5) + " overlaps data given on line " +
                                             std::to_string(put.earlierLine));
        }
    }

    bool hasLineFeeds_;
    DeviceMemory memory_;
    std::uint32_t base_ = 0;
    bool ended_ = false;
};

}  // namespace

DeviceMemory readIntelHex(std::string_view text) {
    Reader reader(text.find('\n') != std::string_view::npos);
    std::size_t number = 1;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        reader.line(text.substr(0, end), number);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
        ++number;
    }
    return reader.finish();
}

}  // namespace qelisp
