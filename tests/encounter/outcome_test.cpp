// The robbery outcome: its gates, the objective, the eight sets of closing
// lines, and that it never runs twice in one robbery.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "encounter/host_trace.h"
#include "encounter/scripted_world.h"
#include "encounter/stages.h"

namespace homestead {
namespace {

using ::testing::ElementsAre;
using world::ExpectedLine;
using world::I;
using world::ScriptedWorld;
namespace op = world::op;

const Vector3 kCenter(0.0f, 0.0f, 0.0f);
const Vector3 kLoot(2.0f, 0.0f, 0.0f);
constexpr const char* kValuables = "Search for ~COLOR_YELLOW~valuables~s~";
constexpr int32_t kP = world::kPlayer;

const std::array<std::vector<ExpectedLine>, 8> kClosing = {{
    {{kP, "RE_BTR_FTH_V2_PLY_KILL_PRIS", 1, 2, 6000},
     {kP, "PLAYER_ENTER_SHOP_CATALOG", 1, 5, 5000},
     {kP, "AMBUSH_BRP_V3_POST_FINAL", 1, 2, 0}},
    {{kP, "AMBUSH_BRT_ROBOVER_KNOWN", 1, 2, 6000},
     {kP, "RE_ETE_STD_V4_PLYFINAL_FEUD", 1, 2, 5000},
     {kP, "AMBUSH_BRT_V2_COMBATOVER_KNOWN", 1, 2, 0}},
    {{kP, "RE_CG_LWL_V1_PLYFINAL_HELPTHENSTOP_LOW", 1, 2, 6000},
     {kP, "RE_CG_LWL_V1_PLYFINAL_HELPTHENSTOP_HIGH", 1, 2, 5000},
     {kP, "AMBUSH_BRT_V2_COMBATOVER_KNOWN", 1, 2, 0}},
    {{kP, "RE_CW_MTN_V1_PLY_FINAL_LOW", 1, 2, 6000},
     {kP, "RE_CA_MTN_V1_PLAYER_FINAL", 1, 2, 5000},
     {kP, "RE_LSF_SCM_V2_PLYFINAL_GOTPAID", 1, 2, 0}},
    {{kP, "RE_BUB_V1_PLYFINAL", 1, 2, 6000},
     {kP, "RE_LSF_BIV_V2_PLYFINAL_GOTPAID", 1, 2, 6000},
     {kP, "RE_LSF_SCM_V2_PLYFINAL_GOTPAID", 1, 2, 0}},
    {{kP, "RE_PP_STD_V2_RETRIEVE", 1, 2, 6000},
     {kP, "RE_PP_STD_V1_RETRIEVE", 1, 2, 5000},
     {kP, "RE_PP_VHT_V1_RETRIEVE", 1, 2, 0}},
    {{kP, "RE_LSF_SCM_V1_PLYFINAL_LETSEE", 1, 2, 6000},
     {kP, "RE_LSF_BIV_V2_IDIOTS_HIGH", 1, 2, 6000},
     {kP, "RE_LSF_SCM_V2_IDIOTS_HIGH", 1, 2, 0}},
    {{kP, "RE_ODT_VAL_V2_PLYFINAL", 1, 2, 6000},
     {kP, "RE_PP_VHT_V1_RETRIEVE", 1, 2, 6000},
     {kP, "WON_FIGHT_BANDITOS_DOM", 1, 3, 0}},
}};

TEST(OutcomeTest, EveryCaseShowsTheObjectiveThenSaysItsClosingLines) {
  for (int32_t c = 0; c < 8; ++c) {
    SCOPED_TRACE("case " + std::to_string(c));
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    h.confronted = true;
    h.defenders = {w.AddPed(Vector3(1, 0, 0), true), w.AddPed(Vector3(2, 0, 0), true)};
    w.QueueRandom({c});
    world::QueueTopVariations(w, kClosing[c]);

    RunRobberyOutcome(1);

    EXPECT_THAT(world::Trace({op::kSetObjectiveText, op::kShowObjective, op::kClearObjective,
                              op::kRandomIntInRange}),
                ElementsAre("SetObjectiveText", "ShowObjective", "wait 3000", "ClearObjective",
                            "RandomIntInRange", "RandomIntInRange",
                            "wait " + std::to_string(kClosing[c][0].pollMs), "RandomIntInRange",
                            "wait " + std::to_string(kClosing[c][1].pollMs), "RandomIntInRange",
                            "wait " + std::to_string(kClosing[c][2].pollMs)));
    EXPECT_EQ(w.objectiveText, kValuables);
    ASSERT_FALSE(w.draws.empty());
    EXPECT_EQ(w.draws[0].min, 0);
    EXPECT_EQ(w.draws[0].max, 8);
    world::ExpectLines(w, 0, kClosing[c]);
    EXPECT_TRUE(h.outcomeDone);
  }
}

TEST(OutcomeTest, GatesAreAskedInOrderAndStopAtTheFirstUnmet) {
  struct Case {
    const char* name;
    bool confronted;
    bool outcomeDone;
    std::vector<bool> dead;
    std::size_t deathQuestions;
    bool runs;
  };
  const std::vector<Case> cases = {
      {"not confronted", false, false, {true, true}, 0, false},
      {"second of three alive", true, false, {true, false, true}, 2, false},
      {"already done", true, true, {true, true, true}, 3, false},
      {"empty list", true, false, {}, 0, true},
      {"all dead", true, false, {true, true}, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedWorld w;
    w.speechPolls = 0;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    h.confronted = c.confronted;
    h.outcomeDone = c.outcomeDone;
    for (bool dead : c.dead) h.defenders.push_back(w.AddPed(Vector3(1, 0, 0), dead));

    RunRobberyOutcome(1);

    const std::vector<fake::Event> calls = fake::FakeHook::Get().Calls();
    std::vector<world::ExpectedCall> questions;
    for (std::size_t i = 0; i < c.deathQuestions; ++i) {
      questions.push_back({op::kIsEntityDead, {I(h.defenders[i])}});
    }
    const std::size_t asked = std::min(calls.size(), c.deathQuestions);
    world::ExpectCalls({calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(asked)},
                       questions);
    if (c.runs) {
      EXPECT_EQ(w.spoken.size(), 3u);
      EXPECT_TRUE(h.outcomeDone);
    } else {
      EXPECT_EQ(calls.size(), c.deathQuestions) << "nothing beyond the gates";
      EXPECT_EQ(h.outcomeDone, c.outcomeDone);
    }
  }
}

TEST(OutcomeTest, NeverRunsTwice) {
  ScriptedWorld w;
  w.speechPolls = 0;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);
  h.confronted = true;

  RunRobberyOutcome(1);
  RunRobberyOutcome(1);

  EXPECT_EQ(world::CountOf(op::kSetObjectiveText), 1u);
  EXPECT_EQ(w.spoken.size(), 3u);
}

TEST(OutcomeTest, OutOfRangeCaseSaysNothing) {
  for (int32_t answer : {8, -1}) {
    SCOPED_TRACE("host answers " + std::to_string(answer));
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    h.confronted = true;
    w.QueueRandom({answer});

    RunRobberyOutcome(1);

    EXPECT_TRUE(w.spoken.empty());
  }
}

}  // namespace
}  // namespace homestead
