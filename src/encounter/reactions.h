// Defender reactions.
#ifndef HOMESTEAD_ENCOUNTER_REACTIONS_H
#define HOMESTEAD_ENCOUNTER_REACTIONS_H

#include <cstdint>

namespace homestead {

// Counts the living defenders, every tick; plays the last one's surrender,
// flight and pursuit until he dies or gets more than kGotAwayDistance from the
// player; hands over to RunRobberyOutcome when none is left alive. Holds the
// script for as long as the dialogue and the pursuit last.
void UpdateDefenderReactions(int32_t homesteadId);

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_REACTIONS_H
