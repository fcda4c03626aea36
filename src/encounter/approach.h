// The approach dialogue.
#ifndef HOMESTEAD_ENCOUNTER_APPROACH_H
#define HOMESTEAD_ENCOUNTER_APPROACH_H

#include <cstdint>

namespace homestead {

// Within 32 m: the search objective and a three-line exchange between the
// player's character and two living occupants, once per encounter.
void RunApproachDialogue(int32_t homesteadId);

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_APPROACH_H
