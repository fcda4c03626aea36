// Tests of the Homestead record and of the registry that maps ids to records.
#include "registry/registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "registry/homestead.h"

namespace homestead {
namespace {

void ExpectVector(const Vector3& v, float x, float y, float z) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
}

std::vector<int32_t> WalkIds(const HomesteadRegistry& registry) {
  std::vector<int32_t> ids;
  for (const auto& entry : registry) ids.push_back(entry.id);
  return ids;
}

// Ids that spread over many buckets, including negative and extreme values
// whose bucket must still be computed in range.
std::vector<int32_t> ManyIds() {
  std::vector<int32_t> ids = {std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max(), -1, 0};
  // 37 permutes the residues modulo the prime 97: distinct, scrambled ids.
  for (int32_t i = 0; i < 97; ++i) ids.push_back((i * 37) % 97 * 13 - 600);
  return ids;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { Registry() = HomesteadRegistry(); }
  void TearDown() override { Registry() = HomesteadRegistry(); }
};

TEST_F(RegistryTest, UnknownIdGetsAnInertDefaultRecord) {
  HomesteadRegistry& registry = Registry();
  ASSERT_EQ(registry.size(), 0u);

  const Homestead& h = registry.FindOrInsert(42);

  EXPECT_EQ(registry.size(), 1u);
  ExpectVector(h.center, 0, 0, 0);
  EXPECT_TRUE(h.defenderSpawns.empty());
  ExpectVector(h.lootPosition, 0, 0, 0);
  EXPECT_EQ(h.cooldownHours, 0);
  EXPECT_FALSE(h.available);
  EXPECT_EQ(h.robbedAtHour, -1);
  EXPECT_FALSE(h.lootSpawned);
  EXPECT_TRUE(h.defenders.empty());
  EXPECT_EQ(h.lootObject, 0);
  EXPECT_FALSE(h.confronted);
  EXPECT_EQ(h.leaderIndex, -1);
  EXPECT_FALSE(h.outcomeDone);
  EXPECT_FALSE(h.approachDone);
  EXPECT_EQ(h.homeBlip, 0);
  EXPECT_FALSE(h.homeBlipActive);
  EXPECT_EQ(h.lootBlip, 0);
  EXPECT_FALSE(h.lootBlipActive);
}

TEST_F(RegistryTest, KnownIdReturnsTheSameRecordUnchanged) {
  HomesteadRegistry& registry = Registry();
  Homestead& first = registry.FindOrInsert(7);
  first.available = true;
  first.defenders = {11, 12};
  first.robbedAtHour = 5;
  registry.FindOrInsert(1);

  Homestead& again = registry.FindOrInsert(7);

  EXPECT_EQ(&again, &first);
  EXPECT_EQ(registry.size(), 2u);
  EXPECT_TRUE(again.available);
  EXPECT_EQ(again.defenders, (std::vector<int32_t>{11, 12}));
  EXPECT_EQ(again.robbedAtHour, 5);
}

// Stages keep a reference to their record while later lookups insert; the
// record must neither move nor lose its contents when the table grows.
TEST_F(RegistryTest, RecordsKeepTheirAddressesAndContentsAsTheTableGrows) {
  HomesteadRegistry& registry = Registry();
  EXPECT_EQ(registry.bucket_count(), 8u);

  const std::vector<int32_t> ids = ManyIds();
  std::vector<Homestead*> addresses;
  for (int32_t id : ids) {
    Homestead& h = registry.FindOrInsert(id);
    h.lootObject = id;
    h.defenders.push_back(id);
    addresses.push_back(&h);
    ASSERT_LE(registry.size(), registry.bucket_count()) << "load factor above 1 after id " << id;
  }
  ASSERT_EQ(registry.size(), ids.size());
  EXPECT_GT(registry.bucket_count(), 8u);

  for (std::size_t i = 0; i < ids.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "id " << ids[i]);
    Homestead& h = registry.FindOrInsert(ids[i]);
    EXPECT_EQ(&h, addresses[i]);
    EXPECT_EQ(h.lootObject, ids[i]);
    EXPECT_EQ(h.defenders, std::vector<int32_t>{ids[i]});
  }
  EXPECT_EQ(registry.size(), ids.size());
}

TEST_F(RegistryTest, WalkVisitsEveryRecordOnceInInsertionOrder) {
  {
    HomesteadRegistry registry;
    registry.FindOrInsert(1);
    registry.FindOrInsert(7);
    EXPECT_EQ(WalkIds(registry), (std::vector<int32_t>{1, 7}));
  }
  {
    HomesteadRegistry registry;
    registry.FindOrInsert(7);
    registry.FindOrInsert(1);
    registry.FindOrInsert(7);
    EXPECT_EQ(WalkIds(registry), (std::vector<int32_t>{7, 1}));
  }
  {
    // Across several doublings of the bucket array.
    HomesteadRegistry registry;
    const std::vector<int32_t> ids = ManyIds();
    for (int32_t id : ids) registry.FindOrInsert(id);
    for (int32_t id : ids) registry.FindOrInsert(id);
    EXPECT_EQ(WalkIds(registry), ids);
  }
}

TEST(HomesteadTest, MainConstructorCopiesItsValuesAndStartsAvailable) {
  const std::vector<DefenderSpawn> spawns = {
      {"", 90.0f, Vector3(1, 2, 3), 0x3F094007},
      {nullptr, 180.0f, Vector3(4, 5, 6), 0x3F094007},
  };
  const Homestead h(Vector3(10, 20, 30), spawns, Vector3(11, 21, 31), {5, 6});

  ExpectVector(h.center, 10, 20, 30);
  ASSERT_EQ(h.defenderSpawns.size(), 2u);
  ASSERT_NE(h.defenderSpawns[0].scenario, nullptr);
  EXPECT_STREQ(h.defenderSpawns[0].scenario, "");
  EXPECT_EQ(h.defenderSpawns[1].scenario, nullptr);
  EXPECT_EQ(h.defenderSpawns[1].heading, 180.0f);
  ExpectVector(h.lootPosition, 11, 21, 31);
  EXPECT_EQ(h.defenders, (std::vector<int32_t>{5, 6}));
  EXPECT_EQ(h.cooldownHours, 6);
  EXPECT_TRUE(h.available);
  EXPECT_EQ(h.robbedAtHour, -1);
  EXPECT_EQ(h.leaderIndex, 0);
  EXPECT_FALSE(h.lootSpawned);
  EXPECT_FALSE(h.confronted);
  EXPECT_FALSE(h.outcomeDone);
  EXPECT_FALSE(h.approachDone);
  EXPECT_FALSE(h.homeBlipActive);
  EXPECT_FALSE(h.lootBlipActive);
  EXPECT_EQ(h.lootObject, 0);
  EXPECT_EQ(h.homeBlip, 0);
  EXPECT_EQ(h.lootBlip, 0);
}

TEST_F(RegistryTest, MoveAssignmentReplacesEveryFieldAndEmptiesTheSourceLists) {
  Homestead& target = Registry().FindOrInsert(3);
  target.defenders = {9, 9, 9};
  target.defenderSpawns = {{"WORLD_HUMAN_SMOKE", 1.0f, Vector3(), 1}};
  target.homeBlipActive = true;
  target.homeBlip = 77;

  Homestead source(
      Vector3(10, 20, 30),
      {{"", 90.0f, Vector3(1, 2, 3), 0x3F094007}, {nullptr, 180.0f, Vector3(4, 5, 6), 0x3F094007}},
      Vector3(11, 21, 31), {});
  source.robbedAtHour = 4;
  source.lootSpawned = true;
  source.defenders = {21, 22};
  source.lootObject = 17;
  source.confronted = true;
  source.leaderIndex = 2;
  source.outcomeDone = true;
  source.approachDone = true;
  source.lootBlip = 6;
  source.lootBlipActive = true;

  target = std::move(source);

  ExpectVector(target.center, 10, 20, 30);
  ASSERT_EQ(target.defenderSpawns.size(), 2u);
  ASSERT_NE(target.defenderSpawns[0].scenario, nullptr);
  EXPECT_STREQ(target.defenderSpawns[0].scenario, "");
  EXPECT_EQ(target.defenderSpawns[1].scenario, nullptr);
  ExpectVector(target.defenderSpawns[1].position, 4, 5, 6);
  ExpectVector(target.lootPosition, 11, 21, 31);
  EXPECT_EQ(target.cooldownHours, 6);
  EXPECT_TRUE(target.available);
  EXPECT_EQ(target.robbedAtHour, 4);
  EXPECT_TRUE(target.lootSpawned);
  EXPECT_EQ(target.defenders, (std::vector<int32_t>{21, 22}));
  EXPECT_EQ(target.lootObject, 17);
  EXPECT_TRUE(target.confronted);
  EXPECT_EQ(target.leaderIndex, 2);
  EXPECT_TRUE(target.outcomeDone);
  EXPECT_TRUE(target.approachDone);
  EXPECT_EQ(target.homeBlip, 0);
  EXPECT_FALSE(target.homeBlipActive);
  EXPECT_EQ(target.lootBlip, 6);
  EXPECT_TRUE(target.lootBlipActive);

  // The source gives up its lists rather than sharing or copying them.
  EXPECT_TRUE(source.defenderSpawns.empty());
  EXPECT_TRUE(source.defenders.empty());
  EXPECT_EQ(Registry().size(), 1u);
}

TEST(HomesteadTest, EraseDefenderRemovesEveryCopyAndKeepsTheRestInOrder) {
  struct Row {
    const char* name;
    std::vector<int32_t> before;
    int32_t ped;
    std::vector<int32_t> after;
  };
  const Row rows[] = {
      {"single", {4, 5, 6}, 5, {4, 6}},
      {"duplicates", {1, 2, 1, 3, 1}, 1, {2, 3}},
      {"adjacent duplicates at the end", {7, 8, 9, 9}, 9, {7, 8}},
      {"every entry", {4, 4}, 4, {}},
      {"absent", {4, 5}, 6, {4, 5}},
      {"empty list", {}, 1, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Homestead h;
    h.defenders = row.before;
    h.EraseDefender(row.ped);
    EXPECT_EQ(h.defenders, row.after);
  }
}

}  // namespace
}  // namespace homestead
