#include "encounter/outcome.h"

#include "encounter/conversations.h"
#include "encounter/objectives.h"
#include "encounter/speech.h"
#include "host/host_api.h"
#include "registry/registry.h"

namespace homestead {

namespace {
constexpr uint32_t kObjectiveMs = 3000;
}  // namespace

void RunRobberyOutcome(int32_t homesteadId) {
  Homestead& h = Registry().FindOrInsert(homesteadId);
  if (!h.confronted) return;
  for (const host::Ped ped : h.defenders) {
    if (!host::IsEntityDead(ped)) return;
  }
  if (h.outcomeDone) return;

  const host::Ped player = host::PlayerPedId();
  host::SetObjectiveText(kValuablesObjective);
  host::ShowObjective();
  scriptWait(kObjectiveMs);
  host::ClearObjective();

  RunConversation(DrawConversation(kOutcomeConversations), Speakers{.player = player});
  h.outcomeDone = true;
}

}  // namespace homestead
