#include "encounter/tick.h"

#include "encounter/stages.h"
#include "host/host_api.h"
#include "registry/home_blip.h"
#include "registry/registry.h"

namespace homestead {

namespace {

// Hours since `robbedAtHour` on a 24-hour clock, 0 to 23 for hours the host
// gives in 0 to 23. Worked in 64 bits so that an out-of-range hour from the
// host cannot overflow.
int64_t HoursSince(int32_t robbedAtHour, int32_t hour) {
  return (int64_t{hour} - robbedAtHour + kHoursPerDay) % kHoursPerDay;
}

// Makes a cooled-down homestead available again, with its stage flags cleared
// and its home blip back. Deletes no entity; the loot blip fields stay.
void EndCooldown(Homestead& h) {
  h.available = true;
  h.robbedAtHour = -1;
  h.outcomeDone = false;
  h.approachDone = false;
  h.confronted = false;
  h.defenders.clear();
  h.lootSpawned = false;
  h.lootObject = 0;
  if (!h.homeBlipActive) CreateHomeBlip(h, kRestoredHomeLabel);
}

// The stages due for an available homestead within the stage radius, each
// reading the record as the previous one left it.
void RunStages(int32_t id, Homestead& h, float distance) {
  if (h.defenders.empty()) SpawnDefenders(id);
  if (!h.lootSpawned) SpawnMoneyStack(id);
  UpdateDefenderReactions(id);
  if (distance <= kApproachRadius && !h.approachDone) RunApproachDialogue(id);
  if (distance <= kConfrontationRadius && !h.confronted) RunConfrontation(id);
}

}  // namespace

void TickEncounters() {
  if (host::IsActivitySuppressed()) return;

  // Taken once: a stage that waits does not refresh them for later homesteads.
  const int32_t hour = host::GetClockHours();
  const host::Ped player = host::PlayerPedId();
  const Vector3 position = host::GetEntityCoords(player);

  // Records never move, so `h` stays valid while a stage waits or inserts.
  for (auto& [id, h] : Registry()) {
    if (h.lootSpawned && h.lootBlipActive &&
        host::DistanceBetweenCoords(position, h.lootPosition) <= kLootBlipRadius) {
      host::RemoveBlip(&h.lootBlip);
      h.lootBlipActive = false;
    }

    if (h.available) {
      if (h.homeBlipActive && host::DistanceBetweenCoords(position, h.center) <= kHomeBlipRadius) {
        host::RemoveBlip(&h.homeBlip);
        h.homeBlipActive = false;
      }
    } else if (h.robbedAtHour != -1 && HoursSince(h.robbedAtHour, hour) >= h.cooldownHours) {
      EndCooldown(h);
    }

    const float distance = host::DistanceBetweenCoords(position, h.center);
    if (distance > kStageRadius) {
      if (distance > kTeardownDistance && (!h.defenders.empty() || h.lootSpawned)) {
        TeardownEncounter(id);
      }
    } else if (h.available && !host::IsActivitySuppressed()) {
      RunStages(id, h, distance);
    }
  }
}

}  // namespace homestead
