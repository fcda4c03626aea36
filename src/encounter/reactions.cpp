#include "encounter/reactions.h"

#include <array>
#include <vector>

#include "encounter/conversations.h"
#include "encounter/distances.h"
#include "encounter/outcome.h"
#include "encounter/speech.h"
#include "host/host_api.h"
#include "registry/registry.h"

namespace homestead {

namespace {
constexpr uint32_t kPursuitPollMs = 500;

struct LastDefender {
  int livingCount = 0;
  host::Ped ped = 0;
  // His blip as two lookups answered it: he may carry the on-guard blip from
  // spawning and the enemy blip from the attack, and each lookup names one.
  std::array<host::Blip, 2> blipLookups{};
};

LastDefender CountLiving(const std::vector<int32_t>& defenders) {
  LastDefender last;
  for (const host::Ped ped : defenders) {
    if (host::IsEntityDead(ped)) continue;
    ++last.livingCount;
    last.ped = ped;
    for (host::Blip& blip : last.blipLookups) blip = host::GetBlipFromEntity(ped);
  }
  return last;
}

void RemoveBlipIfExists(host::Blip& blip) {
  if (host::DoesBlipExist(blip)) host::RemoveBlip(&blip);
}

// Follows the fleeing defender. True when he got away (more than 60 m from
// the player), false when he died first.
bool PursueUntilGone(host::Ped defender, host::Ped player) {
  for (;;) {
    const Vector3 defenderAt = host::GetEntityCoords(defender);
    const Vector3 playerAt = host::GetEntityCoords(player);
    if (host::DistanceBetweenCoords(defenderAt, playerAt) > kGotAwayDistance) return true;
    scriptWait(kPursuitPollMs);
    if (host::IsEntityDead(defender)) return false;
  }
}

// The last defender's surrender, flight and pursuit.
void RunSurrender(int32_t homesteadId, Homestead& h, LastDefender& last, host::Ped player) {
  const host::Ped defender = last.ped;
  const Vector3 startPosition = host::GetEntityCoords(defender);
  for (host::Blip& blip : last.blipLookups) RemoveBlipIfExists(blip);
  if (host::IsEntityDead(defender)) {
    RunRobberyOutcome(homesteadId);
    return;
  }

  const Speakers speakers{.player = player, .lastDefender = defender};
  host::ClearPedTasks(defender);
  const Conversation surrender = DrawConversation(kSurrenderConversations);
  if (!host::IsEntityDead(defender)) {
    host::TaskHandsUp(defender, player);
    RunConversation(surrender, speakers);
  }
  // The flee position is where he stood before the dialogue.
  if (!host::IsEntityDead(defender)) host::TaskFleeFrom(defender, player, startPosition);
  RunConversation(DrawConversation(kPartingConversations), speakers);

  if (host::IsEntityDead(defender) || !PursueUntilGone(defender, player)) {
    RunRobberyOutcome(homesteadId);  // he stays listed, dead
    return;
  }

  if (host::DoesEntityExist(defender)) {
    host::Ped copy = defender;
    host::DeleteEntity(&copy);
  }
  RunRobberyOutcome(homesteadId);
  h.EraseDefender(defender);
}
}  // namespace

void UpdateDefenderReactions(int32_t homesteadId) {
  Homestead& h = Registry().FindOrInsert(homesteadId);
  const host::Ped player = host::PlayerPedId();
  if (h.defenders.empty()) {
    RunRobberyOutcome(homesteadId);
    return;
  }

  LastDefender last = CountLiving(h.defenders);
  if (last.livingCount == 0) {
    RunRobberyOutcome(homesteadId);
    return;
  }
  if (last.livingCount >= 2 || last.ped == 0) return;
  RunSurrender(homesteadId, h, last, player);
}

}  // namespace homestead
