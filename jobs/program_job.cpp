// The programming run: handshake, the begin line (which may start an erase),
// then per 4 KB page a page select and the page's data records, a page end
// between pages and after the last, and the end line last of all.
#include "jobs/program_job.h"

#include "jobs/job_opening.h"
#include "jobs/status_text.h"
#include "protocol/command_record.h"
#include "protocol/reply.h"

namespace qelisp {

namespace {

struct Run {
    JobContext& job;

    bool sendAndAck(std::string_view line) {
        return SendLine(job.session, line) == 0 && WaitReply(job.session, kAckByte) == ReplyOk;
    }
    bool sendAndAck(const CommandRecord& record, std::size_t n) {
        return SendRecord(job.session, record, n) == 0 && WaitReply(job.session, kAckByte) == ReplyOk;
    }
};

CommandRecord pageSelect(std::uint32_t address) {
    CommandRecord record;
    record.count = 1;
    record.type = kTypePageSelect;
    record.data[0] = static_cast<std::uint8_t>((address >> 12) & 0xFF);
    return record;
}

CommandRecord dataRecord(const ImageRecord& image) {
    CommandRecord record;
    record.count = static_cast<std::uint8_t>(kRecordDataSize);
    record.addressHigh = static_cast<std::uint8_t>((image.address() >> 8) & 0xFF);
    record.addressLow = static_cast<std::uint8_t>(image.address() & 0xFF);
    record.type = kTypeData;
    auto data = image.data();
    std::copy(data.begin(), data.end(), record.data.begin());
    return record;
}

}  // namespace

int ProgramJob(JobContext& job) {
    JobState& state = job.session.state;
    Run run{job};

    auto opened = OpenJob(job, "Connecting Error!");
    if (!opened) return 0;
    // A begin line the loader refuses ends the job quietly: no beep, and the
    // bar stays where it was.
    if (!run.sendAndAck(kBeginLine)) return FailJob(job, "Connecting Error!", EndKind::Silent);
    if (state.cancel.load()) return FailJob(job, "User Canceled");

    long openPage = -1;
    const char* failure = nullptr;
    job.image.walk(opened->startSlot, [&](const ImageRecord& record) {
        const std::uint32_t address = record.address();
        const long page = static_cast<long>(address >> 12);
        state.currentAddress.store(address);
        state.progress.store(static_cast<int>(page));
        state.setStatus(addressStatus("Writing Data To Address: ", address));

        if (page != openPage) {
            if (openPage != -1 && !run.sendAndAck(kPageEndLine)) {
                failure = "Connecting Error 2!";
                return false;
            }
            openPage = page;
            if (!run.sendAndAck(pageSelect(address), 1)) {
                failure = "Connecting Error 3!";
                return false;
            }
        }
        if (!run.sendAndAck(dataRecord(record), kRecordDataSize)) {
            failure = "Connecting Error 4!";
            return false;
        }
        if (state.cancel.load()) {
            failure = "User Canceled";
            return false;
        }
        return true;
    });
    if (failure) return FailJob(job, failure);

    if (!run.sendAndAck(kPageEndLine)) return FailJob(job, "Connecting Error 2!");
    if (!run.sendAndAck(kEndOfFileLine)) return FailJob(job, "Connecting Error 1!");

    // A cancel that came during the last erase wait must not end in a
    // success message: the user asked to stop and may have seen
    // "User Canceled!".
    if (state.cancel.load()) return FailJob(job, "User Canceled");

    state.setStatus(elapsedStatus("Data Writed OK!  Time Elapsed ", opened->startTick, job.session.clock.tickMs()));
    EndJob(state, job.beep);
    return 0;
}

}  // namespace qelisp
