// What an encounter puts into the world and takes out again: the occupants,
// the model wait, the money stack, and the teardown.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "encounter/host_trace.h"
#include "encounter/scripted_world.h"
#include "encounter/stages.h"
#include "registry/registry.h"

namespace homestead {
namespace {

using ::testing::ElementsAre;
using world::F;
using world::H;
using world::I;
using world::kAnyArg;
using world::S;
using world::ScriptedWorld;
using world::T;
namespace op = world::op;

constexpr uint32_t kPedModel = 0x3F094007;
constexpr uint32_t kStackModel = 0xFC40AF1B;
const Vector3 kCenter(100.0f, 200.0f, 10.0f);
const Vector3 kLoot(103.5f, 201.25f, 11.0f);

// The calls that make one occupant, from the model request to its release.
std::vector<world::ExpectedCall> OccupantCalls(int32_t ped, const DefenderSpawn& s, bool getsBlip) {
  std::vector<world::ExpectedCall> calls = {
      {op::kRequestModel, {S(s.model), S(0)}},
      {op::kHasModelLoaded, {S(s.model)}},
      {op::kCreatePed,
       {S(s.model), F(s.position.x), F(s.position.y), F(s.position.z), F(s.heading), S(1), S(1),
        S(0), S(0)}},
      {op::kHashKey, {T("REL_GANG_SKINNER_BROTHERS")}},
      {op::kSetPedRelationshipGroup, {I(ped), H("REL_GANG_SKINNER_BROTHERS")}},
      {op::kSetPedOptionA, {I(ped), S(1)}},
      {op::kSetPedOptionB, {I(ped), S(1)}},
      {op::kSetPedPromptName, {I(ped), T("Criminal")}},
      {op::kSetPedOptionC, {I(ped), S(0)}},
  };
  if (s.scenario == nullptr) {
    calls.push_back({op::kTaskDefaultIdle, {I(ped), F(10.0f), F(20.0f), S(1)}});
  } else {
    calls.push_back({op::kHashKey, {T(s.scenario)}});
    calls.push_back({op::kTaskStartScenarioInPlace,
                     {I(ped), H(s.scenario), I(-1), S(1), S(0), S(0), S(0), S(0)}});
  }
  calls.push_back({op::kHashKey, {T("BLIP_STYLE_ENEMY")}});
  calls.push_back({op::kDoesEntityExist, {I(ped)}});
  if (getsBlip) {
    calls.push_back({op::kAddBlipForEntity, {H("BLIP_STYLE_ENEMY"), I(ped)}});
    calls.push_back({op::kHashKey, {T("BLIP_MODIFIER_ENEMY_ON_GUARD")}});
    calls.push_back({op::kAddBlipModifier, {kAnyArg, H("BLIP_MODIFIER_ENEMY_ON_GUARD")}});
  }
  calls.push_back({op::kSetModelAsNoLongerNeeded, {S(s.model)}});
  return calls;
}

TEST(SpawnDefendersTest, EachOccupantGetsItsExactSequence) {
  ScriptedWorld w;
  // An empty scenario text is a present name; only a missing one idles.
  const std::vector<DefenderSpawn> spawns = {
      {"", 271.25f, Vector3(101.0f, 199.5f, 10.25f), kPedModel},
      {nullptr, 180.0f, Vector3(99.0f, 200.0f, 10.0f), kPedModel},
      {"WORLD_HUMAN_COFFEE_DRINK", 20.5f, Vector3(98.0f, 201.0f, 9.75f), kPedModel},
      {"WORLD_HUMAN_SMOKE", 0.0f, Vector3(97.0f, 202.0f, 9.5f), kPedModel},
  };
  Homestead& h = w.AddHomestead(1, kCenter, kLoot, spawns);
  w.vanishedPedCreations = {2};  // created, but gone before its blip
  w.failedPedCreations = {3};    // the host hands back no ped at all

  SpawnDefenders(1);

  ASSERT_EQ(h.defenders.size(), 4u);
  EXPECT_EQ(h.defenders[3], 0);
  std::vector<world::ExpectedCall> expected = {{op::kIsActivitySuppressed, {}}};
  for (std::size_t i = 0; i < spawns.size(); ++i) {
    for (world::ExpectedCall& c : OccupantCalls(h.defenders[i], spawns[i], i < 2)) {
      expected.push_back(std::move(c));
    }
  }
  world::ExpectCalls(fake::FakeHook::Get().Calls(), expected);
  // The list keeps the spawn order, whatever the host answered.
  EXPECT_EQ(h.defenders[0], world::kFirstEntity);
  EXPECT_EQ(h.defenders[1], world::kFirstEntity + 1);
  EXPECT_EQ(h.defenders[2], world::kFirstEntity + 2);
  EXPECT_EQ(w.At(h.defenders[0]).scenario, world::TextHash(""));
  EXPECT_EQ(w.BlipsOf(h.defenders[0]).size(), 1u);
  EXPECT_EQ(w.blips.size(), 2u);
}

TEST(SpawnDefendersTest, CreatesNothingWhenNotDue) {
  const std::vector<DefenderSpawn> spawns = {{nullptr, 0.0f, Vector3(1.0f, 2.0f, 3.0f), kPedModel}};
  struct Case {
    const char* name;
    std::function<void(ScriptedWorld&, Homestead&)> setUp;
  };
  const std::vector<Case> cases = {
      {"suppressed", [](ScriptedWorld& w, Homestead&) { w.suppressed = true; }},
      {"unavailable", [](ScriptedWorld&, Homestead& h) { h.available = false; }},
      {"occupants on record", [](ScriptedWorld&, Homestead& h) { h.defenders = {0}; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot, spawns);
    c.setUp(w, h);
    const std::vector<int32_t> before = h.defenders;

    SpawnDefenders(1);

    EXPECT_EQ(h.defenders, before);
    EXPECT_EQ(world::CountOf(op::kRequestModel), 0u);
    EXPECT_EQ(world::CountOf(op::kCreatePed), 0u);
  }
}

TEST(LoadModelTest, RequestsOnceAndPollsOncePerFrame) {
  ScriptedWorld w;
  w.modelLoadPolls = 3;

  LoadModel(kPedModel);

  EXPECT_THAT(world::Trace({op::kRequestModel, op::kHasModelLoaded}),
              ElementsAre("RequestModel", "HasModelLoaded", "wait 0", "HasModelLoaded", "wait 0",
                          "HasModelLoaded", "wait 0", "HasModelLoaded"));
  EXPECT_EQ(world::CallCount(), 5u);
}

TEST(LoadModelTest, GivesUpAfterThreeHundredPollsAndTheSpawnGoesOn) {
  ScriptedWorld w;
  w.modelLoadPolls = 100000;  // far beyond any bound: never loads in time
  w.AddHomestead(1, kCenter, kLoot, {{nullptr, 0.0f, Vector3(1.0f, 2.0f, 3.0f), kPedModel}});

  SpawnDefenders(1);

  EXPECT_EQ(world::CountOf(op::kRequestModel), 1u);
  EXPECT_EQ(world::CountOf(op::kHasModelLoaded), 300u);
  const std::vector<uint32_t> waits = world::Waits();
  EXPECT_GE(waits.size(), 299u);
  EXPECT_LE(waits.size(), 300u);
  for (uint32_t ms : waits) EXPECT_EQ(ms, 0u);
  EXPECT_EQ(world::CountOf(op::kCreatePed), 1u);
  EXPECT_EQ(Registry().FindOrInsert(1).defenders.size(), 1u);
}

TEST(MoneyStackTest, PlacesOneStackWithItsBlip) {
  ScriptedWorld w;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);

  SpawnMoneyStack(1);

  const int32_t stack = world::kFirstEntity;
  const int32_t blip = world::kFirstBlip;
  world::ExpectCalls(
      fake::FakeHook::Get().Calls(),
      {
          {op::kRequestModel, {S(kStackModel), S(0)}},
          {op::kHasModelLoaded, {S(kStackModel)}},
          {op::kCreateObject,
           {S(kStackModel), F(kLoot.x), F(kLoot.y), F(kLoot.z), S(1), S(1), S(0), S(0), S(1)}},
          {op::kSetModelAsNoLongerNeeded, {S(kStackModel)}},
          {op::kAddBlipForEntity, {S(1664425300), I(stack)}},
          {op::kHashKey, {T("blip_cash_bag")}},
          {op::kSetBlipSprite, {I(blip), H("blip_cash_bag"), S(1)}},
          {op::kSetBlipScale, {I(blip), F(0.7f)}},
          {op::kCreateVarString, {S(10), T("LITERAL_STRING"), T("Money Stack")}},
          {op::kSetBlipName, {I(blip), S(world::kVarStringTag)}},
          {op::kHashKey, {T("BLIP_MODIFIER_COMPANION_OBJECTIVE")}},
          {op::kAddBlipModifier, {I(blip), H("BLIP_MODIFIER_COMPANION_OBJECTIVE")}},
      });
  EXPECT_TRUE(h.lootSpawned);
  EXPECT_EQ(h.lootObject, stack);
  EXPECT_EQ(h.lootBlip, blip);
  EXPECT_TRUE(h.lootBlipActive);
  EXPECT_EQ(w.blips.at(blip).name, "Money Stack");

  const std::size_t calls = world::CallCount();
  SpawnMoneyStack(1);
  EXPECT_EQ(world::CallCount(), calls);
}

TEST(MoneyStackTest, FailedCreationLeavesNoBlipAndIsNotRetried) {
  ScriptedWorld w;
  w.failObjectCreation = true;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);

  SpawnMoneyStack(1);
  SpawnMoneyStack(1);

  EXPECT_TRUE(h.lootSpawned);
  EXPECT_EQ(h.lootObject, 0);
  EXPECT_FALSE(h.lootBlipActive);
  EXPECT_EQ(world::CountOf(op::kCreateObject), 1u);
  EXPECT_EQ(world::CountOf(op::kAddBlipForEntity), 0u);
  EXPECT_EQ(world::CountOf(op::kSetModelAsNoLongerNeeded), 1u);
}

TEST(MoneyStackTest, UnavailableHomesteadGetsNone) {
  ScriptedWorld w;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);
  h.available = false;

  SpawnMoneyStack(1);

  EXPECT_FALSE(h.lootSpawned);
  EXPECT_EQ(world::CallCount(), 0u);
}

TEST(TeardownTest, DeletesEveryOccupantStillThereAndStartsTheCooldown) {
  ScriptedWorld w;
  w.hour = 21;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);
  w.PutHomeBlip(h);
  w.StartEncounter(h, 2, 2);  // two alive, two bodies
  const std::vector<int32_t> occupants = h.defenders;
  const int32_t stack = h.lootObject;
  w.Vanish(occupants[1]);  // one is already gone
  h.defenders.push_back(0);
  h.approachDone = h.confronted = h.outcomeDone = true;
  const int32_t lootBlip = h.lootBlip;
  const int32_t homeBlip = h.homeBlip;

  TeardownEncounter(1);

  world::ExpectCalls(fake::FakeHook::Get().Calls(), {
                                                        {op::kDoesEntityExist, {I(stack)}},
                                                        {op::kDeleteEntity, {kAnyArg}},
                                                        {op::kDoesEntityExist, {I(occupants[0])}},
                                                        {op::kDeleteEntity, {kAnyArg}},
                                                        {op::kDoesEntityExist, {I(occupants[1])}},
                                                        {op::kDoesEntityExist, {I(occupants[2])}},
                                                        {op::kDeleteEntity, {kAnyArg}},
                                                        {op::kDoesEntityExist, {I(occupants[3])}},
                                                        {op::kDeleteEntity, {kAnyArg}},
                                                        {op::kDoesEntityExist, {I(0)}},
                                                        {op::kGetClockHours, {}},
                                                        {op::kRemoveBlip, {kAnyArg}},
                                                    });
  EXPECT_THAT(w.deleted, ElementsAre(stack, occupants[0], occupants[2], occupants[3]));
  EXPECT_TRUE(h.defenders.empty());
  EXPECT_FALSE(h.lootSpawned);
  EXPECT_EQ(h.lootObject, 0);
  EXPECT_FALSE(h.available);
  EXPECT_EQ(h.robbedAtHour, 21);
  EXPECT_FALSE(h.homeBlipActive);
  EXPECT_EQ(w.blips.count(homeBlip), 0u);
  // Stage flags wait for the end of the cooldown; the loot blip fields stay.
  EXPECT_TRUE(h.approachDone && h.confronted && h.outcomeDone);
  EXPECT_EQ(h.lootBlip, lootBlip);
  EXPECT_TRUE(h.lootBlipActive);
}

TEST(TeardownTest, GoneMoneyStackIsStillClearedFromTheRecord) {
  ScriptedWorld w;
  w.hour = 4;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot);
  w.StartEncounter(h, 1);
  w.Vanish(h.lootObject);  // the player took it
  h.homeBlipActive = false;

  TeardownEncounter(1);

  EXPECT_FALSE(h.lootSpawned);
  EXPECT_EQ(h.lootObject, 0);
  EXPECT_EQ(world::CountOf(op::kDeleteEntity), 1u);  // the occupant only
  EXPECT_EQ(world::CountOf(op::kRemoveBlip), 0u);    // the home blip was already down
  EXPECT_EQ(h.robbedAtHour, 4);
}

}  // namespace
}  // namespace homestead
