// The objective texts the encounter shows, with their colour markup. One copy:
// the stages show them, and homestead-sim recognises its approach and outcome
// milestones by them.
#ifndef HOMESTEAD_ENCOUNTER_OBJECTIVES_H
#define HOMESTEAD_ENCOUNTER_OBJECTIVES_H

namespace homestead {

// Shown by the approach dialogue.
inline constexpr const char* kApproachObjective =
    "Search the ~COLOR_YELLOW~homestead~s~ for the valuables";
// Shown by the robbery outcome.
inline constexpr const char* kValuablesObjective = "Search for ~COLOR_YELLOW~valuables~s~";

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_OBJECTIVES_H
