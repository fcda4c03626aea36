// Every distance the encounter works with, in metres: the one place to change
// one. The plug-in's tick and stages read them, and homestead-sim includes this
// header to draw and judge the same bands. Plain constants, nothing to link.
#ifndef HOMESTEAD_ENCOUNTER_DISTANCES_H
#define HOMESTEAD_ENCOUNTER_DISTANCES_H

namespace homestead {

// Distance bands from the player. Radii are inclusive; the teardown and
// got-away distances are exclusive (exactly 100 m does not tear down).
inline constexpr float kLootBlipRadius = 1.5f;  // from the money stack
inline constexpr float kHomeBlipRadius = 4.0f;
inline constexpr float kConfrontationRadius = 20.0f;
inline constexpr float kApproachRadius = 32.0f;
inline constexpr float kStageRadius = 80.0f;  // occupants and money appear
inline constexpr float kTeardownDistance = 100.0f;
// The fleeing last occupant got away once this far from the player.
inline constexpr float kGotAwayDistance = 60.0f;

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_DISTANCES_H
