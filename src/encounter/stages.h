// The encounter stages. Every stage takes the homestead id and finds its record
// with FindOrInsert itself; every host operation goes through host_api and
// every spoken line through SayAndWait.
//
// TickEncounters calls, per homestead and in this order: SpawnDefenders,
// SpawnMoneyStack, UpdateDefenderReactions, RunApproachDialogue,
// RunConfrontation; or TeardownEncounter once the player has left.
// UpdateDefenderReactions is the only caller of RunRobberyOutcome.
#ifndef HOMESTEAD_ENCOUNTER_STAGES_H
#define HOMESTEAD_ENCOUNTER_STAGES_H

#include <cstdint>

// Requests `model` once and polls HasModelLoaded once per frame until it is
// loaded, or until kMaxModelPolls polls have answered no; then returns and the
// caller creates its entity as if the model were loaded.
void LoadModel(uint32_t model);
inline constexpr int kMaxModelPolls = 300;

// Creates one ped per DefenderSpawn, in catalogue order, into an empty
// `defenders` list of an available homestead.
void SpawnDefenders(int32_t homesteadId);

// Places the money stack at `lootPosition` with its "Money Stack" blip, once
// per encounter.
void SpawnMoneyStack(int32_t homesteadId);

// Removes what the encounter spawned and starts the cooldown.
void TeardownEncounter(int32_t homesteadId);

// Counts the living defenders; plays the last one's surrender, flight and
// pursuit; hands over to RunRobberyOutcome when none is left alive.
void UpdateDefenderReactions(int32_t homesteadId);

// Within 32 m: the search objective and a three-line exchange, once.
void RunApproachDialogue(int32_t homesteadId);

// Within 20 m: turn, arm, seven lines, attack, once.
void RunConfrontation(int32_t homesteadId);

// Once confronted and every listed defender is dead: the valuables objective
// and the player's three closing lines, once per robbery.
void RunRobberyOutcome(int32_t homesteadId);

#endif  // HOMESTEAD_ENCOUNTER_STAGES_H
