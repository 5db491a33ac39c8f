#pragma once
// Command lines to the loader: the record buffer the jobs fill field by field,
// its encoding, the three fixed lines, and the read-back decoder.
#include "protocol/session.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qelisp {

inline constexpr std::size_t kMaxRecordData = 128;
// ':' + 2 * (4 + 128 + 1) digits + CR LF
inline constexpr std::size_t kMaxLineLength = 1 + 2 * (4 + kMaxRecordData + 1) + 2;

// The loader's commands, as the type field of a line.
enum class RecordType : std::uint8_t {
    Data = 0x00,
    EndOfFile = 0x01,
    ReadRequest = 0x02,
    PageSelect = 0x04,
    PageEnd = 0x05,
    Begin = 0x06,
};

struct CommandRecord {
    std::uint8_t count = 0;
    std::uint8_t addressHigh = 0;
    std::uint8_t addressLow = 0;
    RecordType type = RecordType::Data;
    std::array<std::uint8_t, kMaxRecordData> data{};
};

// Sent as they stand.
inline constexpr std::string_view kBeginLine = ":02000006031ADB\r\n";
inline constexpr std::string_view kPageEndLine = ":00000005FB\r\n";
inline constexpr std::string_view kEndOfFileLine = ":00000001FF\r\n";

// Encodes count, address, type and the first n data bytes into `out`
// (2n + 13 bytes). Returns the line's length. n is clamped to 128.
std::size_t EncodeRecord(const CommandRecord& record, std::size_t n, std::span<std::uint8_t, kMaxLineLength> out);

// What sending a line came to; callers test for zero.
inline constexpr int kSendOk = 0;
inline constexpr int kSendFailed = 1;      // no port, port failure, short write
inline constexpr int kSendUnexpected = 2;  // the loader sent bytes no line asked for

// Encodes the record with n data bytes and writes the line in one write.
// Before the line goes out, nothing may be waiting; while it goes out,
// nothing may come: the loader answers each line once, after all of it.
// Returns kSendOk when every byte went out and nothing stray was heard.
int SendRecord(Session& session, const CommandRecord& record, std::size_t n);

// Writes a fixed line. Same result as SendRecord.
int SendLine(Session& session, std::string_view line);

// Why a send that did not come to kSendOk failed.
FailureCause SendFailure(const Session& session, int sent);

inline constexpr std::size_t kReadBackBytes = 128;

// Decodes 256 hexadecimal characters (either case), high digit first, in
// place into the first 128 bytes of `buffer`. Returns how many bytes, from
// the first, came from two real hexadecimal digits: line noise that turns a
// digit into punctuation must make the block a mismatch, never a byte that
// happens to equal the expected one. Bytes from that index on are not to be
// trusted.
std::size_t DecodeReadBack(std::span<std::uint8_t, 256> buffer);

}  // namespace qelisp
