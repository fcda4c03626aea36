// Defender reactions: counting the living, the last one's surrender, flight
// and pursuit, and the hand-over to the outcome.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "encounter/host_trace.h"
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
constexpr const char* kValuables = "Search for ~COLOR_YELLOW~valuables~s~";
constexpr int32_t kP = world::kPlayer;
constexpr int32_t kD = -1;  // stands for the surrendering defender in the tables

struct Line {
  int32_t speaker;
  const char* line;
  int32_t min;
  int32_t max;
  uint32_t pollMs;
};

const std::array<std::vector<Line>, 5> kSurrender = {{
    {{kD, "GENERIC_SHOCKED_HIGH", 1, 3, 0},
     {kP, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
     {kD, "CALLOUT_FOLLOW_ROB_FLEE_NEUTRAL", 1, 2, 0},
     {kP, "RE_PP_STD_V1_GIVEIT", 1, 2, 0},
     {kD, "CALLOUT_NEAR_DEFEAT", 1, 2, 0}},
    {{kD, "CALLOUT_NEAR_DEFEAT", 1, 2, 0},
     {kP, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
     {kD, "GANG_INTERACT_NOT_WORTH_IT", 1, 3, 0},
     {kP, "RE_PP_STD_V2_GIVEIT", 1, 2, 0},
     {kD, "CALLOUT_LETS_GET_OUTTA_HERE_MALE", 1, 3, 0}},
    {{kD, "CALLOUT_GETTING_TORN_APART", 1, 3, 0},
     {kP, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
     {kD, "GANG_INTERACT_NOT_WORTH_IT", 1, 3, 0},
     {kP, "RE_PP_VHT_V1_GIVEIT", 1, 2, 0},
     {kD, "CALLOUT_LETS_GET_OUTTA_HERE_NEUTRAL", 1, 2, 0}},
    {{kD, "GENERIC_FRIGHTENED_MED", 1, 3, 0},
     {kP, "RE_PP_VHT_V1_AIM", 1, 2, 1000},
     {kP, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
     {kD, "GENERIC_ANGRY_REACTION", 1, 3, 0},
     {kP, "RE_PP_VHT_V1_GIVEIT", 1, 2, 0},
     {kD, "CALLOUT_LETS_GET_OUTTA_HERE_MALE", 1, 3, 0}},
    {{kD, "GENERIC_FRIGHTENED_HIGH", 1, 3, 0},
     {kP, "RE_PP_STD_V1_AIM", 1, 2, 1000},
     {kP, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
     {kD, "GENERIC_CURSE_HIGH", 1, 3, 0},
     {kP, "RE_PP_STD_V1_GIVEIT", 1, 2, 0},
     {kD, "COMBAT_FLEE", 1, 3, 0}},
}};

struct Parting {
  const char* player1;
  const char* defender;
  int32_t defenderMax;
  const char* player2;
};
const std::array<Parting, 10> kParting = {{
    {"RE_BOT_FLEE_RESP", "PROPERTY_STOLEN", 3, "RE_PP_STD_V2_NEVERAGAIN"},
    {"RE_BOT_FTH_V1_THREATEN_A", "GENERIC_FRIGHTENED_MED", 3, "RE_DAS_NBX_V2_ILO_NEG"},
    {"RE_OT_SCM_V1_GRT_INSULT", "GENERIC_ANGRY_SHOUT", 2, "RE_DAS_NBX_V1_THUG_ANTAGONIZE"},
    {"RE_DAS_BLW_V2_THUG_ANTAGONIZE", "GENERIC_INSULT_HIGH_MALE", 2,
     "RE_DAS_NBX_V2_THUG_ANTAGONIZE"},
    {"RE_DAS_NBX_V1_THUG_ANTAGONIZE", "GENERIC_CURSE_HIGH", 3, "RE_OT_SCM_V1_GRT_INSULT"},
    {"RE_DAS_NBX_V2_THUG_ANTAGONIZE", "GENERIC_FRIGHTENED_HIGH", 3,
     "RE_DAS_BLW_V2_THUG_ANTAGONIZE"},
    {"RE_LSF_BIV_V1_CALLOUT_RUNNER", "GENERIC_FRIGHTENED_HIGH", 3, "RE_PP_STD_V1_NEVERAGAIN"},
    {"RE_PP_STD_V1_NEVERAGAIN", "GENERIC_FRIGHTENED_MED", 3, "RE_DAS_NBX_V1_THUG_ANTAGONIZE"},
    {"RE_PP_VHT_V1_NEVERAGAIN", "GENERIC_INSULT_MED_NEUTRAL", 2, "RE_OT_SCM_V1_GRT_INSULT"},
    {"RE_PP_STD_V2_NEVERAGAIN", "GENERIC_INSULT_MED_MALE", 2, "RE_BOT_FLEE_RESP"},
}};

std::vector<ExpectedLine> SurrenderLines(int c, int32_t defender) {
  std::vector<ExpectedLine> lines;
  for (const Line& l : kSurrender[c]) {
    lines.push_back({l.speaker == kD ? defender : kP, l.line, l.min, l.max, l.pollMs});
  }
  return lines;
}
std::vector<ExpectedLine> PartingLines(int c, int32_t defender) {
  const Parting& p = kParting[c];
  return {{kP, p.player1, 1, 2, 0},
          {defender, p.defender, 1, p.defenderMax, 0},
          {kP, p.player2, 1, 2, 0}};
}

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
  for (int k = 0; k < 10; ++k) {
    const int surrender = k % 5;
    SCOPED_TRACE("surrender case " + std::to_string(surrender) + ", parting case " +
                 std::to_string(k));
    ScriptedWorld w;
    const Scene s = LastOneStanding(w, /*confronted=*/false);
    const std::vector<ExpectedLine> talk = SurrenderLines(surrender, s.last);
    const std::vector<ExpectedLine> parting = PartingLines(k, s.last);
    w.QueueRandom({surrender});
    world::QueueTopVariations(w, talk);
    w.QueueRandom({k});
    world::QueueTopVariations(w, parting);

    UpdateDefenderReactions(1);

    std::vector<ExpectedLine> all = talk;
    all.insert(all.end(), parting.begin(), parting.end());
    world::ExpectLines(w, 0, all);
    ASSERT_GE(w.draws.size(), talk.size() + 2);
    EXPECT_EQ(w.draws[0].max, 5);
    EXPECT_EQ(w.draws[talk.size() + 1].min, 0);
    EXPECT_EQ(w.draws[talk.size() + 1].max, 10);
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
  for (const Line& l : kSurrender[0]) expected.push_back(l.line);
  for (const char* l : {kParting[3].player1, kParting[3].defender, kParting[3].player2}) {
    expected.push_back(l);
  }
  std::vector<std::string> lines = w.LineNames();
  ASSERT_GE(lines.size(), expected.size() + 3);  // then the three closing lines
  lines.resize(expected.size());
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(w.spoken[2].started);  // a dead man's line is asked for but unheard
  EXPECT_EQ(world::CountOf(op::kTaskFleeFrom), 0u);
  EXPECT_TRUE(w.deleted.empty());
  EXPECT_THAT(s.h->defenders, ElementsAre(s.body, s.last));
  EXPECT_EQ(w.objectiveText, kValuables);
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

TEST(ReactionsTest, PursuitEndsBeyondSixtyMetresWhoeverMoved) {
  struct Case {
    const char* name;
    float startX;
    bool playerRidesOff;
    int expectedPursuitWaits;
  };
  const std::vector<Case> cases = {
      {"already beyond 60 m", 70.0f, false, 0},
      {"exactly 60 m is still in reach", 60.0f, true, 1},
      {"the player rides off", 10.0f, true, 1},
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

    UpdateDefenderReactions(1);

    int pursuitWaits = 0;
    for (uint32_t ms : world::Waits()) pursuitWaits += ms == 500;
    EXPECT_EQ(pursuitWaits, c.expectedPursuitWaits);
    EXPECT_THAT(w.deleted, ElementsAre(s.last));
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
    EXPECT_EQ(w.objectiveText, kValuables);
    EXPECT_EQ(world::CountOf(op::kGetBlipFromEntity), 0u);
  }
}

TEST(ReactionsTest, OutOfRangeCasesSayNothing) {
  // The surrender case, then the parting case.
  for (const auto& [surrender, parting] : {std::pair{5, 10}, {-1, -1}, {99, -7}}) {
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
