// The robbery outcome: its gates, the objective, the eight sets of closing
// lines, and that it never runs twice in one robbery.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "encounter/conversations.h"
#include "encounter/host_trace.h"
#include "encounter/objectives.h"
#include "encounter/scripted_world.h"
#include "encounter/stages.h"

namespace homestead {
namespace {

using world::ExpectedLine;
using world::I;
using world::ScriptedWorld;
namespace op = world::op;

const Vector3 kCenter(0.0f, 0.0f, 0.0f);
const Vector3 kLoot(2.0f, 0.0f, 0.0f);
TEST(OutcomeTest, EveryCaseShowsTheObjectiveThenSaysItsClosingLines) {
  for (std::size_t c = 0; c < kOutcomeConversations.size(); ++c) {
    SCOPED_TRACE("case " + std::to_string(c));
    const std::vector<ExpectedLine> closing =
        world::LinesOf(kOutcomeConversations[c], Speakers{.player = world::kPlayer});
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    h.confronted = true;
    h.defenders = {w.AddPed(Vector3(1, 0, 0), true), w.AddPed(Vector3(2, 0, 0), true)};
    w.QueueRandom({static_cast<int32_t>(c)});
    world::QueueTopVariations(w, closing);

    RunRobberyOutcome(1);

    // The objective for three seconds, the case draw, then each line's
    // variation draw and the wait of its poll interval.
    std::vector<std::string> trace = {"SetObjectiveText", "ShowObjective", "wait 3000",
                                      "ClearObjective", "RandomIntInRange"};
    for (const ExpectedLine& line : closing) {
      trace.push_back("RandomIntInRange");
      trace.push_back("wait " + std::to_string(line.pollMs));
    }
    EXPECT_EQ(world::Trace({op::kSetObjectiveText, op::kShowObjective, op::kClearObjective,
                            op::kRandomIntInRange}),
              trace);
    EXPECT_EQ(w.objectiveText, kValuablesObjective);
    ASSERT_FALSE(w.draws.empty());
    EXPECT_EQ(w.draws[0].min, 0);
    EXPECT_EQ(w.draws[0].max, static_cast<int32_t>(kOutcomeConversations.size()));
    world::ExpectLines(w, 0, closing);
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
  for (int32_t answer : {static_cast<int32_t>(kOutcomeConversations.size()), -1}) {
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
