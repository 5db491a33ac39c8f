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

// Whether a cancel seen after a line was answered stops the run. The last
// two lines close the update: once the loader has answered them, stopping
// would only leave it unfinished.
enum class AfterAnswer { HeedCancel, Finish };

// One command line at a time: send it, wait for its own answer, then look
// at the cancel flag. An erase wait that saw the cancel returns as answered,
// though the line never was: that always stops the run.
struct Run {
    JobContext& job;
    // How the run stops, when it does: the status text and the result.
    const char* ending = nullptr;
    JobResult result;

    bool exchange(std::string_view line, JobStep step, const char* failure,
                  AfterAnswer after = AfterAnswer::HeedCancel) {
        return answered(SendLine(job.session, line), step, failure, after);
    }
    bool exchange(const CommandRecord& record, std::size_t n, JobStep step, const char* failure) {
        return answered(SendRecord(job.session, record, n), step, failure, AfterAnswer::HeedCancel);
    }
    int stop() { return FinishJob(job, result, ending); }

private:
    bool answered(int sent, JobStep step, const char* failure, AfterAnswer after) {
        ReplyDetail reply;
        FailureCause cause = SendFailure(job.session, sent);
        if (sent == kSendOk && WaitReply(job.session, kAckByte, reply) != ReplyResult::ReplyOk) cause = reply.cause;
        if (cause != FailureCause::None) {
            ending = failure;
            result = {JobOutcome::Failed, step, cause};
            return false;
        }
        if (reply.cancelled || (after == AfterAnswer::HeedCancel && job.session.state.cancel.load())) {
            ending = kUserCanceled;
            result = {JobOutcome::Cancelled, step, FailureCause::None};
            return false;
        }
        return true;
    }
};

CommandRecord pageSelect(std::uint32_t address) {
    CommandRecord record;
    record.count = 1;
    record.type = RecordType::PageSelect;
    record.data[0] = static_cast<std::uint8_t>((address >> 12) & 0xFF);
    return record;
}

CommandRecord dataRecord(const ImageRecord& image) {
    CommandRecord record;
    record.count = static_cast<std::uint8_t>(kRecordDataSize);
    record.addressHigh = static_cast<std::uint8_t>((image.address() >> 8) & 0xFF);
    record.addressLow = static_cast<std::uint8_t>(image.address() & 0xFF);
    record.type = RecordType::Data;
    auto data = image.data();
    std::copy(data.begin(), data.end(), record.data.begin());
    return record;
}

}  // namespace

int ProgramJob(JobContext& job) {
    JobState& state = job.session.state;
    Run run{job, nullptr, {}};

    auto opened = OpenJob(job, "Connecting Error!");
    if (!opened) return 0;
    // A begin line the loader refuses ends the job quietly: no beep, and the
    // bar stays where it was.
    if (!run.exchange(kBeginLine, JobStep::BeginLine, "Connecting Error!")) {
        return FinishJob(job, run.result, run.ending,
                         run.result.outcome == JobOutcome::Cancelled ? EndKind::Normal : EndKind::Silent);
    }

    long openPage = -1;
    job.image.walk(opened->startSlot, [&](const ImageRecord& record) {
        const std::uint32_t address = record.address();
        const long page = static_cast<long>(address >> 12);
        state.currentAddress.store(address);
        state.progress.store(static_cast<int>(page));
        state.setStatus(addressStatus(kWritingAt, address), StatusKind::Address);

        if (page != openPage) {
            if (openPage != -1 && !run.exchange(kPageEndLine, JobStep::PageEnd, "Connecting Error 2!")) return false;
            openPage = page;
            if (!run.exchange(pageSelect(address), 1, JobStep::PageSelect, "Connecting Error 3!")) return false;
        }
        return run.exchange(dataRecord(record), kRecordDataSize, JobStep::DataRecord, "Connecting Error 4!");
    });
    if (run.ending) return run.stop();

    if (!run.exchange(kPageEndLine, JobStep::PageEnd, "Connecting Error 2!", AfterAnswer::Finish) ||
        !run.exchange(kEndOfFileLine, JobStep::EndLine, "Connecting Error 1!", AfterAnswer::Finish)) {
        return run.stop();
    }
    const std::uint32_t endTick = job.session.clock.tickMs();
    // The end line's answer must be the loader's last word: a byte after it
    // means some answer was not the one it seemed, and a line may have gone
    // unanswered.
    if (const FailureCause after = NothingMoreComes(job.session); after != FailureCause::None) {
        return FailJob(job, "Connecting Error 1!", JobStep::EndLine, after);
    }
    return FinishJob(job, {JobOutcome::Succeeded},
                     elapsedStatus("Data Writed OK!  Time Elapsed ", opened->startTick, endTick));
}

}  // namespace qelisp
