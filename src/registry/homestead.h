// The Homestead record: everything the plug-in knows about one robbable
// homestead, from its catalogue data to where it stands in the robbery cycle.
//
// Idle: available, no defenders, no loot. Encounter running: available with
// defenders or loot spawned. Cooling down: not available, robbedAtHour set.
#ifndef HOMESTEAD_REGISTRY_HOMESTEAD_H
#define HOMESTEAD_REGISTRY_HOMESTEAD_H

#include <cstdint>
#include <vector>

#include "host/vector3.h"

namespace homestead {

// One occupant to spawn at a homestead. `scenario` has three distinct states:
// null (use the default idle task), "" (a present, empty scenario name that is
// hashed and started like any other) and a name. Texts are static literals.
struct DefenderSpawn {
  const char* scenario;
  float heading;
  Vector3 position;
  uint32_t model;
};

struct Homestead {
  Vector3 center;
  std::vector<DefenderSpawn> defenderSpawns;
  Vector3 lootPosition;
  int32_t cooldownHours = 0;
  bool available = false;
  int32_t robbedAtHour = -1;  // -1: no cooldown running
  bool lootSpawned = false;
  std::vector<int32_t> defenders;  // ped handles in spawn order
  int32_t lootObject = 0;
  bool confronted = false;
  int32_t leaderIndex = -1;  // index in `defenders`; negative: none
  bool outcomeDone = false;
  bool approachDone = false;
  int32_t homeBlip = 0;
  bool homeBlipActive = false;
  int32_t lootBlip = 0;
  bool lootBlipActive = false;

  // An inert record: not available, no cooldown, nothing to spawn.
  Homestead() = default;
  // A catalogue homestead, available, with the catalogue's cooldown.
  Homestead(const Vector3& center, const std::vector<DefenderSpawn>& spawns,
            const Vector3& lootPosition, const std::vector<int32_t>& defenders);

  Homestead(const Homestead&) = delete;
  Homestead& operator=(const Homestead&) = delete;
  Homestead(Homestead&&) = default;
  // Moves both lists and copies every other field.
  Homestead& operator=(Homestead&&) = default;

  // Removes every entry equal to `ped`, keeping the order of the rest.
  void EraseDefender(int32_t ped);
};

}  // namespace homestead

#endif  // HOMESTEAD_REGISTRY_HOMESTEAD_H
