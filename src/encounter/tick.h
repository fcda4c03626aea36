// The per-frame encounter tick: blips the player has reached, cooldowns,
// teardown beyond kTeardownDistance, and the encounter stages within
// kStageRadius.
#ifndef HOMESTEAD_ENCOUNTER_TICK_H
#define HOMESTEAD_ENCOUNTER_TICK_H

#include "encounter/distances.h"

namespace homestead {

inline constexpr int kHoursPerDay = 24;

// One pass over every homestead in registry order. May hold the script fibre
// for as long as the stages it calls wait.
void TickEncounters();

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_TICK_H
