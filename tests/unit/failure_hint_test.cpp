// Each way a job can end maps to one reason, told apart where the status
// text is the same ("Connecting Error 4!" for silence, a pulled adapter or
// a stray byte).
#include "jobs/failure_hint.h"
#include "jobs/window_hint.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

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
        {FailureReason::ServerNotFound, "server-not-found", "host name"},
        {FailureReason::ConnectionRefused, "connection-refused", "ser2net"},
        {FailureReason::NoServer, "no-server", "firewall"},
        {FailureReason::NotRfc2217, "not-rfc2217", "tcp://"},
        {FailureReason::LineSettingsRefused, "line-settings-refused", "115200 8N1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reasonName(c.reason), c.name);
        EXPECT_NE(hintText(c.reason).find(c.hintSays), std::string_view::npos) << hintText(c.reason);
    }
}

// Across a network the cable, the holder and the port list are the server's:
// no hint sends the user to an adapter or to the local port list.
TEST(FailureHint, ANetworkPortIsNeverSentToAnAdapter) {
    EXPECT_EQ(portPlace("RFC2217://bench3:7000"), PortPlace::Network);
    EXPECT_EQ(portPlace("tcp://[::1]:7001"), PortPlace::Network);
    EXPECT_EQ(portPlace("/dev/ttyUSB0"), PortPlace::Local);
    EXPECT_EQ(portPlace("COM3"), PortPlace::Local);
    for (int i = 1; i <= static_cast<int>(FailureReason::LineSettingsRefused); ++i) {
        const auto reason = static_cast<FailureReason>(i);
        const std::string_view hint = hintText(reason, PortPlace::Network);
        SCOPED_TRACE(reasonName(reason));
        EXPECT_FALSE(hint.empty());
        EXPECT_EQ(hint.find("adapter"), std::string_view::npos) << hint;
        EXPECT_EQ(hint.find("qelisp-cli ports"), std::string_view::npos) << hint;
    }
    EXPECT_NE(hintText(FailureReason::InUse, PortPlace::Network).find("another client"), std::string_view::npos);
    EXPECT_NE(hintText(FailureReason::PortGone, PortPlace::Network).find("connection to the server"),
              std::string_view::npos);
}

// The window says the same in sentences for someone at the window: every
// reason has its hint, and none sends the user to a console, a command or an
// option; the port box is where ports are picked.
TEST(FailureHint, TheWindowSaysWhatToDoWithoutAConsole) {
    const int last = static_cast<int>(FailureReason::LineSettingsRefused);
    for (int i = 0; i <= last; ++i) {
        for (PortPlace place : {PortPlace::Local, PortPlace::Network}) {
            const auto reason = static_cast<FailureReason>(i);
            const std::string hint = windowHint(reason, place);
            SCOPED_TRACE(std::string(reasonName(reason)) + (place == PortPlace::Network ? " network" : " local"));
            EXPECT_EQ(hint.empty(), reason == FailureReason::None);
            if (hint.empty()) continue;
            EXPECT_TRUE(std::isupper(static_cast<unsigned char>(hint.front())) &&
                        (hint.back() == '.' || hint.back() == '?'))
                << hint;
            for (const char* console : {"qelisp-cli", "--", "sudo", "usermod", "$USER", "ser2net"}) {
                EXPECT_EQ(hint.find(console), std::string::npos) << hint;
            }
            if (place == PortPlace::Network) {
                EXPECT_EQ(hint.find("adapter"), std::string::npos) << hint;
            }
        }
    }
    EXPECT_NE(windowHint(FailureReason::NoPermission, PortPlace::Local, "uucp").find("group 'uucp'"),
              std::string::npos);
    EXPECT_NE(windowHint(FailureReason::NoPermission).find("group 'dialout'"), std::string::npos);
    EXPECT_NE(windowHint(FailureReason::NotFound).find("port box"), std::string::npos);
    EXPECT_EQ(everyWindowHint().size(), 2u * static_cast<std::size_t>(last));
}

}  // namespace
}  // namespace qelisp
