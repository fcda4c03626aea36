// Encounter teardown.
#ifndef HOMESTEAD_ENCOUNTER_TEARDOWN_H
#define HOMESTEAD_ENCOUNTER_TEARDOWN_H

#include <cstdint>

namespace homestead {

// Deletes what the encounter spawned, takes the home blip down, marks the
// homestead unavailable and starts its cooldown at the current clock hour.
void TeardownEncounter(int32_t homesteadId);

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_TEARDOWN_H
