// The confrontation: its seven conversations, the turn, arm and attack around
// them, the arming rules, and the paths on which nobody speaks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "encounter/conversations.h"
#include "encounter/host_trace.h"
#include "encounter/scripted_world.h"
#include "encounter/stages.h"

namespace homestead {
namespace {

using ::testing::ElementsAre;
using world::ExpectedLine;
using world::F;
using world::H;
using world::I;
using world::kAnyArg;
using world::S;
using world::ScriptedWorld;
namespace op = world::op;

const Vector3 kCenter(0.0f, 0.0f, 0.0f);
const Vector3 kLoot(2.0f, 0.0f, 0.0f);
constexpr const char* kShotgun = "weapon_shotgun_pump";

// The calls of a run other than hashing and speech.
std::vector<fake::Event> ActionCalls() {
  static const std::set<uint64_t> kSpeech = {op::kHashKey, op::kRandomIntInRange,
                                             op::kPlayAmbientSpeech, op::kIsAnySpeechPlaying};
  std::vector<fake::Event> calls;
  for (const fake::Event& e : fake::FakeHook::Get().Calls()) {
    if (!kSpeech.count(e.hash)) calls.push_back(e);
  }
  return calls;
}

TEST(ConfrontationTest, EveryCaseSaysItsLines) {
  for (std::size_t c = 0; c < kConfrontationConversations.size(); ++c) {
    SCOPED_TRACE("case " + std::to_string(c));
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    for (int i = 0; i < 3; ++i) h.defenders.push_back(w.AddPed(Vector3(5.0f + i, 0, 0)));
    const std::vector<ExpectedLine> lines = world::LinesOf(
        kConfrontationConversations[c], {.player = world::kPlayer, .leader = h.defenders[0]});
    w.QueueRandom({static_cast<int32_t>(c)});
    world::QueueTopVariations(w, lines);

    RunConfrontation(1);

    ASSERT_FALSE(w.draws.empty());
    EXPECT_EQ(w.draws[0].min, 0);
    EXPECT_EQ(w.draws[0].max, static_cast<int32_t>(kConfrontationConversations.size()));
    world::ExpectLines(w, 0, lines);
    EXPECT_TRUE(h.confronted);
  }
}

TEST(ConfrontationTest, TurnsArmsTalksAndThenEveryOccupantAttacks) {
  ScriptedWorld w;
  w.speechPolls = 0;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);
  const int32_t a = w.AddPed(Vector3(5, 0, 0));
  const int32_t body = w.AddPed(Vector3(6, 0, 0), /*dead=*/true);  // existence is all that counts
  const int32_t c = w.AddPed(Vector3(7, 0, 0));
  h.defenders = {a, body, c};
  h.leaderIndex = 2;  // the leader need not be the armed one
  w.QueueRandom({3});
  constexpr int32_t p = world::kPlayer;

  RunConfrontation(1);

  auto turn = [](int32_t ped) {
    return world::ExpectedCall{op::kTaskTurnToFaceEntity, {I(ped), I(p), I(-1), S(0), S(0), S(0)}};
  };
  auto attack = [](int32_t ped) {
    return std::vector<world::ExpectedCall>{
        {op::kDoesEntityExist, {I(ped)}},
        {op::kTaskCombatPed, {I(ped), I(p), S(0), S(16)}},
        {op::kDoesEntityExist, {I(ped)}},
        {op::kAddBlipForEntity, {H("BLIP_STYLE_ENEMY"), I(ped)}},
    };
  };
  std::vector<world::ExpectedCall> expected = {
      {op::kIsActivitySuppressed, {}},
      {op::kPlayerPedId, {}},
      {op::kDoesEntityExist, {I(a)}},
      turn(a),
      {op::kGiveWeaponToPed,
       {I(a), H(kShotgun), S(500), S(1), S(0), S(0), S(0), F(1.0f), F(1.0f),
        H("ADD_REASON_DEFAULT"), S(1), F(0.5f), S(1)}},
      {op::kGetCurrentPedWeapon, {I(a), kAnyArg, S(1), S(0), S(0)}},
      {op::kSetCurrentPedWeapon, {I(a), H(kShotgun), S(1), S(0), S(0), S(0)}},
      {op::kTaskAimGunAtEntity, {I(a), I(p), I(-1), S(1), S(1)}},
      {op::kDoesEntityExist, {I(body)}},
      turn(body),
      {op::kDoesEntityExist, {I(c)}},
      turn(c),
      {op::kDoesEntityExist, {I(c)}},  // the leader still there
  };
  for (int32_t ped : {a, body, c}) {
    for (world::ExpectedCall& call : attack(ped)) expected.push_back(std::move(call));
  }
  world::ExpectCalls(ActionCalls(), expected);

  // The pause before the aim, seven silent-at-once lines, the pause before the attack.
  EXPECT_THAT(world::Trace({op::kTaskAimGunAtEntity, op::kPlayAmbientSpeech, op::kTaskCombatPed}),
              ElementsAre("wait 250", "TaskAimGunAtEntity", "PlayAmbientSpeech",
                          "PlayAmbientSpeech", "PlayAmbientSpeech", "PlayAmbientSpeech",
                          "PlayAmbientSpeech", "PlayAmbientSpeech", "PlayAmbientSpeech", "wait 250",
                          "TaskCombatPed", "TaskCombatPed", "TaskCombatPed"));
  ASSERT_EQ(w.spoken.size(), 7u);
  EXPECT_EQ(w.spoken[0].ped, c);
  EXPECT_EQ(w.At(a).currentWeapon, world::TextHash(kShotgun));
  EXPECT_TRUE(w.At(c).weapons.empty());
  EXPECT_EQ(w.BlipsOf(c).size(), 1u);
  EXPECT_TRUE(h.confronted);
}

TEST(ConfrontationTest, ArmingAndSilentPaths) {
  struct Case {
    const char* name;
    bool holdsShotgun;
    bool firstGone;
    int32_t leaderIndex;
    std::vector<std::string> arming;
    bool talksAndAttacks;
  };
  const std::vector<std::string> kArmed = {"GiveWeaponToPed", "GetCurrentPedWeapon",
                                           "SetCurrentPedWeapon", "wait 250", "TaskAimGunAtEntity"};
  const std::vector<Case> cases = {
      {"not yet holding the shotgun", false, false, 0, kArmed, true},
      // No switch, but the pause and the aim still follow.
      {"already holding the shotgun",
       true,
       false,
       0,
       {"GiveWeaponToPed", "GetCurrentPedWeapon", "wait 250", "TaskAimGunAtEntity"},
       true},
      // Nobody else is armed in his place, and the leader (him) is missing.
      {"first occupant gone", false, true, 0, {}, false},
      {"leader index past the list", false, false, 3, kArmed, false},
      {"no leader", false, false, -1, kArmed, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedWorld w;
    w.speechPolls = 0;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    for (int i = 0; i < 3; ++i) h.defenders.push_back(w.AddPed(Vector3(5.0f + i, 0, 0)));
    h.leaderIndex = c.leaderIndex;
    if (c.holdsShotgun) w.At(h.defenders[0]).currentWeapon = world::TextHash(kShotgun);
    if (c.firstGone) w.Vanish(h.defenders[0]);

    RunConfrontation(1);

    std::vector<std::string> arming =
        world::Trace({op::kGiveWeaponToPed, op::kGetCurrentPedWeapon, op::kSetCurrentPedWeapon,
                      op::kTaskAimGunAtEntity});
    if (c.talksAndAttacks) {
      ASSERT_FALSE(arming.empty());
      EXPECT_EQ(arming.back(), "wait 250");  // the pause before the attack
      arming.pop_back();
    }
    EXPECT_EQ(arming, c.arming);
    EXPECT_EQ(world::CountOf(op::kTaskTurnToFaceEntity), c.firstGone ? 2u : 3u);
    EXPECT_EQ(w.spoken.size(), c.talksAndAttacks ? 7u : 0u);
    EXPECT_EQ(world::CountOf(op::kTaskCombatPed), c.talksAndAttacks ? 3u : 0u);
    EXPECT_EQ(world::CountOf(op::kAddBlipForEntity), c.talksAndAttacks ? 3u : 0u);
    EXPECT_TRUE(h.confronted);
  }
}

TEST(ConfrontationTest, EmptyListIsSpawnedBeforeAnyoneIsTurned) {
  ScriptedWorld w;
  w.speechPolls = 0;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot,
                                {{nullptr, 0.0f, Vector3(5, 0, 0), 0x3F094007},
                                 {"WORLD_HUMAN_SMOKE", 0.0f, Vector3(6, 0, 0), 0x3F094007}});

  RunConfrontation(1);

  ASSERT_EQ(h.defenders.size(), 2u);
  EXPECT_THAT(world::Trace({op::kCreatePed, op::kTaskTurnToFaceEntity, op::kTaskCombatPed}, false),
              ElementsAre("CreatePed", "CreatePed", "TaskTurnToFaceEntity", "TaskTurnToFaceEntity",
                          "TaskCombatPed", "TaskCombatPed"));
  const auto turns = fake::FakeHook::Get().CallsOf(op::kTaskTurnToFaceEntity);
  EXPECT_EQ(turns[0].args[0], static_cast<uint64_t>(h.defenders[0]));
  EXPECT_EQ(turns[1].args[0], static_cast<uint64_t>(h.defenders[1]));
  EXPECT_EQ(w.spoken.size(), 7u);
}

TEST(ConfrontationTest, RunsOnlyWhenUnsuppressedAndNotYetConfronted) {
  for (bool suppressed : {true, false}) {
    SCOPED_TRACE(suppressed ? "suppressed" : "already confronted");
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    h.defenders.push_back(w.AddPed(Vector3(5, 0, 0)));
    w.suppressed = suppressed;
    h.confronted = !suppressed;

    RunConfrontation(1);

    EXPECT_TRUE(world::Waits().empty());
    EXPECT_EQ(world::CallCount(), 1u);  // IsActivitySuppressed only
    EXPECT_EQ(h.confronted, !suppressed);
  }
}

TEST(ConfrontationTest, OutOfRangeCaseSaysNothing) {
  for (int32_t answer : {static_cast<int32_t>(kConfrontationConversations.size()), -1, 99}) {
    SCOPED_TRACE("host answers " + std::to_string(answer));
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot);
    for (int i = 0; i < 2; ++i) h.defenders.push_back(w.AddPed(Vector3(5.0f + i, 0, 0)));
    w.QueueRandom({answer});

    RunConfrontation(1);

    EXPECT_TRUE(w.spoken.empty());
  }
}

}  // namespace
}  // namespace homestead
