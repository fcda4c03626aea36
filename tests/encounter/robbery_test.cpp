// One whole robbery of catalogue homestead 1, driven only by the tick and the
// player's scripted actions: ride in, stop within 20 m, shoot five occupants,
// let the last one flee, take the money, ride away, wait out the cooldown.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "encounter/host_trace.h"
#include "encounter/scripted_world.h"
#include "encounter/tick.h"
#include "registry/catalogue.h"
#include "registry/registry.h"

namespace homestead {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using world::ScriptedWorld;

TEST(RobberyTest, TheRoadOfOneRobbery) {
  ScriptedWorld w;
  w.hour = 10;
  InitHomesteads();
  Homestead& h = Registry().FindOrInsert(1);
  const Vector3 c = h.center;
  auto rideTo = [&](float metresEast) {
    w.PutPlayer(Vector3(c.x + metresEast, c.y, c.z));
    TickEncounters();
  };

  // 1. Start-up: both homesteads on the map.
  ASSERT_EQ(w.LabelledBlips("Galdervine").size(), 2u);

  // 2. Within 80 m: six occupants and the money stack.
  rideTo(70.0f);
  ASSERT_EQ(h.defenders.size(), 6u);
  ASSERT_THAT(w.LabelledBlips("Money Stack"), ElementsAre(h.lootBlip));
  EXPECT_THAT(w.spoken, IsEmpty());

  // 3. Within 32 m: the objective and the approach exchange, opened by the player.
  rideTo(30.0f);
  ASSERT_TRUE(h.approachDone);
  EXPECT_EQ(w.objectiveText, "Search the ~COLOR_YELLOW~homestead~s~ for the valuables");
  ASSERT_EQ(w.spoken.size(), 3u);
  EXPECT_EQ(w.spoken[0].ped, world::kPlayer);
  EXPECT_EQ(w.spoken[0].line, "HUNTING_START");
  EXPECT_FALSE(h.confronted);

  // 4. Within 20 m: the first occupant is armed, seven lines, everyone attacks.
  rideTo(15.0f);
  ASSERT_TRUE(h.confronted);
  EXPECT_EQ(w.spoken.size(), 10u);
  EXPECT_EQ(w.At(h.defenders[0]).currentWeapon, world::TextHash("weapon_shotgun_pump"));
  for (int32_t ped : h.defenders) EXPECT_EQ(w.At(ped).task, world::Task::kCombat);
  rideTo(3.0f);
  EXPECT_FALSE(h.homeBlipActive);

  // 5. Five shot: the last surrenders, flees beyond 60 m and is deleted; the
  // outcome follows once no listed occupant is alive.
  const std::vector<int32_t> occupants = h.defenders;
  for (int i = 0; i < 5; ++i) w.Kill(occupants[i]);
  rideTo(3.0f);
  EXPECT_THAT(w.deleted, ElementsAre(occupants[5]));
  EXPECT_EQ(h.defenders, std::vector<int32_t>(occupants.begin(), occupants.begin() + 5));
  // This host calls a deleted ped not dead, so while he was still listed the
  // outcome held back; it follows on the next tick.
  EXPECT_FALSE(h.outcomeDone);
  rideTo(3.0f);
  ASSERT_TRUE(h.outcomeDone);
  EXPECT_EQ(w.objectiveText, "Search for ~COLOR_YELLOW~valuables~s~");
  const std::size_t linesSoFar = w.spoken.size();
  rideTo(3.0f);
  EXPECT_EQ(w.spoken.size(), linesSoFar) << "the outcome ran twice";

  // 6. At the loot: its blip goes, the stack stays until taken.
  const int32_t stack = h.lootObject;
  w.PutPlayer(h.lootPosition);
  TickEncounters();
  EXPECT_FALSE(h.lootBlipActive);
  EXPECT_THAT(w.LabelledBlips("Money Stack"), IsEmpty());
  EXPECT_TRUE(w.Exists(stack));
  w.Vanish(stack);

  // 7. Beyond 100 m: the bodies go and the cooldown starts.
  rideTo(150.0f);
  for (int32_t ped : occupants) EXPECT_FALSE(w.Exists(ped));
  EXPECT_FALSE(h.available);
  EXPECT_EQ(h.robbedAtHour, 10);

  // 8. Six game hours later, far away, the homestead is back with a new label.
  w.hour = 15;
  rideTo(3000.0f);
  EXPECT_FALSE(h.available);
  w.hour = 16;
  rideTo(3000.0f);
  EXPECT_TRUE(h.available);
  EXPECT_FALSE(h.approachDone || h.confronted || h.outcomeDone);
  EXPECT_THAT(w.LabelledBlips("Tarnwick"), ElementsAre(h.homeBlip));
}

}  // namespace
}  // namespace homestead
