// The robbery outcome.
#ifndef HOMESTEAD_ENCOUNTER_OUTCOME_H
#define HOMESTEAD_ENCOUNTER_OUTCOME_H

#include <cstdint>

namespace homestead {

// Once confronted and every listed defender is dead: the valuables objective
// and the player's three closing lines, once per robbery.
void RunRobberyOutcome(int32_t homesteadId);

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_OUTCOME_H
