#include "registry/homestead.h"

#include <algorithm>

#include "registry/catalogue_data.h"

namespace homestead {

Homestead::Homestead(const Vector3& centerIn, const std::vector<DefenderSpawn>& spawns,
                     const Vector3& lootPositionIn, const std::vector<int32_t>& defendersIn)
    : center(centerIn),
      defenderSpawns(spawns),
      lootPosition(lootPositionIn),
      cooldownHours(kCooldownHours),
      available(true),
      robbedAtHour(-1),
      defenders(defendersIn),
      leaderIndex(0) {}

void Homestead::EraseDefender(int32_t ped) {
  std::erase(defenders, ped);
}

}  // namespace homestead
