// The verification run: handshake, then for each record a read request, the
// 'A' that opens the answer, 256 hexadecimal characters, and a comparison.
// A block that differs is asked for again; the third difference ends the job.
#include "jobs/verify_job.h"

#include "jobs/job_opening.h"
#include "jobs/status_text.h"
#include "protocol/command_record.h"
#include "protocol/reply.h"

#include <array>

namespace qelisp {

namespace {

CommandRecord readRequest(std::uint32_t address) {
    const std::uint32_t end = address + kRecordDataSize - 1;
    CommandRecord record;
    record.count = 8;
    record.type = kTypeReadRequest;
    for (int i = 0; i < 4; ++i) {
        record.data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
        record.data[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(end >> (24 - 8 * i));
    }
    return record;
}

// Skips whatever the loader sends before the 'A'. False when the 'A' did not
// come: too many quiet reads, too much noise, or a dead port.
bool awaitReadBackStart(SerialLink& link) {
    int quiet = 0;
    int noise = 0;
    std::array<std::uint8_t, 1> byte{};
    while (quiet < kReadBackStartEmptyReads && noise < kReadBackStartNoiseLimit) {
        int n = link.read(byte);
        if (n < 0) return false;
        if (n == 0) {
            ++quiet;
        } else if (byte[0] == kReadBackStart) {
            return true;
        } else {
            ++noise;
        }
    }
    return false;
}

// Asks for one block and decodes it into `buffer`. `valid` is the number of
// whole bytes that arrived: a short answer leaves the rest unknown, never
// stale bytes of an earlier block.
// False when the loader did not answer the request or never opened the block.
bool readBlock(Session& session, std::uint32_t address, std::array<std::uint8_t, 256>& buffer,
               std::size_t& valid) {
    if (SendRecord(session, readRequest(address), 8) != 0 || WaitReply(session, kAckByte) != ReplyOk) {
        return false;
    }
    if (!awaitReadBackStart(*session.link)) return false;
    buffer.fill(0);
    int got = session.link->read(buffer);
    if (got < 0) return false;
    DecodeReadBack(buffer);
    valid = static_cast<std::size_t>(got) / 2;
    return true;
}

// Index of the first byte that differs, or kRecordDataSize when all match.
// A byte that never arrived counts as differing.
std::size_t firstDifference(std::span<const std::uint8_t, kRecordDataSize> expected,
                            const std::array<std::uint8_t, 256>& got, std::size_t valid) {
    for (std::size_t j = 0; j < kRecordDataSize; ++j) {
        if (j >= valid || got[j] != expected[j]) return j;
    }
    return kRecordDataSize;
}

}  // namespace

int VerifyJob(JobContext& job) {
    JobState& state = job.session.state;
    auto opened = OpenJob(job, "Connecting Error11!");
    if (!opened) return 0;
    if (state.cancel.load()) return FailJob(job, "User Canceled");

    std::array<std::uint8_t, 256> buffer{};
    std::string failure;
    job.image.walk(opened->startSlot, [&](const ImageRecord& record) {
        const std::uint32_t address = record.address();
        int mismatches = 0;
        for (;;) {
            state.progress.store(static_cast<int>(address >> 12));
            state.setStatus(addressStatus("Verifying Data At Address: ", address));
            // The current address is the end of the block asked for.
            state.currentAddress.store(address + kRecordDataSize - 1);

            std::size_t valid = 0;
            if (!readBlock(job.session, address, buffer, valid)) {
                failure = "Connecting Error33!";
                return false;
            }
            std::size_t j = firstDifference(record.data(), buffer, valid);
            bool matched = j == kRecordDataSize;
            if (!matched && ++mismatches >= kMismatchLimit) {
                failure = addressStatus("Verify Error At: ", address + static_cast<std::uint32_t>(j));
                return false;
            }
            if (state.cancel.load()) {
                failure = "User Canceled";
                return false;
            }
            if (matched) return true;
        }
    });
    if (!failure.empty()) return FailJob(job, failure);

    state.setStatus(elapsedStatus("Data Verify OK!  Time Elapsed ", opened->startTick, job.session.clock.tickMs()));
    EndJob(state, job.beep);
    return 0;
}

}  // namespace qelisp
