// The world's own rules: the ones a plug-in's behaviour depends on.
#include "platform/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace platform {
namespace {

constexpr uint32_t kModel = 0x3F094007;

// Moves the world on by whole frames at 60 frames per second.
class WorldTest : public ::testing::Test {
 protected:
  explicit WorldTest(WorldConfig config = {}) : world(std::move(config)) {}
  void Frames(int count) {
    for (int i = 0; i < count; ++i) {
      ++frame;
      world.AdvanceTo(frame, (frame - 1) * 1'000'000 / 60);
    }
  }
  int32_t SpawnPed(const Vec3& at) {
    world.RequestModel(kModel);
    while (!world.HasModelLoaded(kModel)) Frames(1);
    return world.CreatePed(kModel, at, 0.0f);
  }
  bool Happened(EventKind kind, int32_t subject) const {
    for (const WorldEvent& e : world.events()) {
      if (e.kind == kind && e.subject == subject) return true;
    }
    return false;
  }

  World world;
  int64_t frame = 0;
};

TEST(TextHashTest, IsThirtyTwoBitFnv1a) {
  EXPECT_EQ(TextHash(""), 0x811C9DC5u);
  EXPECT_EQ(TextHash("a"), 0xE40C292Cu);
  EXPECT_EQ(TextHash("foobar"), 0xBF9CF968u);
}

TEST_F(WorldTest, ModelsLoadAfterTheConfiguredFramesAndCreationNeedsThem) {
  EXPECT_EQ(world.CreatePed(kModel, {}, 0.0f), 0);
  EXPECT_TRUE(Happened(EventKind::kCreationFailed, 0));

  world.RequestModel(kModel);
  EXPECT_FALSE(world.HasModelLoaded(kModel));
  Frames(1);
  EXPECT_FALSE(world.HasModelLoaded(kModel));
  Frames(1);
  EXPECT_TRUE(world.HasModelLoaded(kModel));
  EXPECT_NE(world.CreatePed(kModel, {}, 0.0f), 0);

  world.SetModelAsNoLongerNeeded(kModel);
  EXPECT_FALSE(world.HasModelLoaded(kModel));

  WorldConfig never;
  never.modelLoadFrames = -1;
  World stuck(never);
  stuck.RequestModel(kModel);
  stuck.AdvanceTo(1000, 1'000'000);
  EXPECT_FALSE(stuck.HasModelLoaded(kModel));
}

TEST_F(WorldTest, AFleeingPedRunsAwayAtRunningPaceUntilItDies) {
  world.SetPlayerPosition({0, 0, 0});
  const int32_t ped = SpawnPed({3, 4, 0});
  world.GiveTask(ped, Task{TaskKind::kFlee, World::kPlayerHandle, 0});
  Frames(60);  // one simulated second
  const Vec3 after = world.GetEntityCoords(ped);
  EXPECT_NEAR(Distance3(after, {0, 0, 0}), 5.0f + 6.0f, 0.01f);
  EXPECT_NEAR(after.x / after.y, 3.0f / 4.0f, 1e-4f) << "straight away from the threat";

  ASSERT_TRUE(world.KillPed(ped));
  Frames(60);
  const Vec3 dead = world.GetEntityCoords(ped);
  EXPECT_EQ(dead.x, after.x);
  EXPECT_EQ(dead.y, after.y);
}

TEST_F(WorldTest, SpeechPlaysForItsDurationAndTheDeadSayNothing) {
  const int32_t ped = SpawnPed({});
  ASSERT_TRUE(world.PlayAmbientSpeech(ped, "HANDS_UP", 1, 0));
  const int64_t lengthUs = world.speech().back().durationUs;
  EXPECT_GE(lengthUs, 1'500'000);
  EXPECT_LE(lengthUs, 5'000'000);
  EXPECT_TRUE(world.IsAnySpeechPlaying(ped));
  const int64_t start = world.nowUs();
  while (world.nowUs() - start < lengthUs) {
    EXPECT_TRUE(world.IsAnySpeechPlaying(ped));
    Frames(1);
  }
  EXPECT_FALSE(world.IsAnySpeechPlaying(ped));

  // Killed mid-line: silent at once, and cannot start another.
  ASSERT_TRUE(world.PlayAmbientSpeech(ped, "HANDS_UP", 2, 0));
  world.KillPed(ped);
  EXPECT_FALSE(world.IsAnySpeechPlaying(ped));
  EXPECT_FALSE(world.PlayAmbientSpeech(ped, "HANDS_UP", 1, 0));
  EXPECT_FALSE(world.PlayAmbientSpeech(9999, "HANDS_UP", 1, 0));
  EXPECT_EQ(world.speech().size(), 2u);
  EXPECT_TRUE(Happened(EventKind::kSpeechSilenced, 9999));

  // The player speaks like anyone else.
  EXPECT_TRUE(world.PlayAmbientSpeech(World::kPlayerHandle, "HUNTING_START", 3, 0));
  EXPECT_TRUE(world.IsAnySpeechPlaying(World::kPlayerHandle));
}

TEST_F(WorldTest, EntityBlipsGoWithTheirEntityAndAreFoundInTurn) {
  const int32_t ped = SpawnPed({1, 2, 3});
  const int32_t guard = world.AddBlipForEntity(1, ped);
  const int32_t enemy = world.AddBlipForEntity(2, ped);
  const int32_t home = world.AddBlipForCoords(3, {10, 10, 10});
  EXPECT_EQ(world.AddBlipForEntity(1, 9999), 0);

  // Two questions about a ped with two blips name both.
  std::set<int32_t> answers = {world.GetBlipFromEntity(ped), world.GetBlipFromEntity(ped)};
  EXPECT_EQ(answers, (std::set<int32_t>{guard, enemy}));
  EXPECT_EQ(world.GetBlipFromEntity(World::kPlayerHandle), 0);

  // A blip removed on its own leaves the turn to the others, in creation order;
  // with none left there is no answer, and a new blip is found again.
  const int32_t other = SpawnPed({4, 5, 6});
  const int32_t first = world.AddBlipForEntity(1, other);
  int32_t middle = world.AddBlipForEntity(1, other);
  const int32_t last = world.AddBlipForEntity(1, other);
  world.RemoveBlip(&middle);
  const std::vector<int32_t> turns = {world.GetBlipFromEntity(other),
                                      world.GetBlipFromEntity(other),
                                      world.GetBlipFromEntity(other)};
  EXPECT_EQ(turns, (std::vector<int32_t>{first, last, first}));
  for (int32_t blip : {first, last}) world.RemoveBlip(&blip);
  EXPECT_EQ(world.GetBlipFromEntity(other), 0);
  int32_t again = world.AddBlipForEntity(1, other);
  EXPECT_EQ(world.GetBlipFromEntity(other), again);
  world.RemoveBlip(&again);

  int32_t handle = ped;
  world.DeleteEntity(&handle);
  EXPECT_EQ(handle, 0);
  EXPECT_FALSE(world.DoesEntityExist(ped));
  EXPECT_FALSE(world.DoesBlipExist(guard));
  EXPECT_FALSE(world.DoesBlipExist(enemy));
  EXPECT_TRUE(world.DoesBlipExist(home));

  int32_t homeHandle = home;
  world.RemoveBlip(&homeHandle);
  EXPECT_EQ(homeHandle, 0);
  int32_t gone = guard;
  world.RemoveBlip(&gone);  // nothing to remove: the handle stays
  EXPECT_EQ(gone, guard);
  EXPECT_TRUE(world.blips().empty());
}

// Handles past the dense index are found through the map, as those within.
TEST_F(WorldTest, BlipsBeyondTheDenseIndexAreFoundLikeTheOthers) {
  const int32_t count = static_cast<int32_t>(HandleIndex<Blip>::kDenseHandles) + 2;
  int32_t last = 0;
  for (int32_t i = 0; i < count; ++i) last = world.AddBlipForCoords(0, {});
  for (int32_t blip : {1, last - 2, last}) {
    SCOPED_TRACE(blip);
    EXPECT_TRUE(world.DoesBlipExist(blip));
    world.SetBlipScale(blip, 2.5f);
    EXPECT_EQ(world.blips().at(blip).scale, 2.5f);
    int32_t handle = blip;
    world.RemoveBlip(&handle);
    EXPECT_EQ(handle, 0);
    EXPECT_FALSE(world.DoesBlipExist(blip));
  }
}

// Every kind has a name of its own; a value outside the lists has none.
TEST(WorldKindNamesTest, EachKindHasADistinctName) {
  std::set<std::string_view> tasks, events;
  for (std::size_t i = 0; i < kTaskKindCount; ++i) {
    tasks.insert(TaskName(static_cast<TaskKind>(i)));
  }
  for (std::size_t i = 0; i < kEventKindCount; ++i) {
    events.insert(EventKindName(static_cast<EventKind>(i)));
  }
  EXPECT_EQ(tasks.size(), kTaskKindCount);
  EXPECT_EQ(events.size(), kEventKindCount);
  EXPECT_EQ(tasks.count("?") + events.count("?") + tasks.count("") + events.count(""), 0u);
  EXPECT_EQ(TaskName(static_cast<TaskKind>(kTaskKindCount)), "?");
  EXPECT_EQ(EventKindName(static_cast<EventKind>(kEventKindCount)), "?");
}

TEST_F(WorldTest, DeathAndExistence) {
  const int32_t ped = SpawnPed({});
  world.RequestModel(0xFC40AF1B);
  Frames(2);
  const int32_t object = world.CreateObject(0xFC40AF1B, {});
  EXPECT_FALSE(world.IsEntityDead(ped));
  EXPECT_FALSE(world.IsEntityDead(object));
  EXPECT_FALSE(world.IsEntityDead(World::kPlayerHandle));
  EXPECT_TRUE(world.IsEntityDead(12345)) << "what does not exist is not alive";

  EXPECT_TRUE(world.KillPed(ped));
  EXPECT_FALSE(world.KillPed(ped));
  EXPECT_TRUE(world.IsEntityDead(ped));
  EXPECT_TRUE(world.DoesEntityExist(ped)) << "a body stays until deleted";
  EXPECT_FALSE(world.KillPed(World::kPlayerHandle));

  EXPECT_TRUE(world.TakeObject(object));
  EXPECT_FALSE(world.DoesEntityExist(object));
  EXPECT_FALSE(world.TakeObject(ped));
}

TEST_F(WorldTest, RandomAnswersStayInTheHalfOpenRangeAndFollowTheSeed) {
  std::set<int32_t> seen;
  for (int i = 0; i < 400; ++i) {
    const int32_t v = world.RandomIntInRange(1, 5);
    ASSERT_GE(v, 1);
    ASSERT_LT(v, 5);
    seen.insert(v);
  }
  EXPECT_EQ(seen, (std::set<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(world.RandomIntInRange(1, 2), 1);
  EXPECT_EQ(world.RandomIntInRange(3, 3), 3);

  WorldConfig seeded;
  seeded.seed = 42;
  World a(seeded), b(seeded);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(a.RandomIntInRange(0, 1000), b.RandomIntInRange(0, 1000));

  world.ScriptRandom({7, -1});
  EXPECT_EQ(world.RandomIntInRange(0, 4), 7) << "scripted answers come back unchanged";
  EXPECT_EQ(world.RandomIntInRange(0, 4), -1);
}

TEST_F(WorldTest, TheClockRunsAGameMinuteEveryTwoSecondsAndCanBeMoved) {
  world.SetClock(23, 58);
  Frames(1);
  EXPECT_EQ(world.ClockMinuteOfDay(), 23 * 60 + 58);
  Frames(120);  // two simulated seconds
  EXPECT_EQ(world.ClockMinuteOfDay(), 23 * 60 + 59);
  Frames(120);
  EXPECT_EQ(world.ClockHour(), 0) << "midnight wraps to hour 0";
  world.AdvanceClockMinutes(6 * 60);
  EXPECT_EQ(world.ClockHour(), 6);
  world.SetClock(22);
  EXPECT_EQ(world.ClockMinuteOfDay(), 22 * 60);

  // Over a long run the day wraps exactly as std::fmod wraps it, also at
  // the very edges of a minute.
  const double anchor = 22 * 3600.0;
  const int64_t anchorUs = world.nowUs();
  for (int64_t step = 1; step <= 20000; ++step) {
    const int64_t us = anchorUs + step * 7'777'777 + step % 3;
    world.AdvanceTo(frame + step, us);
    const double seconds = anchor + static_cast<double>(us - anchorUs) / 1e6 * 30.0;
    const auto expected = static_cast<int32_t>(std::fmod(seconds, 86400.0) / 60.0) % 1440;
    ASSERT_EQ(world.ClockMinuteOfDay(), expected) << "at " << us << " us";
  }
}

TEST_F(WorldTest, DistanceIsThreeDimensionalWithTheFlagAndFlatWithout) {
  EXPECT_FLOAT_EQ(World::DistanceBetweenCoords({1, 2, 3}, {4, 6, 15}, true), 13.0f);
  EXPECT_FLOAT_EQ(World::DistanceBetweenCoords({1, 2, 3}, {4, 6, 15}, false), 5.0f);
}

TEST_F(WorldTest, AGivenWeaponIsDrawnOnlyWhenAskedFor) {
  const int32_t ped = SpawnPed({});
  const uint32_t shotgun = world.HashKey("weapon_shotgun_pump");
  uint32_t current = 1;
  EXPECT_FALSE(world.GetCurrentPedWeapon(ped, &current));
  EXPECT_EQ(current, 0u);

  world.SetCurrentPedWeapon(ped, shotgun);  // not carried yet
  world.GiveWeaponToPed(ped, shotgun);
  world.GetCurrentPedWeapon(ped, &current);
  EXPECT_EQ(current, 0u);
  world.SetCurrentPedWeapon(ped, shotgun);
  EXPECT_TRUE(world.GetCurrentPedWeapon(ped, &current));
  EXPECT_EQ(current, shotgun);
}

TEST_F(WorldTest, EventsDescribeWhatHappenedInWords) {
  world.HashKey("CC_WORLD_HUMAN_CAMP_FIRE_STAND");
  const int32_t ped = SpawnPed({1, 2, 3});
  world.GiveTask(ped, Task{TaskKind::kScenario, 0, TextHash("CC_WORLD_HUMAN_CAMP_FIRE_STAND")});
  const int32_t blip = world.AddBlipForCoords(1, {0, 0, 0});
  ASSERT_TRUE(world.SetBlipName(blip, world.CreateVarString(10, "LITERAL_STRING", "Tarnwick")));
  world.SetObjectiveText("Search");
  world.ShowObjective();
  world.ClearObjective();
  int32_t handle = blip;
  world.RemoveBlip(&handle);

  std::vector<std::string> words;
  for (const WorldEvent& e : world.events()) words.push_back(e.words);
  const std::string p = std::to_string(ped);
  const std::string b = std::to_string(blip);
  EXPECT_EQ(words, (std::vector<std::string>{
                       "ped " + p + " created at (1.00, 2.00, 3.00) heading 0.0, model 0x3F094007",
                       "ped " + p + ": scenario \"CC_WORLD_HUMAN_CAMP_FIRE_STAND\"",
                       "blip " + b + " added at (0.00, 0.00, 0.00)",
                       "blip " + b + " labelled \"Tarnwick\"",
                       "objective shown: \"Search\"",
                       "objective cleared: \"Search\"",
                       "blip " + b + " \"Tarnwick\" removed",
                   }));
}

}  // namespace
}  // namespace platform
