#include "sim/base/milestone.h"

#include <array>

namespace sim {
namespace {

struct MilestoneInfo {
  Milestone milestone;
  std::string_view name;
  std::string_view meaning;
};

constexpr std::array<MilestoneInfo, kMilestoneCount> kMilestones = {{
    {Milestone::kStartup, "startup", "a homestead got its first home blip"},
    {Milestone::kSpawned, "spawned", "the occupants of a homestead were created"},
    {Milestone::kMoneyStack, "money-stack", "the money stack was placed with its blip"},
    {Milestone::kApproach, "approach", "the objective to search the homestead was shown"},
    {Milestone::kHomeBlipRemoved, "home-blip-removed", "the home blip went off the map"},
    {Milestone::kConfrontation, "confrontation", "the armed occupant aims at the player"},
    {Milestone::kAttack, "attack", "the occupants were sent to attack the player"},
    {Milestone::kSurrender, "surrender", "the last occupant raised his hands"},
    {Milestone::kFlight, "flight", "an occupant was told to flee"},
    {Milestone::kGotAway, "got-away", "a fleeing occupant was removed alive"},
    {Milestone::kOutcome, "outcome", "the objective to search for valuables was shown"},
    {Milestone::kLootBlipRemoved, "loot-blip-removed", "the money stack's blip went off the map"},
    {Milestone::kTeardown, "teardown", "what the encounter left was removed as the player left"},
    {Milestone::kRestored, "restored", "the home blip came back after the cooldown"},
}};

constexpr bool InDeclarationOrder() {
  for (std::size_t i = 0; i < kMilestones.size(); ++i) {
    if (static_cast<std::size_t>(kMilestones[i].milestone) != i) return false;
  }
  return true;
}
static_assert(InDeclarationOrder(), "kMilestones must follow the enum's order");

}  // namespace

std::string_view MilestoneName(Milestone milestone) {
  return kMilestones[static_cast<std::size_t>(milestone)].name;
}

std::string_view MilestoneMeaning(Milestone milestone) {
  return kMilestones[static_cast<std::size_t>(milestone)].meaning;
}

std::optional<Milestone> MilestoneFromName(std::string_view name) {
  for (const MilestoneInfo& info : kMilestones) {
    if (info.name == name) return info.milestone;
  }
  return std::nullopt;
}

Milestone MilestoneAt(std::size_t index) {
  return kMilestones[index].milestone;
}

}  // namespace sim
