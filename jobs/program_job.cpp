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
    const char* ending = nullptr;  // the status the run stops with
    bool cancelled = false;

    bool exchange(std::string_view line, const char* failure, AfterAnswer after = AfterAnswer::HeedCancel) {
        return answered(SendLine(job.session, line), failure, after);
    }
    bool exchange(const CommandRecord& record, std::size_t n, const char* failure) {
        return answered(SendRecord(job.session, record, n), failure, AfterAnswer::HeedCancel);
    }

private:
    bool answered(int sent, const char* failure, AfterAnswer after) {
        bool cutShort = false;
        if (sent != 0 || WaitReply(job.session, kAckByte, cutShort) != ReplyOk) {
            ending = failure;
            return false;
        }
        cancelled = cutShort || (after == AfterAnswer::HeedCancel && job.session.state.cancel.load());
        if (cancelled) ending = kUserCanceled;
        return !cancelled;
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
    if (!run.exchange(kBeginLine, "Connecting Error!")) {
        return FailJob(job, run.ending, run.cancelled ? EndKind::Normal : EndKind::Silent);
    }

    long openPage = -1;
    job.image.walk(opened->startSlot, [&](const ImageRecord& record) {
        const std::uint32_t address = record.address();
        const long page = static_cast<long>(address >> 12);
        state.currentAddress.store(address);
        state.progress.store(static_cast<int>(page));
        state.setStatus(addressStatus("Writing Data To Address: ", address));

        if (page != openPage) {
            if (openPage != -1 && !run.exchange(kPageEndLine, "Connecting Error 2!")) return false;
            openPage = page;
            if (!run.exchange(pageSelect(address), 1, "Connecting Error 3!")) return false;
        }
        return run.exchange(dataRecord(record), kRecordDataSize, "Connecting Error 4!");
    });
    if (run.ending) return FailJob(job, run.ending);

    if (!run.exchange(kPageEndLine, "Connecting Error 2!", AfterAnswer::Finish) ||
        !run.exchange(kEndOfFileLine, "Connecting Error 1!", AfterAnswer::Finish)) {
        return FailJob(job, run.ending);
    }
    const std::uint32_t endTick = job.session.clock.tickMs();
    // The end line's answer must be the loader's last word: a byte after it
    // means some answer was not the one it seemed, and a line may have gone
    // unanswered.
    if (!NothingMoreComes(job.session)) return FailJob(job, "Connecting Error 1!");
    state.setStatus(elapsedStatus("Data Writed OK!  Time Elapsed ", opened->startTick, endTick));
    EndJob(state, job.beep);
    return 0;
}

}  // namespace qelisp
