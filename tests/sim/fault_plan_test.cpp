// --fault TARGET:KIND parsing and look-up.
#include "sim/fault_plan.h"

#include <gtest/gtest.h>

namespace qelisp::sim {
namespace {

TEST(FaultPlan, ParsesEveryKindForLines) {
    const std::pair<const char*, FaultKind> cases[] = {
        {"silence", FaultKind::Silence},     {"wrong", FaultKind::Wrong},
        {"erase", FaultKind::Erase},         {"erase-forever", FaultKind::EraseForever},
        {"erase-bad", FaultKind::EraseBad},  {"corrupt", FaultKind::Corrupt},
        {"noise", FaultKind::Noise},         {"no-a", FaultKind::NoA},
        {"short", FaultKind::Short},         {"hangup", FaultKind::HangUp},
    };
    FaultPlan plan;
    std::uint64_t line = 1;
    for (const auto& [name, kind] : cases) {
        std::string error;
        ASSERT_TRUE(plan.add(std::to_string(line) + ":" + name, error)) << name << ": " << error;
        EXPECT_EQ(plan.forLine(line), kind) << name;
        EXPECT_STREQ(faultKindName(kind), name);
        ++line;
    }
    EXPECT_FALSE(plan.forLine(line).has_value());
    EXPECT_FALSE(plan.forHandshake(1).has_value());
}

TEST(FaultPlan, LinesAndHandshakesAreSeparateTargets) {
    FaultPlan plan;
    std::string error;
    EXPECT_TRUE(plan.empty());
    ASSERT_TRUE(plan.add("u2:wrong", error)) << error;
    ASSERT_TRUE(plan.add("2:silence", error)) << error;
    ASSERT_TRUE(plan.add("12345678901:hangup", error)) << error;
    EXPECT_FALSE(plan.empty());
    EXPECT_EQ(plan.forHandshake(2), FaultKind::Wrong);
    EXPECT_EQ(plan.forLine(2), FaultKind::Silence);
    EXPECT_EQ(plan.forLine(12345678901u), FaultKind::HangUp);
    EXPECT_FALSE(plan.forHandshake(1).has_value());
    EXPECT_FALSE(plan.forLine(1).has_value());
}

TEST(FaultPlan, HandshakeTakesOnlyKindsThatMeanSomethingForIt) {
    for (const char* ok : {"u1:silence", "u1:wrong", "u1:erase", "u1:hangup", "u1:erase-forever", "u1:erase-bad"}) {
        FaultPlan plan;
        std::string error;
        EXPECT_TRUE(plan.add(ok, error)) << ok << ": " << error;
    }
    for (const char* bad : {"u1:corrupt", "u1:noise", "u1:no-a", "u1:short"}) {
        FaultPlan plan;
        std::string error;
        EXPECT_FALSE(plan.add(bad, error)) << bad;
        EXPECT_NE(error.find("read request"), std::string::npos) << error;
    }
}

TEST(FaultPlan, RefusesMalformedTexts) {
    for (const char* bad : {"", "5", "5:", ":silence", "0:silence", "u0:wrong", "u:wrong", "x:silence",
                            "-1:silence", "5 :silence", "5:Silence", "5:bogus", "1.5:wrong", "U1:wrong",
                            "99999999999999999999999:wrong"}) {
        FaultPlan plan;
        std::string error;
        EXPECT_FALSE(plan.add(bad, error)) << "'" << bad << "'";
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_TRUE(plan.empty()) << bad;
    }
}

TEST(FaultPlan, OneFaultPerTarget) {
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(plan.add("3:silence", error));
    EXPECT_FALSE(plan.add("3:wrong", error));
    EXPECT_NE(error.find("already"), std::string::npos) << error;
    EXPECT_EQ(plan.forLine(3), FaultKind::Silence);
}

}  // namespace
}  // namespace qelisp::sim
