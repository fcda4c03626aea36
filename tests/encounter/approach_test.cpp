// The approach dialogue: its four conversations as the host hears them, the
// choice of two living speakers, and the runs that must say nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "encounter/conversations.h"
#include "encounter/host_trace.h"
#include "encounter/objectives.h"
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

// Occupants A, a body, B, a vanished one and C: the living are A, B and C.
struct Occupants {
  int32_t a, dead, b, gone, c;
};
Occupants PutOccupants(ScriptedWorld& w, Homestead& h) {
  Occupants o{};
  o.a = w.AddPed(Vector3(1, 0, 0));
  o.dead = w.AddPed(Vector3(2, 0, 0), /*dead=*/true);
  o.b = w.AddPed(Vector3(3, 0, 0));
  o.gone = w.AddPed(Vector3(4, 0, 0));
  o.c = w.AddPed(Vector3(5, 0, 0));
  w.Vanish(o.gone);
  h.defenders = {o.a, o.dead, o.b, o.gone, o.c};
  return o;
}

TEST(ApproachTest, EveryCaseSaysItsLines) {
  for (std::size_t c = 0; c < kApproachConversations.size(); ++c) {
    SCOPED_TRACE("case " + std::to_string(c));
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    const Occupants o = PutOccupants(w, h);
    // First speaker C (living index 2), then a redraw of C, then A.
    const std::vector<ExpectedLine> lines =
        world::LinesOf(kApproachConversations[c],
                       {.player = world::kPlayer, .firstOccupant = o.c, .secondOccupant = o.a});
    w.QueueRandom({2, 2, 0, static_cast<int32_t>(c)});
    world::QueueTopVariations(w, lines);

    RunApproachDialogue(1);

    world::ExpectLines(w, 0, lines);
    ASSERT_GE(w.draws.size(), 4u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(w.draws[i].min, 0);
      EXPECT_EQ(w.draws[i].max, 3) << "speakers are drawn from the living only";
    }
    EXPECT_EQ(w.draws[3].min, 0);
    EXPECT_EQ(w.draws[3].max, static_cast<int32_t>(kApproachConversations.size()));
    EXPECT_TRUE(h.approachDone);

    // The objective is posted, shown for a frame and cleared before anyone talks.
    const std::vector<std::string> trace =
        world::Trace({op::kSetObjectiveText, op::kShowObjective, op::kClearObjective,
                      op::kRandomIntInRange, op::kPlayAmbientSpeech});
    ASSERT_GE(trace.size(), 5u);
    EXPECT_THAT(std::vector<std::string>(trace.begin(), trace.begin() + 5),
                ElementsAre("SetObjectiveText", "ShowObjective", "wait 0", "ClearObjective",
                            "RandomIntInRange"));
    const auto texts = fake::FakeHook::Get().CallsOf(op::kSetObjectiveText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(fake::Text(texts[0].args[0]), kApproachObjective);
  }
}

TEST(ApproachTest, LivingListAsksDeathOnlyOfThoseThatExist) {
  ScriptedWorld w;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);
  const Occupants o = PutOccupants(w, h);

  RunApproachDialogue(1);

  std::vector<fake::Event> checks;
  for (const fake::Event& e : fake::FakeHook::Get().Calls()) {
    if (e.hash == op::kDoesEntityExist || e.hash == op::kIsEntityDead) checks.push_back(e);
  }
  world::ExpectCalls(checks, {
                                 {op::kDoesEntityExist, {I(o.a)}},
                                 {op::kIsEntityDead, {I(o.a)}},
                                 {op::kDoesEntityExist, {I(o.dead)}},
                                 {op::kIsEntityDead, {I(o.dead)}},
                                 {op::kDoesEntityExist, {I(o.b)}},
                                 {op::kIsEntityDead, {I(o.b)}},
                                 {op::kDoesEntityExist, {I(o.gone)}},
                                 {op::kDoesEntityExist, {I(o.c)}},
                                 {op::kIsEntityDead, {I(o.c)}},
                             });
  // Whatever the draws, the body and the vanished one never speak.
  for (const world::SpokenLine& line : w.spoken) {
    EXPECT_NE(line.ped, o.dead);
    EXPECT_NE(line.ped, o.gone);
  }
}

TEST(ApproachTest, FewerThanTwoLivingSayNothingUntilASecondLives) {
  ScriptedWorld w;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);
  RunApproachDialogue(1);  // nobody on record

  const int32_t alive = w.AddPed(Vector3(1, 0, 0));
  const int32_t body = w.AddPed(Vector3(2, 0, 0), /*dead=*/true);
  h.defenders = {body, alive};
  RunApproachDialogue(1);
  RunApproachDialogue(1);

  EXPECT_FALSE(h.approachDone);
  EXPECT_EQ(world::CountOf(op::kSetObjectiveText), 0u);
  EXPECT_TRUE(w.draws.empty());
  EXPECT_TRUE(w.spoken.empty());
  EXPECT_TRUE(world::Waits().empty());

  // Exactly two: both speak, in the order of the first draw.
  h.defenders.push_back(w.AddPed(Vector3(3, 0, 0)));
  w.QueueRandom({1, 1, 0, 0});  // first, a redraw of the same, second, case
  RunApproachDialogue(1);
  EXPECT_TRUE(h.approachDone);
  ASSERT_EQ(w.spoken.size(), 3u);
  EXPECT_EQ(w.spoken[1].ped, h.defenders[2]);
  EXPECT_EQ(w.spoken[2].ped, alive);
  EXPECT_EQ(w.draws.size(), 7u);  // first, two seconds, case, three variations

  // Done: no second run while the flag stands.
  const std::size_t lines = w.spoken.size();
  RunApproachDialogue(1);
  EXPECT_EQ(w.spoken.size(), lines);
  EXPECT_EQ(world::CountOf(op::kSetObjectiveText), 1u);
}

TEST(ApproachTest, OutOfRangeDrawsSayNothing) {
  const std::vector<std::vector<int32_t>> answers = {
      {3},     // first speaker past the three living
      {-1},    // first speaker below
      {0, 7},  // second speaker past the list
      {0, 1, static_cast<int32_t>(kApproachConversations.size())},  // case past the last
      {0, 1, -2},                                                   // case below
  };
  for (const std::vector<int32_t>& a : answers) {
    SCOPED_TRACE("answers starting with " + std::to_string(a[0]) + ", " + std::to_string(a.size()) +
                 " scripted");
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    PutOccupants(w, h);
    w.randomAnswers.assign(a.begin(), a.end());

    RunApproachDialogue(1);

    EXPECT_TRUE(w.spoken.empty());
  }
}

}  // namespace
}  // namespace homestead
