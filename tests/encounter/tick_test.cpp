// The encounter tick: distance bands and their edges, the cooldown clock,
// suppression, the host calls a tick may make, and the whole cycle of a
// homestead from available through encounter and cooldown back to available.
#include "encounter/tick.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <map>

#include "encounter/host_trace.h"
#include "encounter/scripted_world.h"
#include "registry/catalogue.h"
#include "registry/catalogue_data.h"
#include "registry/registry.h"

namespace homestead {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;
using world::ScriptedWorld;
namespace op = world::op;

const Vector3 kCenter(100.0f, 200.0f, 10.0f);
const Vector3 kLoot(103.0f, 201.0f, 11.0f);

// Two occupants, one with a scenario and one with the default idle.
std::vector<DefenderSpawn> TwoSpawns() {
  return {
      DefenderSpawn{"WORLD_HUMAN_SMOKE", 90.0f, Vector3(101.0f, 200.0f, 10.0f), 0x3F094007},
      DefenderSpawn{nullptr, 180.0f, Vector3(99.0f, 200.0f, 10.0f), 0x3F094007},
  };
}

float JustBeyond(float radius) {
  return std::nextafter(radius, 1000.0f);
}

TEST(TickTest, RadiiCountTheirEdgeAsInside) {
  struct Edge {
    const char* name;
    float radius;
    bool toLoot;
    std::function<bool(const Homestead&)> reached;
  };
  const std::vector<Edge> edges = {
      {"loot blip", 1.5f, true, [](const Homestead& h) { return !h.lootBlipActive; }},
      {"home blip", 4.0f, false, [](const Homestead& h) { return !h.homeBlipActive; }},
      {"confrontation", 20.0f, false, [](const Homestead& h) { return h.confronted; }},
      {"approach", 32.0f, false, [](const Homestead& h) { return h.approachDone; }},
      {"stages", 80.0f, false, [](const Homestead& h) { return !h.defenders.empty(); }},
  };
  for (const Edge& edge : edges) {
    for (bool inside : {true, false}) {
      SCOPED_TRACE(std::string(edge.name) + (inside ? " at its radius" : " just beyond"));
      ScriptedWorld w;
      Homestead& h = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
      w.PutHomeBlip(h);
      const float d = inside ? edge.radius : JustBeyond(edge.radius);
      if (edge.toLoot) {
        w.StartEncounter(h, 2);
        // The stack has been carried off; only its recorded place counts.
        w.At(h.lootObject).position = Vector3(500.0f, 500.0f, 0.0f);
        w.ScriptDistance(kLoot, d);
        w.ScriptDistance(kCenter, 90.0f);
      } else {
        h.lootSpawned = true;  // no money stack in the way
        w.ScriptDistance(kCenter, d);
      }

      TickEncounters();

      EXPECT_EQ(edge.reached(h), inside);
    }
  }
}

TEST(TickTest, EncounterOnlyEndsBeyondHundredMetres) {
  for (float d : {JustBeyond(80.0f), 90.0f, 100.0f, JustBeyond(100.0f)}) {
    SCOPED_TRACE("player at " + std::to_string(d) + " m");
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
    w.StartEncounter(h, 2);
    w.ScriptDistance(kCenter, d);
    w.ScriptDistance(kLoot, d);
    const std::string before = world::DescribeRecord(h);

    TickEncounters();

    if (d > 100.0f) {
      EXPECT_FALSE(h.available);
      EXPECT_TRUE(h.defenders.empty());
    } else {
      // Neither advances nor ends: the tick only measures.
      EXPECT_EQ(world::DescribeRecord(h), before);
      EXPECT_THAT(world::Trace({op::kIsActivitySuppressed, op::kGetClockHours, op::kPlayerPedId,
                                op::kGetEntityCoords, op::kDistanceBetweenCoords}),
                  ElementsAre("IsActivitySuppressed", "GetClockHours", "PlayerPedId",
                              "GetEntityCoords", "DistanceBetweenCoords", "DistanceBetweenCoords"));
      EXPECT_EQ(world::CallCount(), 6u);
    }
  }
}

TEST(TickTest, CooldownCountsGameHoursAcrossMidnight) {
  struct Case {
    int32_t robbedAt;
    int32_t now;
    bool availableAgain;
  };
  const std::vector<Case> cases = {
      {22, 3, false},
      {22, 4, true},
      {5, 5, false},
      {5, 10, false},
      {5, 11, true},
      {0, 23, true},
      {23, 4, false},
      {-1, 12, false},
      // Hours a host should never give: no overflow (checked under the
      // sanitizers) and no end of the cooldown.
      {INT32_MAX, INT32_MIN, false},
      {1535508490, -1694498815, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("robbed at " + std::to_string(c.robbedAt) + ", now " + std::to_string(c.now));
    ScriptedWorld w;
    Homestead& h = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
    h.available = false;
    h.robbedAtHour = c.robbedAt;
    h.approachDone = h.confronted = h.outcomeDone = true;
    h.lootSpawned = true;
    h.lootObject = 77;
    h.defenders = {4, 5};
    h.lootBlip = 31;
    h.lootBlipActive = true;
    w.hour = c.now;
    // Between the stage radius and the teardown distance, so only the
    // cooldown step can act.
    w.ScriptDistance(kCenter, 90.0f);
    w.ScriptDistance(kLoot, 90.0f);

    TickEncounters();

    EXPECT_EQ(h.available, c.availableAgain);
    if (c.availableAgain) {
      EXPECT_EQ(h.robbedAtHour, -1);
      EXPECT_FALSE(h.approachDone || h.confronted || h.outcomeDone || h.lootSpawned);
      EXPECT_EQ(h.lootObject, 0);
      EXPECT_TRUE(h.defenders.empty());
      // The loot blip fields are left as they were.
      EXPECT_EQ(h.lootBlip, 31);
      EXPECT_TRUE(h.lootBlipActive);
      ASSERT_TRUE(h.homeBlipActive);
      ASSERT_EQ(w.blips.count(h.homeBlip), 1u);
      const world::Blip& blip = w.blips.at(h.homeBlip);
      EXPECT_EQ(blip.name, "Tarnwick");
      EXPECT_EQ(blip.coords.x, kCenter.x);
      EXPECT_EQ(blip.coords.y, kCenter.y);
      EXPECT_EQ(blip.coords.z, kCenter.z);
      EXPECT_EQ(blip.style, 1664425300u);
      EXPECT_EQ(blip.sprite, world::TextHash("blip_robbery_home"));
      EXPECT_EQ(blip.scale, 0.6f);
      EXPECT_THAT(blip.modifiers, ElementsAre(world::TextHash("BLIP_MODIFIER_SCALE_2")));
    } else {
      EXPECT_EQ(h.robbedAtHour, c.robbedAt);
      EXPECT_FALSE(h.homeBlipActive);
      EXPECT_TRUE(w.blips.empty());
      EXPECT_EQ(world::CountOf(op::kCreatePed), 0u);
    }
  }
}

TEST(TickTest, CooldownEndingNearbyStartsTheEncounterInTheSameTick) {
  ScriptedWorld w;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
  h.available = false;
  h.robbedAtHour = 6;
  w.hour = 12;
  w.ScriptDistance(kCenter, 50.0f);

  TickEncounters();

  EXPECT_TRUE(h.available);
  EXPECT_EQ(h.defenders.size(), 2u);
  EXPECT_TRUE(h.lootSpawned);
}

TEST(TickTest, SuppressedTickChangesNothing) {
  ScriptedWorld w;
  // Homestead 1: the player stands on the loot, inside the home-blip radius,
  // with the whole encounter still to come.
  Homestead& near = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
  w.PutHomeBlip(near);
  w.StartEncounter(near, 3);
  w.ScriptDistance(kCenter, 3.0f);
  w.ScriptDistance(kLoot, 1.0f);
  // Homestead 7: a cooldown that has run out. Homestead 9: an encounter the
  // player has left.
  const Vector3 farCenter(900.0f, 0.0f, 0.0f), farLoot(901.0f, 0.0f, 0.0f);
  Homestead& cooled = w.AddHomestead(7, farCenter, farLoot, TwoSpawns());
  cooled.available = false;
  cooled.robbedAtHour = 1;
  const Vector3 leftCenter(-900.0f, 0.0f, 0.0f), leftLoot(-901.0f, 0.0f, 0.0f);
  Homestead& left = w.AddHomestead(9, leftCenter, leftLoot, TwoSpawns());
  w.StartEncounter(left, 2);
  std::vector<std::string> before;
  for (const auto& [id, h] : Registry()) before.push_back(world::DescribeRecord(h));
  const std::size_t entities = w.entities.size(), blips = w.blips.size();

  w.suppressed = true;
  TickEncounters();

  std::vector<std::string> after;
  for (const auto& [id, h] : Registry()) after.push_back(world::DescribeRecord(h));
  EXPECT_EQ(after, before);
  EXPECT_EQ(w.entities.size(), entities);
  EXPECT_EQ(w.blips.size(), blips);
  EXPECT_THAT(world::Trace({op::kIsActivitySuppressed}), ElementsAre("IsActivitySuppressed"));
  EXPECT_EQ(world::CallCount(), 1u);

  // The same tick unsuppressed changes every one of them.
  w.suppressed = false;
  TickEncounters();
  EXPECT_FALSE(near.homeBlipActive);
  EXPECT_FALSE(near.lootBlipActive);
  EXPECT_TRUE(near.confronted);
  EXPECT_TRUE(cooled.available);
  EXPECT_FALSE(left.available);
}

TEST(TickTest, SuppressionAtTheHomesteadSkipsOnlyItsStages) {
  ScriptedWorld w;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
  w.PutHomeBlip(h);
  w.ScriptDistance(kCenter, 3.0f);
  int asked = 0;
  w.intercept = [&asked](uint64_t hash,
                         const std::vector<uint64_t>&) -> std::optional<fake::Result> {
    if (hash != op::kIsActivitySuppressed) return std::nullopt;
    return fake::Answer(++asked == 1 ? 0 : 1);  // free at the start, suppressed after
  };

  TickEncounters();

  EXPECT_FALSE(h.homeBlipActive);  // the blip step still ran
  EXPECT_TRUE(h.defenders.empty());
  EXPECT_FALSE(h.lootSpawned);
  EXPECT_EQ(asked, 2);
}

// The host calls one tick makes, by operation, in three steady situations.
TEST(TickTest, HostCallsPerTickStayWithinTheirBudget) {
  struct Case {
    const char* name;
    std::function<void(ScriptedWorld&, Homestead&, Homestead&)> setUp;
    std::map<std::string, std::size_t> calls;
  };
  const Vector3 otherCenter(900.0f, 0.0f, 0.0f), otherLoot(901.0f, 0.0f, 0.0f);
  const std::vector<Case> cases = {
      {"nobody near, both home blips up",
       [](ScriptedWorld& w, Homestead& a, Homestead& b) {
         w.PutHomeBlip(a);
         w.PutHomeBlip(b);
       },
       {{"IsActivitySuppressed", 1},
        {"GetClockHours", 1},
        {"PlayerPedId", 1},
        {"GetEntityCoords", 1},
        {"DistanceBetweenCoords", 4}}},
      {"both cooling down",
       [](ScriptedWorld&, Homestead& a, Homestead& b) {
         a.available = b.available = false;
         a.robbedAtHour = b.robbedAtHour = 10;
       },
       {{"IsActivitySuppressed", 1},
        {"GetClockHours", 1},
        {"PlayerPedId", 1},
        {"GetEntityCoords", 1},
        {"DistanceBetweenCoords", 2}}},
      {"an encounter in the band with nothing new to do",
       [](ScriptedWorld& w, Homestead& a, Homestead& b) {
         w.StartEncounter(a, 2, 1);  // loot blip up, home blip gone
         a.approachDone = a.confronted = true;
         w.PutHomeBlip(b);
       },
       {{"IsActivitySuppressed", 2},
        {"GetClockHours", 1},
        {"PlayerPedId", 2},
        {"GetEntityCoords", 1},
        {"DistanceBetweenCoords", 4},
        {"IsEntityDead", 3},
        {"GetBlipFromEntity", 4}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedWorld w;
    w.hour = 12;
    Homestead& a = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
    Homestead& b = w.AddHomestead(7, otherCenter, otherLoot, TwoSpawns());
    c.setUp(w, a, b);
    w.ScriptDistance(kCenter, 50.0f);
    w.ScriptDistance(kLoot, 48.0f);
    if (c.calls.at("IsActivitySuppressed") == 1) w.ScriptDistance(kCenter, 500.0f);

    TickEncounters();

    std::map<std::string, std::size_t> got;
    for (const fake::Event& e : fake::FakeHook::Get().Calls()) ++got[world::OpName(e.hash)];
    EXPECT_EQ(got, c.calls);
  }
}

TEST(TickTest, StagesRunInTheirFixedOrder) {
  ScriptedWorld w;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
  w.ScriptDistance(kCenter, 10.0f);

  TickEncounters();

  std::vector<std::string> order;
  for (const std::string& name : world::Trace({op::kCreatePed, op::kCreateObject, op::kIsEntityDead,
                                               op::kSetObjectiveText, op::kTaskTurnToFaceEntity},
                                              false)) {
    if (order.empty() || order.back() != name) order.push_back(name);
  }
  // Spawning, money stack, reactions (which count the living), approach
  // (which builds its own living list, then posts the objective), confrontation.
  EXPECT_THAT(order, ElementsAre("CreatePed", "CreateObject", "IsEntityDead", "SetObjectiveText",
                                 "TaskTurnToFaceEntity"));
  EXPECT_TRUE(h.approachDone);
  EXPECT_TRUE(h.confronted);
}

TEST(TickTest, ClockAndPositionAreTakenOnceWhileStagesWait) {
  ScriptedWorld w;
  Homestead& first = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
  const Vector3 otherCenter(900.0f, 0.0f, 0.0f), otherLoot(901.0f, 0.0f, 0.0f);
  Homestead& second = w.AddHomestead(7, otherCenter, otherLoot, TwoSpawns());
  second.available = false;
  second.robbedAtHour = 10;
  w.hour = 12;
  w.PutPlayer(Vector3(110.0f, 200.0f, 10.0f));
  w.ScriptDistance(otherCenter, 500.0f);
  // While the approach talks, the player rides off and the clock moves on
  // far enough to end the other homestead's cooldown.
  w.onFrame = [&w](uint32_t) {
    w.PutPlayer(Vector3(-5000.0f, 0.0f, 0.0f));
    w.hour = 20;
  };

  TickEncounters();

  EXPECT_TRUE(first.approachDone);
  EXPECT_GT(w.frames, 0);
  EXPECT_FALSE(second.available);
  EXPECT_EQ(world::CountOf(op::kGetClockHours), 1u);
  for (const fake::Event& e : fake::FakeHook::Get().CallsOf(op::kDistanceBetweenCoords)) {
    SCOPED_TRACE(world::Describe(e));
    EXPECT_EQ(e.args[0], fake::FloatBits(110.0f));
    EXPECT_EQ(e.args[1], fake::FloatBits(200.0f));
    EXPECT_EQ(e.args[2], fake::FloatBits(10.0f));
    EXPECT_EQ(e.args[6], 1u);
  }
}

// A money stack that is gone when the player leaves (he took it) must not
// keep the encounter open: one teardown, then the cooldown runs out six
// game hours later wherever the player is.
TEST(TickTest, TakenMoneyStackTearsDownOnceAndTheCooldownRunsOutAway) {
  ScriptedWorld w;
  Homestead& h = w.AddHomestead(1, kCenter, kLoot, TwoSpawns());
  w.StartEncounter(h, 0, 2);
  w.Vanish(h.lootObject);
  w.ScriptDistance(kCenter, 250.0f);
  w.ScriptDistance(kLoot, 250.0f);

  w.hour = 10;
  TickEncounters();
  EXPECT_FALSE(h.available);
  EXPECT_EQ(h.robbedAtHour, 10);
  EXPECT_FALSE(h.lootSpawned);
  EXPECT_EQ(h.lootObject, 0);

  for (int32_t hour = 11; hour <= 15; ++hour) {
    SCOPED_TRACE("hour " + std::to_string(hour));
    const std::size_t clockCalls = world::CountOf(op::kGetClockHours);
    w.hour = hour;
    TickEncounters();
    EXPECT_EQ(world::CountOf(op::kGetClockHours), clockCalls + 1) << "teardown ran again";
    EXPECT_FALSE(h.available);
    EXPECT_EQ(h.robbedAtHour, 10);
  }

  w.hour = 16;
  TickEncounters();
  EXPECT_TRUE(h.available);
  EXPECT_THAT(w.LabelledBlips("Tarnwick"), ElementsAre(h.homeBlip));
}

// The first homestead of the catalogue: its occupants and the money stack
// appear, everything goes when the player rides off, and the homestead comes
// back with its new label when the cooldown is over.
TEST(TickTest, CatalogueHomesteadRunsItsWholeCycle) {
  ScriptedWorld w;
  InitHomesteads();
  Homestead& h = Registry().FindOrInsert(kCatalogue[0].id);
  const Vector3 center = h.center;
  ASSERT_EQ(w.LabelledBlips("Galdervine").size(), std::size(kCatalogue));
  std::vector<int32_t> otherBlips;
  for (const auto& [id, other] : Registry()) {
    if (&other != &h) otherBlips.push_back(other.homeBlip);
  }

  w.hour = 9;
  w.PutPlayer(Vector3(center.x + 60.0f, center.y, center.z));
  TickEncounters();

  ASSERT_EQ(h.defenders.size(), kDefendersPerHomestead);
  for (std::size_t i = 0; i < h.defenders.size(); ++i) {
    SCOPED_TRACE("occupant " + std::to_string(i));
    const int32_t ped = h.defenders[i];
    ASSERT_TRUE(w.Exists(ped));
    EXPECT_EQ(w.At(ped).position.x, h.defenderSpawns[i].position.x);
    EXPECT_EQ(w.At(ped).model, h.defenderSpawns[i].model);
    EXPECT_EQ(w.At(ped).promptName, "Criminal");
    EXPECT_EQ(w.At(ped).relationshipGroup, world::TextHash("REL_GANG_SKINNER_BROTHERS"));
    ASSERT_EQ(w.BlipsOf(ped).size(), 1u);
    EXPECT_THAT(w.blips.at(w.BlipsOf(ped)[0]).modifiers,
                ElementsAre(world::TextHash("BLIP_MODIFIER_ENEMY_ON_GUARD")));
  }
  for (std::size_t i = 0; i < h.defenders.size(); ++i) {
    if (h.defenderSpawns[i].scenario == nullptr) {
      EXPECT_EQ(w.At(h.defenders[i]).task, world::Task::kDefaultIdle) << "occupant " << i;
    }
  }
  ASSERT_TRUE(w.Exists(h.lootObject));
  EXPECT_THAT(w.LabelledBlips("Money Stack"), ElementsAre(h.lootBlip));
  EXPECT_FALSE(h.approachDone);  // 60 m: nobody talks yet

  const std::vector<int32_t> occupants = h.defenders;
  const int32_t stack = h.lootObject;
  w.PutPlayer(Vector3(center.x + 150.0f, center.y, center.z));
  TickEncounters();

  for (int32_t ped : occupants) EXPECT_FALSE(w.Exists(ped));
  EXPECT_FALSE(w.Exists(stack));
  EXPECT_THAT(w.LabelledBlips("Galdervine"), UnorderedElementsAreArray(otherBlips));
  EXPECT_TRUE(w.LabelledBlips("Money Stack").empty());
  EXPECT_FALSE(h.available);
  EXPECT_EQ(h.robbedAtHour, 9);

  w.hour = 9 + kCooldownHours - 1;
  w.PutPlayer(Vector3(center.x + 5000.0f, center.y, center.z));
  TickEncounters();
  EXPECT_FALSE(h.available);
  EXPECT_TRUE(w.LabelledBlips("Tarnwick").empty());

  w.hour = 9 + kCooldownHours;
  TickEncounters();
  EXPECT_TRUE(h.available);
  EXPECT_THAT(w.LabelledBlips("Tarnwick"), ElementsAre(h.homeBlip));
  EXPECT_EQ(w.blips.at(h.homeBlip).coords.x, center.x);
}

}  // namespace
}  // namespace homestead
