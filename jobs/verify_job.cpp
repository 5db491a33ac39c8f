// The verification run: handshake, then for each record a read request, the
// 'A' that opens the answer, 256 hexadecimal characters, and a comparison.
// A block that differs is asked for again; the third difference ends the job.
#include "jobs/verify_job.h"

#include "jobs/job_opening.h"
#include "jobs/status_text.h"
#include "protocol/command_record.h"
#include "protocol/reply.h"

#include <algorithm>
#include <array>

namespace qelisp {

namespace {

CommandRecord readRequest(std::uint32_t address) {
    const std::uint32_t end = address + kRecordDataSize - 1;
    CommandRecord record;
    record.count = 8;
    record.type = RecordType::ReadRequest;
    for (int i = 0; i < 4; ++i) {
        record.data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
        record.data[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(end >> (24 - 8 * i));
    }
    return record;
}

enum class BlockRead { Got, Failed, Cancelled };

// Skips whatever the loader sends before the 'A', looking at the cancel flag
// after every read. Failed when the 'A' did not come: the loader has
// answered the request with its '.', so a block without its 'A' is a wrong
// answer, after quiet reads or noise alike; or a dead port.
BlockRead awaitReadBackStart(Session& session, FailureCause& cause) {
    int quiet = 0;
    int noise = 0;
    std::array<std::uint8_t, 1> byte{};
    while (quiet < kReadBackStartEmptyReads && noise < kReadBackStartNoiseLimit) {
        int n = session.link->read(byte);
        if (n < 0) {
            cause = FailureCause::PortGone;
            return BlockRead::Failed;
        }
        if (n == 1 && byte[0] == kReadBackStart) return BlockRead::Got;
        if (session.state.cancel.load()) return BlockRead::Cancelled;
        if (n == 0) {
            ++quiet;
        } else {
            ++noise;
        }
    }
    cause = FailureCause::WrongAnswer;
    return BlockRead::Failed;
}

// Asks for one block and decodes it into `buffer`. `valid` is the number of
// bytes, from the first, that arrived as two hexadecimal digits: a short or
// garbled answer leaves the rest unknown, never stale bytes of an earlier
// block. Failed (with `cause`) when the loader did not answer the request or
// never opened the block; Cancelled when the user stopped the job meanwhile.
BlockRead readBlock(Session& session, std::uint32_t address, std::array<std::uint8_t, 256>& buffer, std::size_t& valid,
                    FailureCause& cause) {
    const int sent = SendRecord(session, readRequest(address), 8);
    cause = SendFailure(session, sent);
    if (cause != FailureCause::None) return BlockRead::Failed;
    ReplyDetail reply;
    if (WaitReply(session, kAckByte, reply) != ReplyResult::ReplyOk) {
        cause = reply.cause;
        return BlockRead::Failed;
    }
    // An erase wait that saw the cancel returns as answered.
    if (session.state.cancel.load()) return BlockRead::Cancelled;
    if (BlockRead start = awaitReadBackStart(session, cause); start != BlockRead::Got) return start;
    buffer.fill(0);
    int got = session.link->read(buffer);
    if (got < 0) {
        cause = FailureCause::PortGone;
        return BlockRead::Failed;
    }
    valid = std::min(DecodeReadBack(buffer), static_cast<std::size_t>(got) / 2);
    return BlockRead::Got;
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
    if (state.cancel.load()) return CancelJob(job, JobStep::Handshake);

    std::array<std::uint8_t, 256> buffer{};
    // How the run stops, when it does.
    std::string ending;
    JobResult result;
    job.image.walk(opened->startSlot, [&](const ImageRecord& record) {
        const std::uint32_t address = record.address();
        int mismatches = 0;
        for (;;) {
            state.progress.store(static_cast<int>(address >> 12));
            state.setStatus(addressStatus(kVerifyingAt, address), StatusKind::Address);
            // The current address is the end of the block asked for.
            state.currentAddress.store(address + kRecordDataSize - 1);

            std::size_t valid = 0;
            FailureCause cause = FailureCause::None;
            switch (readBlock(job.session, address, buffer, valid, cause)) {
                case BlockRead::Got: break;
                case BlockRead::Failed:
                    ending = "Connecting Error33!";
                    result = {JobOutcome::Failed, JobStep::ReadRequest, cause};
                    return false;
                case BlockRead::Cancelled:
                    ending = kUserCanceled;
                    result = {JobOutcome::Cancelled, JobStep::ReadRequest, FailureCause::None};
                    return false;
            }
            std::size_t j = firstDifference(record.data(), buffer, valid);
            bool matched = j == kRecordDataSize;
            if (!matched && ++mismatches >= kMismatchLimit) {
                ending = addressStatus("Verify Error At: ", address + static_cast<std::uint32_t>(j));
                // A block cut short (the 'A' taken from among its digits, or
                // digits missing) says nothing of the flash: a wrong answer.
                const FailureCause why = j < valid ? FailureCause::ReadBackDiffers : FailureCause::WrongAnswer;
                result = {JobOutcome::Failed, JobStep::ReadBack, why};
                return false;
            }
            if (state.cancel.load()) {
                ending = kUserCanceled;
                result = {JobOutcome::Cancelled, JobStep::ReadBack, FailureCause::None};
                return false;
            }
            if (matched) return true;
        }
    });
    if (!ending.empty()) return FinishJob(job, result, ending);

    const std::uint32_t endTick = job.session.clock.tickMs();
    // As after the program's end line: the last block must be the loader's
    // last word, or some block may not have been the one asked for.
    if (const FailureCause after = NothingMoreComes(job.session); after != FailureCause::None) {
        return FailJob(job, "Connecting Error33!", JobStep::ReadRequest, after);
    }
    return FinishJob(job, {JobOutcome::Succeeded},
                     elapsedStatus("Data Verify OK!  Time Elapsed ", opened->startTick, endTick));
}

}  // namespace qelisp
