// Defender reactions: counting the living, the last one's surrender, flight
// and pursuit, and the hand-over to the outcome.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "encounter/conversations.h"
#include "encounter/host_trace.h"
#include "encounter/objectives.h"
#include "encounter/scripted_world.h"
#include "encounter/stages.h"

namespace homestead {
namespace {

using ::testing::ElementsAre;
using world::ExpectedLine;
using world::F;
using world::I;
using world::kAnyArg;
using world::S;
using world::ScriptedWorld;
namespace op = world::op;

const Vector3 kCenter(0.0f, 0.0f, 0.0f);
const Vector3 kLoot(2.0f, 0.0f, 0.0f);
constexpr int32_t kP = world::kPlayer;

// A homestead whose occupants are a body and, ten metres from the player, the
// last living one with his two blips (on guard, and enemy).
struct Scene {
  Homestead* h;
  int32_t body;
  int32_t last;
};
Scene LastOneStanding(ScriptedWorld& w, bool confronted = true) {
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);
  h.confronted = confronted;
  const int32_t body = w.AddPed(Vector3(3.0f, 0.0f, 0.0f), /*dead=*/true);
  const int32_t last = w.AddPed(Vector3(10.0f, 0.0f, 0.0f));
  w.AddEntityBlip(last, world::TextHash("BLIP_STYLE_ENEMY"));
  w.AddEntityBlip(last, world::TextHash("BLIP_STYLE_ENEMY"));
  h.defenders = {body, last};
  return {&h, body, last};
}

TEST(ReactionsTest, EverySurrenderAndPartingCaseSaysItsLines) {
  for (std::size_t k = 0; k < kPartingConversations.size(); ++k) {
    const std::size_t surrender = k % kSurrenderConversations.size();
    SCOPED_TRACE("surrender case " + std::to_string(surrender) + ", parting case " +
                 std::to_string(k));
    ScriptedWorld w;
    const Scene s = LastOneStanding(w, /*confronted=*/false);
    const Speakers speakers{.player = world::kPlayer, .lastDefender = s.last};
    const std::vector<ExpectedLine> talk =
        world::LinesOf(kSurrenderConversations[surrender], speakers);
    const std::vector<ExpectedLine> parting = world::LinesOf(kPartingConversations[k], speakers);
    w.QueueRandom({static_cast<int32_t>(surrender)});
    world::QueueTopVariations(w, talk);
    w.QueueRandom({static_cast<int32_t>(k)});
    world::QueueTopVariations(w, parting);

    UpdateDefenderReactions(1);

    std::vector<ExpectedLine> all = talk;
    all.insert(all.end(), parting.begin(), parting.end());
    world::ExpectLines(w, 0, all);
    ASSERT_GE(w.draws.size(), talk.size() + 2);
    EXPECT_EQ(w.draws[0].max, static_cast<int32_t>(kSurrenderConversations.size()));
    EXPECT_EQ(w.draws[talk.size() + 1].min, 0);
    EXPECT_EQ(w.draws[talk.size() + 1].max, static_cast<int32_t>(kPartingConversations.size()));
    // He ran beyond 60 m and is gone from the world and the list.
    EXPECT_FALSE(w.Exists(s.last));
    EXPECT_THAT(s.h->defenders, ElementsAre(s.body));
  }
}

TEST(ReactionsTest, SurrenderRemovesBothBlipsThenRaisesHandsAndFleesFromWhereHeStood) {
  ScriptedWorld w;
  const Scene s = LastOneStanding(w);
  const std::vector<int32_t> blips = w.BlipsOf(s.last);
  // The host names a different blip on each lookup.
  int lookups = 0;
  w.intercept = [&](uint64_t hash, const std::vector<uint64_t>&) -> std::optional<fake::Result> {
    if (hash != op::kGetBlipFromEntity) return std::nullopt;
    return fake::Answer(static_cast<uint32_t>(blips[lookups++ % 2]));
  };
  // He shuffles about while he talks; the flight starts from where he stood.
  w.onFrame = [&](uint32_t) {
    if (w.Exists(s.last) && w.At(s.last).task == world::Task::kHandsUp) {
      w.At(s.last).position.y += 1.0f;
    }
  };

  UpdateDefenderReactions(1);

  std::vector<fake::Event> actions;
  for (const fake::Event& e : fake::FakeHook::Get().Calls()) {
    if (e.hash == op::kTaskFleeFrom) {
      actions.push_back(e);
      break;
    }
    if (e.hash != op::kHashKey && e.hash != op::kRandomIntInRange &&
        e.hash != op::kPlayAmbientSpeech && e.hash != op::kIsAnySpeechPlaying) {
      actions.push_back(e);
    }
  }
  const int32_t d = s.last;
  world::ExpectCalls(actions, {
                                  {op::kPlayerPedId, {}},
                                  {op::kIsEntityDead, {I(s.body)}},
                                  {op::kIsEntityDead, {I(d)}},
                                  {op::kGetBlipFromEntity, {I(d)}},
                                  {op::kGetBlipFromEntity, {I(d)}},
                                  {op::kGetEntityCoords, {I(d), S(1), S(0)}},
                                  {op::kDoesBlipExist, {I(blips[0])}},
                                  {op::kRemoveBlip, {kAnyArg}},
                                  {op::kDoesBlipExist, {I(blips[1])}},
                                  {op::kRemoveBlip, {kAnyArg}},
                                  {op::kIsEntityDead, {I(d)}},
                                  {op::kClearPedTasks, {I(d), S(1), S(0)}},
                                  {op::kIsEntityDead, {I(d)}},
                                  {op::kTaskHandsUp, {I(d), I(-1), I(kP), I(-1), S(1)}},
                                  {op::kIsEntityDead, {I(d)}},
                                  {op::kTaskFleeFrom,
                                   {I(d), I(kP), F(10.0f), F(0.0f), F(0.0f), F(-1.0f), I(-1),
                                    S(5120), S(0x4E808000), S(0)}},
                              });
  EXPECT_THAT(w.removedBlips, ElementsAre(blips[0], blips[1]));
}

TEST(ReactionsTest, ShotDuringTheSurrenderStillTalksThenHandsOverWithHimListed) {
  ScriptedWorld w;
  const Scene s = LastOneStanding(w);
  w.QueueRandom({0, 2, 4, 1, 1, 1, /*parting*/ 3, 1, 1, 1});
  w.onFrame = [&](uint32_t) { w.Kill(s.last); };  // shot while he speaks his first line

  UpdateDefenderReactions(1);

  std::vector<std::string> expected;
  for (const SpeechStep& step : kSurrenderConversations[0]) expected.push_back(step.line);
  for (const SpeechStep& step : kPartingConversations[3]) expected.push_back(step.line);
  std::vector<std::string> lines = w.LineNames();
  ASSERT_GE(lines.size(), expected.size() + 3);  // then the three closing lines
  lines.resize(expected.size());
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(w.spoken[2].started);  // a dead man's line is asked for but unheard
  EXPECT_EQ(world::CountOf(op::kTaskFleeFrom), 0u);
  EXPECT_TRUE(w.deleted.empty());
  EXPECT_THAT(s.h->defenders, ElementsAre(s.body, s.last));
  EXPECT_EQ(w.objectiveText, kValuablesObjective);
  EXPECT_TRUE(s.h->outcomeDone);
}

TEST(ReactionsTest, ShotDuringThePursuitHandsOverWithHimListed) {
  ScriptedWorld w;
  w.speechPolls = 0;
  const Scene s = LastOneStanding(w);
  int pursuitWaits = 0;
  w.onFrame = [&](uint32_t ms) {
    if (ms == 500 && ++pursuitWaits == 2) w.Kill(s.last);
  };

  UpdateDefenderReactions(1);

  EXPECT_EQ(pursuitWaits, 2);
  EXPECT_TRUE(w.deleted.empty());
  EXPECT_THAT(s.h->defenders, ElementsAre(s.body, s.last));
  EXPECT_TRUE(s.h->outcomeDone);
}

// Once he got away he is deleted if the host still knows him, and leaves the
// list either way.
TEST(ReactionsTest, PursuitEndsBeyondSixtyMetresWhoeverMoved) {
  struct Case {
    const char* name;
    float startX;
    bool playerRidesOff;
    int expectedPursuitWaits;
    bool stillExists = true;  // the host's answer when asked after he got away
  };
  const std::vector<Case> cases = {
      {"already beyond 60 m", 70.0f, false, 0},
      {"exactly 60 m is still in reach", 60.0f, true, 1},
      {"the player rides off", 10.0f, true, 1},
      {"gone from the world as he gets away", 70.0f, false, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedWorld w;
    w.speechPolls = 0;
    w.fleeMetresPerSecond = 0.0f;  // he stands still
    const Scene s = LastOneStanding(w, /*confronted=*/false);
    w.At(s.last).position.x = c.startX;
    if (c.playerRidesOff) {
      w.onFrame = [&](uint32_t ms) {
        if (ms == 500) w.PutPlayer(Vector3(-100.0f, 0.0f, 0.0f));
      };
    }
    w.intercept = [&](uint64_t hash,
                      const std::vector<uint64_t>& args) -> std::optional<fake::Result> {
      if (hash != op::kDoesEntityExist || world::SlotInt(args[0]) != s.last) return std::nullopt;
      return fake::Answer(c.stillExists ? 1 : 0);
    };

    UpdateDefenderReactions(1);

    int pursuitWaits = 0;
    for (uint32_t ms : world::Waits()) pursuitWaits += ms == 500;
    EXPECT_EQ(pursuitWaits, c.expectedPursuitWaits);
    EXPECT_EQ(world::CountOf(op::kDoesEntityExist), 1u);
    EXPECT_EQ(world::CountOf(op::kDeleteEntity), c.stillExists ? 1u : 0u);
    if (c.stillExists) {
      EXPECT_THAT(w.deleted, ElementsAre(s.last));
    }
    EXPECT_THAT(s.h->defenders, ElementsAre(s.body));
  }
}

// A duplicate of the last defender's handle reaches the surrender only when
// the host answers the two entries differently within one count; every copy
// goes once he got away.
TEST(ReactionsTest, GotAwayErasesEveryCopyOfHisHandleAndKeepsTheOrder) {
  ScriptedWorld w;
  w.speechPolls = 0;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);
  const int32_t a = w.AddPed(Vector3(1, 0, 0), true);
  const int32_t b = w.AddPed(Vector3(2, 0, 0), true);
  const int32_t c = w.AddPed(Vector3(3, 0, 0), true);
  const int32_t d = w.AddPed(Vector3(10, 0, 0));
  h.defenders = {a, d, b, d, c};
  int asks = 0;
  w.intercept = [&](uint64_t hash,
                    const std::vector<uint64_t>& args) -> std::optional<fake::Result> {
    if (hash == op::kIsEntityDead && world::SlotInt(args[0]) == d && ++asks == 2) {
      return fake::Answer(1);
    }
    return std::nullopt;
  };

  UpdateDefenderReactions(1);

  EXPECT_THAT(w.deleted, ElementsAre(d));
  EXPECT_THAT(h.defenders, ElementsAre(a, b, c));
}

// With two living, or with a last living entry whose handle is 0, a call only
// counts: each entry is asked once, each living one's blip looked up twice.
TEST(ReactionsTest, OnlyCountsWhileTwoLiveOrTheLastHandleIsZero) {
  for (bool lastIsZero : {false, true}) {
    SCOPED_TRACE(lastIsZero ? "last living handle is 0" : "two living");
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    h.confronted = true;
    const int32_t first = w.AddPed(Vector3(1, 0, 0), /*dead=*/lastIsZero);
    const int32_t body = w.AddPed(Vector3(2, 0, 0), /*dead=*/true);
    const int32_t last = lastIsZero ? 0 : w.AddPed(Vector3(3, 0, 0));
    w.AddEntityBlip(first, 7);
    h.defenders = {first, body, last};

    UpdateDefenderReactions(1);

    std::vector<world::ExpectedCall> expected = {{op::kPlayerPedId, {}},
                                                 {op::kIsEntityDead, {I(first)}}};
    if (!lastIsZero) expected.insert(expected.end(), 2, {op::kGetBlipFromEntity, {I(first)}});
    expected.push_back({op::kIsEntityDead, {I(body)}});
    expected.push_back({op::kIsEntityDead, {I(last)}});
    expected.insert(expected.end(), 2, {op::kGetBlipFromEntity, {I(last)}});
    world::ExpectCalls(fake::FakeHook::Get().Calls(), expected);
    EXPECT_TRUE(w.removedBlips.empty());
    EXPECT_EQ(h.defenders.size(), 3u);
  }
}

TEST(ReactionsTest, NobodyAliveHandsOverToTheOutcome) {
  for (bool empty : {true, false}) {
    SCOPED_TRACE(empty ? "empty list" : "all dead");
    ScriptedWorld w;
    w.speechPolls = 0;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    h.confronted = true;
    if (!empty) h.defenders = {w.AddPed(Vector3(1, 0, 0), true), w.AddPed(Vector3(2, 0, 0), true)};

    UpdateDefenderReactions(1);

    EXPECT_TRUE(h.outcomeDone);
    EXPECT_EQ(w.objectiveText, kValuablesObjective);
    EXPECT_EQ(world::CountOf(op::kGetBlipFromEntity), 0u);
  }
}

TEST(ReactionsTest, OutOfRangeCasesSayNothing) {
  // The surrender case, then the parting case.
  const auto surrenders = static_cast<int32_t>(kSurrenderConversations.size());
  const auto partings = static_cast<int32_t>(kPartingConversations.size());
  for (const auto& [surrender, parting] : {std::pair{surrenders, partings}, {-1, -1}, {99, -7}}) {
    SCOPED_TRACE("host answers " + std::to_string(surrender) + " and " + std::to_string(parting));
    ScriptedWorld w;
    w.speechPolls = 0;
    LastOneStanding(w, /*confronted=*/false);
    w.QueueRandom({surrender, parting});

    UpdateDefenderReactions(1);

    EXPECT_TRUE(w.spoken.empty());
  }
}

}  // namespace
}  // namespace homestead
