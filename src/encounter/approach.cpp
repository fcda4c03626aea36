#include "encounter/approach.h"

#include <array>

#include "encounter/conversations.h"
#include "encounter/objectives.h"
#include "encounter/speech.h"
#include "host/host_api.h"
#include "registry/catalogue_data.h"
#include "registry/registry.h"

namespace homestead {

namespace {
bool InRange(int32_t index, std::size_t size) {
  return index >= 0 && static_cast<std::size_t>(index) < size;
}

// The occupants alive when the approach starts, in spawn order. A fixed
// array, not a heap list: it lives across scriptWait, and a plug-in unloaded
// during that wait never unwinds its stack, so a heap buffer would leak.
// A homestead has at most kDefendersPerHomestead occupants; should a record
// hold more, all living ones are counted but only that many are kept, and a
// draw beyond them leaves the conversation unsaid.
struct LivingOccupants {
  std::array<host::Ped, kDefendersPerHomestead> peds{};
  std::size_t kept = 0;
  int32_t count = 0;
};

LivingOccupants FindLiving(const Homestead& h) {
  LivingOccupants living;
  for (const host::Ped ped : h.defenders) {
    if (!host::DoesEntityExist(ped) || host::IsEntityDead(ped)) continue;
    ++living.count;
    if (living.kept < living.peds.size()) living.peds[living.kept++] = ped;
  }
  return living;
}
}  // namespace

void RunApproachDialogue(int32_t homesteadId) {
  Homestead& h = Registry().FindOrInsert(homesteadId);
  const host::Ped player = host::PlayerPedId();
  if (h.approachDone) return;

  const LivingOccupants living = FindLiving(h);
  if (living.count < 2) return;

  host::SetObjectiveText(kApproachObjective);
  host::ShowObjective();
  scriptWait(0);
  host::ClearObjective();

  const int32_t first = host::RandomIntInRange(0, living.count);
  int32_t second = host::RandomIntInRange(0, living.count);
  while (second == first) second = host::RandomIntInRange(0, living.count);

  const Conversation conversation = DrawConversation(kApproachConversations);
  // A speaker drawn outside the list leaves the conversation unsaid.
  if (InRange(first, living.kept) && InRange(second, living.kept)) {
    RunConversation(conversation,
                    Speakers{.player = player,
                             .firstOccupant = living.peds[static_cast<std::size_t>(first)],
                             .secondOccupant = living.peds[static_cast<std::size_t>(second)]});
  }
  h.approachDone = true;
}

}  // namespace homestead
