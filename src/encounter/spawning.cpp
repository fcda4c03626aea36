#include "encounter/spawning.h"

#include "host/host_api.h"
#include "registry/registry.h"

namespace homestead {

namespace {
constexpr const char* kDefenderGroup = "REL_GANG_SKINNER_BROTHERS";
constexpr const char* kDefenderPrompt = "Criminal";
constexpr const char* kOnGuardModifier = "BLIP_MODIFIER_ENEMY_ON_GUARD";

void SpawnDefender(Homestead& h, const DefenderSpawn& s) {
  LoadModel(s.model);
  const host::Ped ped = host::CreatePed(s.model, s.position, s.heading);
  // Kept even when 0, so every defender keeps its catalogue index.
  h.defenders.push_back(ped);
  host::SetPedRelationshipGroup(ped, host::HashKey(kDefenderGroup));
  host::SetPedOptionA(ped, host::kSwitchOn);
  host::SetPedOptionB(ped, host::kSwitchOn);
  host::SetPedPromptName(ped, kDefenderPrompt);
  host::SetPedOptionC(ped, host::kSwitchOff);
  if (s.scenario == nullptr) {
    host::TaskDefaultIdle(ped);
  } else {
    host::TaskStartScenarioInPlace(ped, host::HashKey(s.scenario));
  }
  const host::Hash style = host::HashKey(kEnemyBlipStyle);
  if (host::DoesEntityExist(ped)) {
    const host::Blip blip = host::AddBlipForEntity(style, ped);
    host::AddBlipModifier(blip, host::HashKey(kOnGuardModifier));
  }
  host::SetModelAsNoLongerNeeded(s.model);
}

}  // namespace

void LoadModel(uint32_t model) {
  host::RequestModel(model);
  // Bounded so that a model the host never loads cannot hold the script for
  // ever; the creation that follows then gets whatever handle the host gives.
  for (int polls = 1; !host::HasModelLoaded(model) && polls < kMaxModelPolls; ++polls) {
    scriptWait(0);
  }
}

void SpawnDefenders(int32_t homesteadId) {
  if (host::IsActivitySuppressed()) return;
  Homestead& h = Registry().FindOrInsert(homesteadId);
  if (!h.available || !h.defenders.empty()) return;
  for (const DefenderSpawn& s : h.defenderSpawns) SpawnDefender(h, s);
}

}  // namespace homestead
