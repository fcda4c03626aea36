#include "encounter/teardown.h"

#include "host/host_api.h"
#include "registry/registry.h"

namespace homestead {

void TeardownEncounter(int32_t homesteadId) {
  Homestead& h = Registry().FindOrInsert(homesteadId);

  // The loot is forgotten even when its object is already gone (taken by the
  // player); otherwise the teardown would repeat on every tick and restart the
  // cooldown for as long as the player stays away.
  if (h.lootSpawned) {
    if (host::DoesEntityExist(h.lootObject)) host::DeleteEntity(&h.lootObject);
    h.lootSpawned = false;
    h.lootObject = 0;
  }

  for (const host::Ped defender : h.defenders) {
    if (host::DoesEntityExist(defender)) {
      host::Ped copy = defender;
      host::DeleteEntity(&copy);
    }
  }
  h.defenders.clear();

  h.available = false;
  h.robbedAtHour = host::GetClockHours();
  if (h.homeBlipActive) {
    host::RemoveBlip(&h.homeBlip);
    h.homeBlipActive = false;
  }
}

}  // namespace homestead
