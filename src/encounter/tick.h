// The per-frame encounter tick: blips the player has reached, cooldowns,
// teardown beyond 100 m, and the encounter stages within 80 m.
#ifndef HOMESTEAD_ENCOUNTER_TICK_H
#define HOMESTEAD_ENCOUNTER_TICK_H

// Distance bands, in metres from the player. Radii are inclusive; the teardown
// distance is exclusive (exactly 100 m does not tear down).
inline constexpr float kLootBlipRadius = 1.5f;
inline constexpr float kHomeBlipRadius = 4.0f;
inline constexpr float kConfrontationRadius = 20.0f;
inline constexpr float kApproachRadius = 32.0f;
inline constexpr float kStageRadius = 80.0f;
inline constexpr float kTeardownDistance = 100.0f;

inline constexpr int kHoursPerDay = 24;
inline constexpr const char* kRestoredHomeLabel = "Tarnwick";

// One pass over every homestead in registry order. May hold the script fibre
// for as long as the stages it calls wait.
void TickEncounters();

#endif  // HOMESTEAD_ENCOUNTER_TICK_H
