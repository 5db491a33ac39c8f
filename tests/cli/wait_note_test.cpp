// What the note after a run says of the answers' wait beyond the wire: an
// adapter's latency timer on a local port, the round trip on a network port,
// and the server's missing nodelay when answers came held back.
#include "cli/records/wait_note.h"

#include <gtest/gtest.h>

namespace qelisp::cli {
namespace {

TEST(WaitNote, SaysWhatTheWaitIsAndWhatToChange) {
    struct Case {
        const char* what;
        bool network;
        double perAnswerMs;
        std::uint64_t heldBack;
        bool noted;
        const char* says;    // in the text
        const char* advice;  // in the advice ("" for none)
    };
    const Case cases[] = {
        {"a fast local port", false, 0.4, 0, false, "", ""},
        {"an adapter's 16 ms timer", false, 16.0, 0, true, "latency timer", "low-latency"},
        {"a network on loopback", true, 0.3, 0, true, "round trip to the server", ""},
        {"a server without nodelay", true, 38.0, 3700, true, "pieces about 40 ms apart", "nodelay"},
        {"a few stalls of the network's own", true, 0.6, 5, true, "round trip", ""},
        {"ser2net's chardelay", true, 4.2, 0, true, "round trip", "chardelay: false"},
    };
    constexpr double kAnswers = 3779;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JobRecord record;
        record.network = c.network;
        record.extraWaitMs = c.perAnswerMs;
        record.extraWaitSeconds = c.perAnswerMs * kAnswers / 1000;
        record.heldBackAnswers = c.heldBack;
        const auto note = waitNote({record}, "the low-latency fix");
        ASSERT_EQ(note.has_value(), c.noted);
        if (!note) continue;
        EXPECT_NE(note->text.find(c.says), std::string::npos) << note->text;
        EXPECT_EQ(note->text.find("adapter") == std::string::npos, c.network) << note->text;
        if (*c.advice) {
            EXPECT_NE(note->advice.find(c.advice), std::string::npos) << note->advice;
        } else {
            EXPECT_EQ(note->advice, "");
        }
        EXPECT_NEAR(note->perAnswerMs, c.perAnswerMs, 0.01);
    }
}

}  // namespace
}  // namespace qelisp::cli
