#include "encounter/money_stack.h"

#include "encounter/spawning.h"
#include "host/blips.h"
#include "host/host_api.h"
#include "registry/registry.h"

namespace homestead {

namespace {
constexpr uint32_t kMoneyStackModel = 0xFC40AF1B;
constexpr host::MarkerLook kLootBlipLook = {"blip_cash_bag", 0.7f,
                                            "BLIP_MODIFIER_COMPANION_OBJECTIVE"};
constexpr const char* kLootBlipLabel = "Money Stack";
}  // namespace

void SpawnMoneyStack(int32_t homesteadId) {
  Homestead& h = Registry().FindOrInsert(homesteadId);
  if (!h.available || h.lootSpawned) return;

  LoadModel(kMoneyStackModel);
  h.lootObject = host::CreateObject(kMoneyStackModel, h.lootPosition);
  // Set whatever the result, so a failed creation is not retried this encounter.
  h.lootSpawned = true;
  host::SetModelAsNoLongerNeeded(kMoneyStackModel);
  if (h.lootObject == 0) return;

  h.lootBlip = host::AddBlipForEntity(host::kMarkerBlipStyle, h.lootObject);
  host::StyleMarkerBlip(h.lootBlip, kLootBlipLook, kLootBlipLabel);
  h.lootBlipActive = true;
}

}  // namespace homestead
