#include "encounter/confrontation.h"

#include <vector>

#include "encounter/conversations.h"
#include "encounter/spawning.h"
#include "encounter/speech.h"
#include "host/host_api.h"
#include "registry/registry.h"

namespace homestead {

namespace {
constexpr const char* kShotgun = "weapon_shotgun_pump";
constexpr const char* kAddReason = "ADD_REASON_DEFAULT";
constexpr uint32_t kBeatMs = 250;

void ArmAndAim(host::Ped ped, host::Ped player) {
  const host::Hash weapon = host::HashKey(kShotgun);
  const host::Hash reason = host::HashKey(kAddReason);
  host::GiveWeaponToPed(ped, weapon, reason);
  if (host::GetCurrentPedWeapon(ped) != weapon) host::SetCurrentPedWeapon(ped, weapon);
  scriptWait(kBeatMs);
  host::TaskAimGunAtEntity(ped, player);
}

// Existence is the only test: a dead body that still exists is sent too.
void SendToAttack(const std::vector<int32_t>& defenders, host::Ped player) {
  for (std::size_t p = 0; p < defenders.size(); ++p) {
    const host::Ped ped = defenders[p];
    if (!host::DoesEntityExist(ped)) continue;
    host::TaskCombatPed(ped, player);
    const host::Hash style = host::HashKey(kEnemyBlipStyle);
    if (host::DoesEntityExist(ped)) host::AddBlipForEntity(style, ped);
  }
}
}  // namespace

void RunConfrontation(int32_t homesteadId) {
  if (host::IsActivitySuppressed()) return;
  Homestead& h = Registry().FindOrInsert(homesteadId);
  if (h.confronted) return;
  const host::Ped player = host::PlayerPedId();
  if (h.defenders.empty()) SpawnDefenders(homesteadId);

  // Position 0 is the armed defender; if he is gone, nobody is armed.
  for (std::size_t p = 0; p < h.defenders.size(); ++p) {
    const host::Ped ped = h.defenders[p];
    if (!host::DoesEntityExist(ped)) continue;
    host::TaskTurnToFaceEntity(ped, player);
    if (p == 0) ArmAndAim(ped, player);
  }

  const int32_t leaderIndex = h.leaderIndex;
  const bool hasLeader = leaderIndex >= 0 &&
                         static_cast<std::size_t>(leaderIndex) < h.defenders.size() &&
                         host::DoesEntityExist(h.defenders[static_cast<std::size_t>(leaderIndex)]);
  if (hasLeader) {
    const host::Ped leader = h.defenders[static_cast<std::size_t>(leaderIndex)];
    RunConversation(DrawConversation(kConfrontationConversations),
                    Speakers{.player = player, .leader = leader});
    scriptWait(kBeatMs);
    SendToAttack(h.defenders, player);
  }
  h.confronted = true;
}

}  // namespace homestead
