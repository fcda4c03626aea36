// The robbery cycle end to end: the real plug-in in the substitute host, the
// player's actions scripted per frame, and the world's event log read for the
// milestones in their order.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "encounter/conversations.h"
#include "encounter/objectives.h"
#include "platform/session.h"
#include "registry/catalogue_data.h"

namespace platform {
namespace {

constexpr const char* kPlugin = HOMESTEAD_PLUGIN_PATH;
constexpr int64_t kFps = 60;
constexpr float kRideSpeed = 8.0f;  // metres per second

// The catalogue's first homestead is the one robbed.
const homestead::CatalogueEntry& kHome = homestead::kCatalogue[0];

Vec3 At(const homestead::Vector3& v) {
  return {v.x, v.y, v.z};
}
const Vec3 kCentre = At(kHome.center);
const Vec3 kLoot = At(kHome.lootPosition);

// A point `metres` due south of the homestead's centre.
Vec3 South(float metres) {
  return Vec3{kCentre.x, kCentre.y - metres, kCentre.z};
}

class RobberyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostConfig config;
    config.framesPerSecond = kFps;
    config.world.seed = 7;
    config.world.playerStart = South(150.0f);
    auto opened = Session::Open(kPlugin, config);
    ASSERT_NE(opened.session, nullptr) << opened.error;
    session = std::move(opened.session);
  }

  void TearDown() override {
    if (!session) return;
    EXPECT_EQ(session->Close(), "");
    for (const std::string& e : session->host().errors()) ADD_FAILURE() << "host error: " << e;
  }

  World& world() { return session->world(); }

  // Rides toward `target` at riding pace until `done`, at most `seconds`.
  bool RideUntil(const Vec3& target, const std::function<bool()>& done, int64_t seconds) {
    return session->RunUntil(
        [&](Session&) { return done(); }, seconds * kFps,
        [&](Session& s) { s.world().MovePlayerToward(target, kRideSpeed / kFps); });
  }
  bool WaitUntil(const std::function<bool()>& done, int64_t seconds) {
    return session->RunUntil([&](Session&) { return done(); }, seconds * kFps);
  }

  // Index of the first event after `after` that matches, or -1.
  int Find(int after, const std::function<bool(const WorldEvent&)>& match) const {
    const auto& events = session->world().events();
    for (int i = after + 1; i < static_cast<int>(events.size()); ++i) {
      if (match(events[i])) return i;
    }
    return -1;
  }
  int FindKind(int after, EventKind kind, std::string_view text = {}) const {
    return Find(after, [&](const WorldEvent& e) {
      return e.kind == kind && (text.empty() || e.text == text);
    });
  }
  // Matching events after `after` and before `before` (-1: up to the end).
  int Count(int after, const std::function<bool(const WorldEvent&)>& match, int before = -1) const {
    int count = 0;
    for (int i = Find(after, match); i >= 0 && (before < 0 || i < before); i = Find(i, match)) {
      ++count;
    }
    return count;
  }

  const Blip* HomeBlip() const {
    for (const auto& [handle, blip] : session->world().blips()) {
      if (blip.entity == 0 && Distance3(blip.coords, kCentre) < 0.01f) return &blip;
    }
    return nullptr;
  }

  std::unique_ptr<Session> session;
};

TEST_F(RobberyTest, WalkInSpawnsEverythingWalkOutRemovesItAndTheCooldownRestoresTheBlip) {
  world().SetClock(12, 0);
  ASSERT_TRUE(RideUntil(
      South(60.0f), [&] { return !world().Objects().empty(); }, 60));

  const auto peds = world().Peds();
  ASSERT_EQ(peds.size(), kHome.defenders.size());
  for (std::size_t i = 0; i < peds.size(); ++i) {
    SCOPED_TRACE("occupant " + std::to_string(i));
    const homestead::DefenderSpawn& spawn = kHome.defenders[i];
    EXPECT_EQ(Distance3(peds[i]->position, At(spawn.position)), 0.0f);
    EXPECT_EQ(peds[i]->model, spawn.model);
    EXPECT_EQ(peds[i]->relationshipGroup, TextHash("REL_GANG_SKINNER_BROTHERS"));
    EXPECT_EQ(peds[i]->promptName, "Criminal");
    EXPECT_EQ(world().BlipsOn(peds[i]->handle).size(), 1u);
    if (spawn.scenario == nullptr) {
      EXPECT_EQ(peds[i]->task.kind, TaskKind::kDefaultIdle);
    } else if (*spawn.scenario != '\0') {
      EXPECT_EQ(peds[i]->task.kind, TaskKind::kScenario);
      EXPECT_EQ(peds[i]->task.scenario, TextHash(spawn.scenario));
    }
  }

  const Entity* money = world().Objects().front();
  EXPECT_EQ(Distance3(money->position, kLoot), 0.0f);
  ASSERT_EQ(world().BlipsOn(money->handle).size(), 1u);
  EXPECT_EQ(world().BlipsOn(money->handle)[0]->label, "Money Stack");
  EXPECT_EQ(world().BlipsOn(money->handle)[0]->scale, 0.7f);
  ASSERT_NE(HomeBlip(), nullptr) << "never within 4 m: the home blip stays";

  // Beyond 100 m everything goes, the home blip too.
  ASSERT_TRUE(RideUntil(
      South(120.0f), [&] { return world().Peds().empty(); }, 60));
  EXPECT_TRUE(world().Objects().empty());
  EXPECT_EQ(HomeBlip(), nullptr);
  ASSERT_EQ(world().blips().size(), std::size(homestead::kCatalogue) - 1)
      << "only the other homesteads' blips are left";
  for (const auto& [handle, blip] : world().blips()) EXPECT_EQ(blip.label, "Galdervine");

  // Robbed at hour 12: still cooling a minute before the cooldown's end.
  world().SetClock(12 + homestead::kCooldownHours - 1, 59);
  session->RunFrames(30);
  EXPECT_EQ(HomeBlip(), nullptr);
  world().SetClock(12 + homestead::kCooldownHours, 0);
  session->RunFrames(2);
  ASSERT_NE(HomeBlip(), nullptr);
  EXPECT_EQ(HomeBlip()->label, "Tarnwick");
  EXPECT_EQ(HomeBlip()->sprite, TextHash("blip_robbery_home"));
  EXPECT_TRUE(world().Peds().empty()) << "the player is beyond 80 m: nobody is spawned";
}

TEST_F(RobberyTest, TheWholeRobberyRunsItsMilestonesInOrder) {
  const auto isPlayerLine = [](const WorldEvent& e) {
    return e.kind == EventKind::kSpeech && e.subject == World::kPlayerHandle;
  };
  const auto isPedLine = [](const WorldEvent& e) {
    return e.kind == EventKind::kSpeech && e.subject != World::kPlayerHandle;
  };

  // Ride in and stop 15 m from the centre; the approach and the confrontation
  // play out while the player comes to a halt.
  const auto combatOrders = [&] {
    return Count(-1, [](const WorldEvent& e) {
      return e.kind == EventKind::kTaskGiven && e.text == "combat";
    });
  };
  ASSERT_TRUE(RideUntil(
      South(15.0f), [&] { return combatOrders() == static_cast<int>(kHome.defenders.size()); },
      300));

  const int spawned =
      Find(-1, [](const WorldEvent& e) { return e.kind == EventKind::kPedCreated; });
  const int moneyLabel = FindKind(spawned, EventKind::kBlipLabelled, "Money Stack");
  const int approach =
      FindKind(moneyLabel, EventKind::kObjectiveShown, homestead::kApproachObjective);
  const int hunting = Find(approach, isPlayerLine);
  const int chatter = Find(hunting, isPedLine);
  const int reply = Find(chatter, isPedLine);
  const int shotgun = FindKind(reply, EventKind::kWeaponGiven, "weapon_shotgun_pump");
  const int aim = FindKind(shotgun, EventKind::kTaskGiven, "aim at");
  const int firstCombat = FindKind(aim, EventKind::kTaskGiven, "combat");
  for (int milestone :
       {spawned, moneyLabel, approach, hunting, chatter, reply, shotgun, aim, firstCombat}) {
    ASSERT_GE(milestone, 0) << "a milestone of the approach or confrontation is missing";
  }
  EXPECT_NE(world().events()[chatter].subject, world().events()[reply].subject);
  bool opensAnApproach = false;
  for (const homestead::Conversation c : homestead::kApproachConversations) {
    opensAnApproach = opensAnApproach || world().events()[hunting].text == c.front().line;
  }
  EXPECT_TRUE(opensAnApproach) << world().events()[hunting].text;
  EXPECT_EQ(Count(aim, isPedLine), 4) << "the leader's four lines";
  EXPECT_EQ(Count(aim, isPlayerLine), 3) << "the player's three answers";

  // Shoot all occupants but one; the last one surrenders, flees and gets away.
  const auto peds = world().Peds();
  ASSERT_EQ(peds.size(), kHome.defenders.size());
  const int32_t last = peds.back()->handle;
  const int shot = static_cast<int>(world().events().size()) - 1;
  for (std::size_t i = 0; i + 1 < peds.size(); ++i) {
    ASSERT_TRUE(world().KillPed(peds[i]->handle));
  }
  ASSERT_TRUE(WaitUntil([&] { return !world().DoesEntityExist(last); }, 120));

  const int handsUp = Find(shot, [&](const WorldEvent& e) {
    return e.kind == EventKind::kTaskGiven && e.subject == last && e.text == "hands up";
  });
  const int flee = Find(handsUp, [&](const WorldEvent& e) {
    return e.kind == EventKind::kTaskGiven && e.subject == last && e.text == "flee from";
  });
  const int gone = Find(flee, [&](const WorldEvent& e) {
    return e.kind == EventKind::kEntityDeleted && e.subject == last;
  });
  ASSERT_GE(handsUp, 0);
  ASSERT_GE(flee, 0);
  ASSERT_GE(gone, 0);
  const auto isHisBlipRemoved = [&](const WorldEvent& e) {
    return e.kind == EventKind::kBlipRemoved && e.other == last;
  };
  EXPECT_EQ(Count(shot, isHisBlipRemoved, handsUp), 2)
      << "both of his blips are taken off before he gives up";
  EXPECT_GT(Distance3(world().events()[gone].position, world().PlayerPosition()), 60.0f);

  // The outcome: the search objective, then the player's three closing lines.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const int objective =
            FindKind(gone, EventKind::kObjectiveCleared, homestead::kValuablesObjective);
        return objective >= 0 && Count(objective, isPlayerLine) == 3 &&
               !world().IsAnySpeechPlaying(World::kPlayerHandle);
      },
      120));
  const int search = FindKind(gone, EventKind::kObjectiveShown, homestead::kValuablesObjective);
  ASSERT_GE(search, 0);
  const int searchCleared = FindKind(search, EventKind::kObjectiveCleared);
  EXPECT_EQ(world().events()[searchCleared].timeUs - world().events()[search].timeUs, 3'000'000);

  // Take the money: the loot blip goes at 1.5 m, the home blip at 4 m.
  const int32_t money = world().Objects().front()->handle;
  const int beforeLoot = static_cast<int>(world().events().size()) - 1;
  ASSERT_TRUE(RideUntil(
      kLoot, [&] { return world().BlipsOn(money).empty(); }, 60));
  EXPECT_GE(FindKind(beforeLoot, EventKind::kBlipRemoved, "Money Stack"), 0);
  EXPECT_EQ(HomeBlip(), nullptr);
  EXPECT_LE(Distance3(world().PlayerPosition(), kLoot), 1.5f);
  ASSERT_TRUE(world().TakeObject(money));

  // Ride away: the bodies are removed and the cooldown starts.
  ASSERT_TRUE(RideUntil(
      South(120.0f), [&] { return world().Peds().empty(); }, 60));
  const int teardown = static_cast<int>(world().events().size()) - 1;
  const int robbedAtHour = world().events()[teardown].clockMinute / 60;

  // When the cooldown is over, wherever the player is, the blip comes back.
  ASSERT_TRUE(WaitUntil([&] { return HomeBlip() != nullptr; }, 13 * 60));
  const int restored = FindKind(teardown, EventKind::kBlipLabelled, "Tarnwick");
  ASSERT_GE(restored, 0);
  EXPECT_EQ(world().events()[restored].clockMinute / 60,
            (robbedAtHour + homestead::kCooldownHours) % 24);
  EXPECT_LE(world().events()[restored].clockMinute % 60, 1);
  EXPECT_TRUE(world().Peds().empty());
}

}  // namespace
}  // namespace platform
