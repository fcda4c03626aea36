// Tests of the built-in catalogue and of the start-up map blips: the records
// InitHomesteads leaves in the registry and the exact host calls it makes.
#include "registry/catalogue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "platform/operations.h"
#include "registry/catalogue_data.h"
#include "registry/registry.h"
#include "support/catalogue_reads.h"
#include "support/fake_hook.h"

namespace homestead {
namespace {

namespace op_hash = ::platform::op_hash;

using fake::FakeHook;

constexpr uint32_t kOccupantModel = 0x3F094007;

struct Point {
  float x, y, z;
};

struct ExpectedOccupant {
  Point position;
  float heading;
  const char* scenario;  // null: no scenario at all
};

struct ExpectedHomestead {
  int32_t id;
  Point center;
  Point loot;
  std::vector<ExpectedOccupant> occupants;
};

// The shipped catalogue, pinned by ShipsTheseHomesteads alone: every other
// test reads kCatalogue, so adding or moving a homestead fails only that one.
const std::vector<ExpectedHomestead>& Shipped() {
  static const std::vector<ExpectedHomestead> shipped = {
      {1,
       {2626.33f, 1695.275f, 115.693f},
       {2623.609f, 1696.502f, 115.75f},
       {
           {{2628.946f, 1693.758f, 115.575f}, 271.229f, ""},
           {{2630.234f, 1697.852f, 115.703f}, 208.705f, "CC_WORLD_HUMAN_CAMP_FIRE_STAND"},
           {{2624.169f, 1695.421f, 115.8f}, 260.29f, "CC_WORLD_HUMAN_CAMP_FIRE_STAND"},
           {{2626.732f, 1692.672f, 115.69f}, 20.546f, "CC_WORLD_HUMAN_CAMP_FIRE_STAND"},
           {{2627.155f, 1695.649f, 115.696f}, 152.365f, "WORLD_HUMAN_COFFEE_DRINK"},
           {{2626.843f, 1699.357f, 115.698f}, 180.0f, nullptr},
       }},
      {7,
       {2308.75f, -331.853f, 41.899f},
       {2311.577f, -331.112f, 44.17f},
       {
           {{2308.686f, -332.154f, 44.535f}, 187.084f, ""},
           {{2307.768f, -330.821f, 44.535f}, 96.742f, "WORLD_HUMAN_COFFEE_DRINK"},
           {{2307.275f, -334.121f, 41.899f}, 157.0f, "WORLD_HUMAN_SMOKE"},
           {{2312.128f, -327.337f, 41.884f}, 57.766f, "WORLD_HUMAN_COFFEE_DRINK"},
           {{2307.419f, -330.906f, 41.899f}, 221.447f, "WORLD_HUMAN_SMOKE"},
           {{2310.874f, -328.781f, 41.899f}, 149.143f, "WORLD_HUMAN_COFFEE_DRINK"},
       }},
  };
  return shipped;
}

void ExpectAt(const Vector3& v, const Point& p) {
  EXPECT_EQ(v.x, p.x);
  EXPECT_EQ(v.y, p.y);
  EXPECT_EQ(v.z, p.z);
}

void ExpectAt(const Vector3& v, const Vector3& p) {
  ExpectAt(v, Point{p.x, p.y, p.z});
}

// One expected pushed slot: a number, or the address of a text with this content.
struct Slot {
  uint64_t value = 0;
  const char* text = nullptr;
};
Slot N(uint64_t value) {
  return {value, nullptr};
}
Slot T(const char* text) {
  return {0, text};
}

struct ExpectedCall {
  uint64_t hash;
  std::vector<Slot> slots;
};

void ExpectCall(const fake::Event& event, const ExpectedCall& expected) {
  EXPECT_EQ(event.kind, fake::Event::Kind::kCall);
  EXPECT_EQ(event.hash, expected.hash);
  ASSERT_EQ(event.args.size(), expected.slots.size());
  for (std::size_t i = 0; i < expected.slots.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "slot " << i);
    if (expected.slots[i].text != nullptr) {
      EXPECT_EQ(fake::Text(event.args[i]), expected.slots[i].text);
    } else {
      EXPECT_EQ(event.args[i], expected.slots[i].value);
    }
  }
}

// Answers given by the host in the sequence tests.
constexpr uint32_t kSpriteHash = 0x5A5A0001;
constexpr uint32_t kModifierHash = 0x5A5A0002;
constexpr int32_t kFirstBlip = 100;

// The label handle CreateVarString answers the nth time: all 64 bits in use.
uint64_t LabelHandle(std::size_t n) {
  return 0x1234567890ABCDEF + n * 0x0101010101010101;
}

// The host calls that give the homestead at `center` the blip `blip`, whose
// label CreateVarString answered with `label`.
std::vector<ExpectedCall> HomeBlipCalls(const Vector3& center, int32_t blip, uint64_t label) {
  const uint64_t b = static_cast<uint32_t>(blip);
  return {
      {op_hash::kAddBlipForCoords,
       {N(1664425300), N(fake::FloatBits(center.x)), N(fake::FloatBits(center.y)),
        N(fake::FloatBits(center.z))}},
      {op_hash::kHashKey, {T("blip_robbery_home")}},
      {op_hash::kSetBlipSprite, {N(b), N(kSpriteHash), N(1)}},
      {op_hash::kSetBlipScale, {N(b), N(0x3F19999A)}},
      {op_hash::kCreateVarString, {N(10), T("LITERAL_STRING"), T("Galdervine")}},
      {op_hash::kSetBlipName, {N(b), N(label)}},
      {op_hash::kHashKey, {T("BLIP_MODIFIER_SCALE_2")}},
      {op_hash::kAddBlipModifier, {N(b), N(kModifierHash)}},
  };
}

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeHook::Get().Reset();
    Registry() = HomesteadRegistry();
    // Blips are numbered from kFirstBlip and labels from LabelHandle(0) in the
    // order the host is asked for them.
    FakeHook::Get().responder = [this](uint64_t hash, const std::vector<uint64_t>& args) {
      switch (hash) {
        case op_hash::kHashKey:
          return fake::Answer(fake::Text(args.at(0)) == "blip_robbery_home" ? kSpriteHash
                                                                            : kModifierHash);
        case op_hash::kAddBlipForCoords:
          return fake::Answer(static_cast<uint32_t>(kFirstBlip + blipsMade_++));
        case op_hash::kCreateVarString:
          return fake::Answer(LabelHandle(labelsMade_++));
        default:
          return fake::Result{};
      }
    };
  }
  void TearDown() override {
    FakeHook::Get().Reset();
    Registry() = HomesteadRegistry();
  }

  int32_t blipsMade_ = 0;
  std::size_t labelsMade_ = 0;
};

TEST(ShippedCatalogueTest, ShipsTheseHomesteads) {
  ASSERT_EQ(std::size(kCatalogue), Shipped().size());
  for (std::size_t i = 0; i < Shipped().size(); ++i) {
    const ExpectedHomestead& expected = Shipped()[i];
    const CatalogueEntry& entry = kCatalogue[i];
    SCOPED_TRACE(::testing::Message() << "homestead " << expected.id);
    EXPECT_EQ(entry.id, expected.id);
    ExpectAt(entry.center, expected.center);
    ExpectAt(entry.lootPosition, expected.loot);
    ASSERT_EQ(entry.defenders.size(), expected.occupants.size());
    for (std::size_t k = 0; k < expected.occupants.size(); ++k) {
      SCOPED_TRACE(::testing::Message() << "occupant " << k);
      const DefenderSpawn& spawn = entry.defenders[k];
      const ExpectedOccupant& occupant = expected.occupants[k];
      ExpectAt(spawn.position, occupant.position);
      EXPECT_EQ(spawn.heading, occupant.heading);
      EXPECT_EQ(spawn.model, kOccupantModel);
      if (occupant.scenario == nullptr) {
        EXPECT_EQ(spawn.scenario, nullptr);
      } else {
        ASSERT_NE(spawn.scenario, nullptr) << "a present scenario became absent";
        EXPECT_STREQ(spawn.scenario, occupant.scenario);
      }
    }
  }
  EXPECT_EQ(kCooldownHours, 6);
}

TEST_F(CatalogueTest, BuildsEveryHomesteadWithItsOccupantsInTableOrder) {
  InitHomesteads();

  HomesteadRegistry& registry = Registry();
  ASSERT_EQ(registry.size(), catalogue::kCount) << "nothing beyond the catalogue's ids";
  std::size_t walked = 0;
  for (const auto& [id, h] : registry) {
    ASSERT_LT(walked, catalogue::kCount);
    const CatalogueEntry& entry = kCatalogue[walked++];
    SCOPED_TRACE(::testing::Message() << "homestead " << entry.id);
    EXPECT_EQ(id, entry.id) << "the registry walks the table's order";
    ExpectAt(h.center, entry.center);
    ExpectAt(h.lootPosition, entry.lootPosition);
    EXPECT_TRUE(h.defenders.empty());
    EXPECT_TRUE(h.available);
    EXPECT_EQ(h.cooldownHours, kCooldownHours);
    EXPECT_EQ(h.robbedAtHour, -1);
    EXPECT_EQ(h.leaderIndex, 0);
    EXPECT_FALSE(h.lootSpawned);

    ASSERT_EQ(h.defenderSpawns.size(), entry.defenders.size());
    for (std::size_t i = 0; i < entry.defenders.size(); ++i) {
      SCOPED_TRACE(::testing::Message() << "occupant " << i);
      const DefenderSpawn& spawn = h.defenderSpawns[i];
      const DefenderSpawn& want = entry.defenders[i];
      ExpectAt(spawn.position, want.position);
      EXPECT_EQ(spawn.heading, want.heading);
      EXPECT_EQ(spawn.model, want.model);
      EXPECT_EQ(spawn.scenario, want.scenario) << "the table's own text, or null";
    }
  }
}

TEST_F(CatalogueTest, GivesEachHomesteadItsLabelledBlipInRegistryOrder) {
  InitHomesteads();

  // The first entry first: the first blip and the first label handle are its.
  std::vector<ExpectedCall> expected;
  for (std::size_t i = 0; i < catalogue::kCount; ++i) {
    const int32_t blip = kFirstBlip + static_cast<int32_t>(i);
    for (ExpectedCall& call : HomeBlipCalls(kCatalogue[i].center, blip, LabelHandle(i))) {
      expected.push_back(std::move(call));
    }
  }
  const std::vector<fake::Event>& events = FakeHook::Get().events;
  ASSERT_EQ(events.size(), expected.size()) << "no other call and no wait";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "call " << i);
    ExpectCall(events[i], expected[i]);
  }

  for (std::size_t i = 0; i < catalogue::kCount; ++i) {
    const Homestead& h = Registry().FindOrInsert(kCatalogue[i].id);
    EXPECT_EQ(h.homeBlip, kFirstBlip + static_cast<int32_t>(i));
    EXPECT_TRUE(h.homeBlipActive);
  }
}

// A record already under a catalogue id is overwritten in place: its old
// state, its blip flag included, gives way to the catalogue's.
TEST_F(CatalogueTest, ReplacesARecordAlreadyUnderACatalogueId) {
  const CatalogueEntry& last = kCatalogue[catalogue::kCount - 1];
  Homestead& old = Registry().FindOrInsert(last.id);
  old.center = Vector3(1, 2, 3);
  old.defenders = {55, 56};
  old.lootObject = 9;
  old.lootSpawned = true;
  old.robbedAtHour = 3;
  old.homeBlip = 77;
  old.homeBlipActive = true;

  InitHomesteads();

  HomesteadRegistry& registry = Registry();
  EXPECT_EQ(registry.size(), catalogue::kCount);
  Homestead& h = registry.FindOrInsert(last.id);
  EXPECT_EQ(&h, &old);
  ExpectAt(h.center, last.center);
  EXPECT_EQ(h.defenderSpawns.size(), kDefendersPerHomestead);
  EXPECT_TRUE(h.defenders.empty());
  EXPECT_EQ(h.lootObject, 0);
  EXPECT_FALSE(h.lootSpawned);
  EXPECT_TRUE(h.available);
  EXPECT_EQ(h.robbedAtHour, -1);

  // Blips follow the registry's walk, which now starts with the older record,
  // and the replaced record gets a fresh blip.
  const std::vector<fake::Event> blips = FakeHook::Get().CallsOf(op_hash::kAddBlipForCoords);
  ASSERT_EQ(blips.size(), catalogue::kCount);
  ASSERT_EQ(registry.begin()->id, last.id);
  std::size_t n = 0;
  for (const auto& [id, record] : registry) {
    SCOPED_TRACE(::testing::Message() << "homestead " << id);
    ASSERT_LT(n, blips.size());
    EXPECT_EQ(blips[n].args.at(1), fake::FloatBits(record.center.x));
    EXPECT_EQ(record.homeBlip, kFirstBlip + static_cast<int32_t>(n));
    EXPECT_TRUE(record.homeBlipActive);
    ++n;
  }
}

TEST_F(CatalogueTest, LeavesAHomesteadThatAlreadyHasABlipAlone) {
  Homestead& other = Registry().FindOrInsert(catalogue::UnknownId());
  other.center = Vector3(4.75f, 4.75f, 4.75f);
  other.homeBlip = 77;
  other.homeBlipActive = true;

  InitHomesteads();

  EXPECT_EQ(Registry().size(), catalogue::kCount + 1);
  EXPECT_EQ(other.homeBlip, 77);
  EXPECT_TRUE(other.homeBlipActive);
  const std::vector<fake::Event> blips = FakeHook::Get().CallsOf(op_hash::kAddBlipForCoords);
  ASSERT_EQ(blips.size(), catalogue::kCount);
  for (const fake::Event& blip : blips) {
    EXPECT_NE(blip.args.at(1), fake::FloatBits(4.75f));
  }
  EXPECT_EQ(FakeHook::Get().CallsOf(op_hash::kSetBlipName).size(), catalogue::kCount);
}

}  // namespace
}  // namespace homestead
