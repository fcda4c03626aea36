// Encounter teardown.
#ifndef HOMESTEAD_ENCOUNTER_TEARDOWN_H
#define HOMESTEAD_ENCOUNTER_TEARDOWN_H

#include <cstdint>

// Deletes what the encounter spawned, takes the home blip down, marks the
// homestead unavailable and starts its cooldown at the current clock hour.
void TeardownEncounter(int32_t homesteadId);

#endif  // HOMESTEAD_ENCOUNTER_TEARDOWN_H
