// The confrontation.
#ifndef HOMESTEAD_ENCOUNTER_CONFRONTATION_H
#define HOMESTEAD_ENCOUNTER_CONFRONTATION_H

#include <cstdint>

namespace homestead {

// Within 20 m: every occupant turns to the player, the first is armed and
// aims, the leader and the player's character exchange seven lines, and all
// occupants attack. Sets `confronted` on every path past its guards.
void RunConfrontation(int32_t homesteadId);

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_CONFRONTATION_H
