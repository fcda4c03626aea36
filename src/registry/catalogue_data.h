// The homestead catalogue as plain constants: where each robbable homestead
// stands, where it keeps its money, its occupants, and how long it stays
// unavailable after a robbery. This is the only copy of that data: the plug-in
// builds its registry from it, and homestead-sim includes this header to know
// the map (a test checks that the loaded plug-in really puts its blips, money
// and occupants where this table says). Constants only, nothing to link.
#ifndef HOMESTEAD_REGISTRY_CATALOGUE_DATA_H
#define HOMESTEAD_REGISTRY_CATALOGUE_DATA_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "registry/homestead.h"

namespace homestead {

// Game hours a robbed homestead stays unavailable, counted from the teardown.
inline constexpr int32_t kCooldownHours = 6;

inline constexpr std::size_t kDefendersPerHomestead = 6;

struct CatalogueEntry {
  int32_t id;
  Vector3 center;
  Vector3 lootPosition;
  std::array<DefenderSpawn, kDefendersPerHomestead> defenders;
};

inline constexpr uint32_t kDefenderModel = 0x3F094007;

// Occupant scenarios: what each one is doing when he is placed.
inline constexpr const char* kCampFire = "CC_WORLD_HUMAN_CAMP_FIRE_STAND";
inline constexpr const char* kCoffee = "WORLD_HUMAN_COFFEE_DRINK";
inline constexpr const char* kSmoke = "WORLD_HUMAN_SMOKE";
// An empty name: the occupant is still told to start a scenario, the one
// the host knows by the hash of "" (a null scenario gives the default idle
// task instead).
inline constexpr const char* kEmptyScenarioName = "";

// Homestead 1, then homestead 7: this is also the registry's walk order.
// Occupants as {scenario, heading, position, model}; a null scenario gives the
// default idle task. Ids must be unique.
inline constexpr CatalogueEntry kCatalogue[] = {
    {1,
     Vector3(2626.33f, 1695.275f, 115.693f),
     Vector3(2623.609f, 1696.502f, 115.75f),
     {{
         {kEmptyScenarioName, 271.229f, Vector3(2628.946f, 1693.758f, 115.575f), kDefenderModel},
         {kCampFire, 208.705f, Vector3(2630.234f, 1697.852f, 115.703f), kDefenderModel},
         {kCampFire, 260.29f, Vector3(2624.169f, 1695.421f, 115.8f), kDefenderModel},
         {kCampFire, 20.546f, Vector3(2626.732f, 1692.672f, 115.69f), kDefenderModel},
         {kCoffee, 152.365f, Vector3(2627.155f, 1695.649f, 115.696f), kDefenderModel},
         {nullptr, 180.0f, Vector3(2626.843f, 1699.357f, 115.698f), kDefenderModel},
     }}},
    {7,
     Vector3(2308.75f, -331.853f, 41.899f),
     Vector3(2311.577f, -331.112f, 44.17f),
     {{
         {kEmptyScenarioName, 187.084f, Vector3(2308.686f, -332.154f, 44.535f), kDefenderModel},
         {kCoffee, 96.742f, Vector3(2307.768f, -330.821f, 44.535f), kDefenderModel},
         {kSmoke, 157.0f, Vector3(2307.275f, -334.121f, 41.899f), kDefenderModel},
         {kCoffee, 57.766f, Vector3(2312.128f, -327.337f, 41.884f), kDefenderModel},
         {kSmoke, 221.447f, Vector3(2307.419f, -330.906f, 41.899f), kDefenderModel},
         {kCoffee, 149.143f, Vector3(2310.874f, -328.781f, 41.899f), kDefenderModel},
     }}},
};

}  // namespace homestead

#endif  // HOMESTEAD_REGISTRY_CATALOGUE_DATA_H
