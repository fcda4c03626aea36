#include "sim/base/milestone.h"

#include <array>

namespace sim {
namespace {

struct MilestoneInfo {
  Milestone milestone;
  std::string_view name;
  std::string_view meaning;
  std::string_view stage;
};

constexpr std::array<MilestoneInfo, kMilestoneCount> kMilestones = {{
#define HOMESTEAD_MILESTONE(enumerator, name, meaning, stage) \
  {Milestone::enumerator, name, meaning, stage},
#include "sim/base/milestones.def"
#undef HOMESTEAD_MILESTONE
}};

}  // namespace

std::string_view MilestoneName(Milestone milestone) {
  return kMilestones[static_cast<std::size_t>(milestone)].name;
}

std::string_view MilestoneMeaning(Milestone milestone) {
  return kMilestones[static_cast<std::size_t>(milestone)].meaning;
}

std::string_view MilestoneStage(Milestone milestone) {
  return kMilestones[static_cast<std::size_t>(milestone)].stage;
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
