#include "encounter/approach.h"

#include <vector>

#include "encounter/objectives.h"
#include "encounter/speech.h"
#include "host/host_api.h"
#include "registry/registry.h"

namespace homestead {

namespace {
bool InRange(int32_t index, std::size_t size) {
  return index >= 0 && static_cast<std::size_t>(index) < size;
}
}  // namespace

void RunApproachDialogue(int32_t homesteadId) {
  Homestead& h = Registry().FindOrInsert(homesteadId);
  const host::Ped player = host::PlayerPedId();
  if (h.approachDone) return;

  std::vector<host::Ped> living;
  for (const host::Ped ped : h.defenders) {
    if (host::DoesEntityExist(ped) && !host::IsEntityDead(ped)) living.push_back(ped);
  }
  if (living.size() < 2) return;

  host::SetObjectiveText(kApproachObjective);
  host::ShowObjective();
  scriptWait(0);
  host::ClearObjective();

  const auto count = static_cast<int32_t>(living.size());
  const int32_t first = host::RandomIntInRange(0, count);
  int32_t second = host::RandomIntInRange(0, count);
  while (second == first) second = host::RandomIntInRange(0, count);

  const Conversation conversation = DrawConversation(kApproachConversations);
  // A speaker drawn outside the list leaves the conversation unsaid.
  if (InRange(first, living.size()) && InRange(second, living.size())) {
    RunConversation(conversation,
                    Speakers{.player = player,
                             .firstOccupant = living[static_cast<std::size_t>(first)],
                             .secondOccupant = living[static_cast<std::size_t>(second)]});
  }
  h.approachDone = true;
}

}  // namespace homestead
