// The money stack: the homestead's loot object and its map blip.
#ifndef HOMESTEAD_ENCOUNTER_MONEY_STACK_H
#define HOMESTEAD_ENCOUNTER_MONEY_STACK_H

#include <cstdint>

namespace homestead {

// Places the money stack at `lootPosition` with its "Money Stack" blip, once
// per encounter, for an available homestead.
void SpawnMoneyStack(int32_t homesteadId);

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_MONEY_STACK_H
