// Each way a job can end maps to one reason, told apart where the status
// text is the same ("Connecting Error 4!" for silence, a pulled adapter or
// a stray byte).
#include "jobs/failure_hint.h"

#include <gtest/gtest.h>

namespace qelisp {
namespace {

TEST(FailureHint, EachEndingHasOneReasonAndAHintWhereItFailed) {
    using O = JobOutcome;
    using S = JobStep;
    using C = FailureCause;
    struct Case {
        JobKind kind;
        JobResult result;
        const char* reason;
    };
    const Case cases[] = {
        {JobKind::Program, {O::Succeeded}, ""},
        {JobKind::Program, {O::Failed, S::Handshake, C::NoAnswer}, "no-answer"},
        {JobKind::Verify, {O::Failed, S::ReadRequest, C::NoAnswer}, "no-answer"},
        {JobKind::Program, {O::Failed, S::Handshake, C::WrongAnswer}, "wrong-answer"},
        {JobKind::Program, {O::Failed, S::BeginLine, C::StrayBytes}, "wrong-answer"},
        {JobKind::Program, {O::Failed, S::DataRecord, C::PortGone}, "port-gone"},
        {JobKind::Program, {O::Failed, S::DataRecord, C::NoAnswer}, "cut-off"},
        {JobKind::Program, {O::Failed, S::EndLine, C::StrayBytes}, "cut-off"},
        {JobKind::Program, {O::Failed, S::BeginLine, C::EraseNeverEnded}, "erase-never-ended"},
        {JobKind::Verify, {O::Failed, S::ReadBack, C::ReadBackDiffers}, "read-back-differs"},
        // The '.' came and then no 'A', or a block cut short.
        {JobKind::Verify, {O::Failed, S::ReadRequest, C::WrongAnswer}, "wrong-answer"},
        {JobKind::Verify, {O::Failed, S::ReadBack, C::WrongAnswer}, "wrong-answer"},
        {JobKind::Program, {O::Cancelled, S::PageSelect}, "cut-off"},
        {JobKind::Program, {O::Cancelled, S::Handshake}, "cancelled"},
        {JobKind::Program, {O::Cancelled, S::BeginLine}, "cut-off"},
        {JobKind::Verify, {O::Cancelled, S::ReadBack}, "cancelled"},
        {JobKind::Program, {O::Failed, S::Handshake, C::NoPort}, "no-port"},
        {JobKind::Verify, {O::Failed, S::StartRecord, C::None}, "no-firmware"},
    };
    for (const Case& c : cases) {
        const FailureReason reason = failureReason(c.kind, c.result);
        EXPECT_EQ(reasonName(reason), c.reason) << static_cast<int>(c.result.step);
        EXPECT_EQ(hintText(reason).empty(), reason == FailureReason::None) << c.reason;
    }
}

// A port whose job never ran has its reason from the same table, and a hint
// that says what to do about the port.
TEST(FailureHint, APortThatWasNotUsedHasAReasonAndWhatToDo) {
    struct Case {
        FailureReason reason;
        const char* name;
        const char* hintSays;
    };
    const Case cases[] = {
        {FailureReason::NotFound, "not-found", "'qelisp-cli ports'"},
        {FailureReason::InUse, "in-use", "close it"},
        {FailureReason::NoPermission, "no-permission", "join the port's group"},
        {FailureReason::NeverAppeared, "never-appeared", "--wait"},
        {FailureReason::NotStarted, "not-started", "not touched"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reasonName(c.reason), c.name);
        EXPECT_NE(hintText(c.reason).find(c.hintSays), std::string_view::npos) << hintText(c.reason);
    }
}

}  // namespace
}  // namespace qelisp
