// The simulator's homestead table against what the loaded plug-in really does:
// its start-up home blips, and where it places the money stack and the
// occupants of each homestead. Both read the plug-in's catalogue header, so
// this fails when the plug-in stops placing things from its catalogue or the
// simulator stops taking its table from there.
#include "sim/base/places.h"

#include <gtest/gtest.h>

#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "platform/session.h"
#include "registry/catalogue_data.h"

namespace sim {
namespace {

using homestead::DefenderSpawn;
using homestead::kCatalogue;
using homestead::kDefendersPerHomestead;
using homestead::Vector3;

void ExpectAt(const platform::Vec3& actual, const Vec3& expected) {
  EXPECT_EQ(actual.x, expected.x);
  EXPECT_EQ(actual.y, expected.y);
  EXPECT_EQ(actual.z, expected.z);
}

Vec3 Widen(const Vector3& v) {
  return {v.x, v.y, v.z};
}

TEST(PlacesTest, TheLoadedPlugInPutsBlipsMoneyAndOccupantsWhereTheTableSays) {
  const std::span<const HomesteadPlace> places = Homesteads();
  ASSERT_EQ(places.size(), std::size(kCatalogue));

  {
    auto opened = platform::Session::Open(HOMESTEAD_PLUGIN_PATH);
    ASSERT_NE(opened.session, nullptr) << opened.error;
    opened.session->RunFrames(10);          // the player stands far from every homestead
    std::vector<platform::Vec3> homeBlips;  // blip handles rise in creation order
    for (const auto& [handle, blip] : opened.session->world().blips()) {
      if (blip.entity == 0) homeBlips.push_back(blip.coords);
    }
    ASSERT_EQ(homeBlips.size(), places.size()) << "one home blip per homestead at start-up";
    for (std::size_t i = 0; i < places.size(); ++i) {
      SCOPED_TRACE("home blip of homestead " + std::to_string(places[i].id));
      ExpectAt(homeBlips[i], places[i].centre);
    }
    EXPECT_EQ(opened.session->Close(), "");
  }

  for (std::size_t i = 0; i < places.size(); ++i) {
    const HomesteadPlace& place = places[i];
    SCOPED_TRACE("homestead " + std::to_string(place.id));
    EXPECT_EQ(place.id, kCatalogue[i].id);
    // Inside the band where everything is placed, short of the approach talk.
    const Vec3 start = Offset(place.centre, Compass::kSouth, 50);
    platform::HostConfig config;
    config.world.playerStart = {static_cast<float>(start.x), static_cast<float>(start.y),
                                static_cast<float>(start.z)};
    auto opened = platform::Session::Open(HOMESTEAD_PLUGIN_PATH, config);
    ASSERT_NE(opened.session, nullptr) << opened.error;
    const platform::World& world = opened.session->world();
    ASSERT_TRUE(opened.session->RunUntil(
        [](platform::Session& s) { return !s.world().Objects().empty(); }, 600));

    ASSERT_EQ(world.Objects().size(), 1u);
    ExpectAt(world.Objects().front()->position, place.loot);
    const std::vector<const platform::Entity*> occupants = world.Peds();
    ASSERT_EQ(occupants.size(), kDefendersPerHomestead);
    for (std::size_t k = 0; k < occupants.size(); ++k) {
      SCOPED_TRACE("occupant " + std::to_string(k));
      const DefenderSpawn& spawn = kCatalogue[i].defenders[k];
      ExpectAt(occupants[k]->position, Widen(spawn.position));
      EXPECT_EQ(occupants[k]->heading, spawn.heading);
      EXPECT_EQ(occupants[k]->model, spawn.model);
    }
    EXPECT_EQ(opened.session->Close(), "");
  }
}

}  // namespace
}  // namespace sim
