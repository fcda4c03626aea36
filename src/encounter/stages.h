// The encounter stages, all in one include. Every stage takes the homestead id
// and finds its record with FindOrInsert itself; every host operation goes
// through host_api and every spoken line through SayAndWait.
//
// TickEncounters calls, per homestead and in this order: SpawnDefenders,
// SpawnMoneyStack, UpdateDefenderReactions, RunApproachDialogue,
// RunConfrontation; or TeardownEncounter once the player has left.
// UpdateDefenderReactions is the only caller of RunRobberyOutcome.
#ifndef HOMESTEAD_ENCOUNTER_STAGES_H
#define HOMESTEAD_ENCOUNTER_STAGES_H

#include "encounter/approach.h"
#include "encounter/confrontation.h"
#include "encounter/money_stack.h"
#include "encounter/outcome.h"
#include "encounter/reactions.h"
#include "encounter/spawning.h"
#include "encounter/teardown.h"

#endif  // HOMESTEAD_ENCOUNTER_STAGES_H
