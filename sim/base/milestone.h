// Milestones: the steps of a robbery that the simulator recognises in what the
// world saw, so that a scenario can wait for them and check their order.
//
// Each milestone has a fixed lower-case name used in scenario files
// ("wait for surrender", "expect no outcome") and a one-line meaning that the
// help text and the timeline show; they are listed once, in milestones.def.
#ifndef HOMESTEAD_SIM_BASE_MILESTONE_H
#define HOMESTEAD_SIM_BASE_MILESTONE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace sim {

enum class Milestone : uint8_t {
#define HOMESTEAD_MILESTONE(enumerator, name, meaning, stage) enumerator,
#include "sim/base/milestones.def"
#undef HOMESTEAD_MILESTONE
};
inline constexpr std::size_t kMilestoneCount = 0
#define HOMESTEAD_MILESTONE(enumerator, name, meaning, stage) +1
#include "sim/base/milestones.def"
#undef HOMESTEAD_MILESTONE
    ;

// One milestone as the recorder saw it happen.
struct MilestoneRecord {
  Milestone milestone;
  int homestead;  // 0 when it belongs to none
  int64_t frame;
  int64_t timeUs;
  int clockMinute;
};

// The scenario-file name, e.g. "got-away".
std::string_view MilestoneName(Milestone milestone);

// What the milestone means, in a few words.
std::string_view MilestoneMeaning(Milestone milestone);

// The stage a running encounter enters with the milestone, e.g. "fight" for
// attack; empty when the milestone starts no stage.
std::string_view MilestoneStage(Milestone milestone);

// The milestone called `name`, or nothing.
std::optional<Milestone> MilestoneFromName(std::string_view name);

// Every milestone, in declaration order.
Milestone MilestoneAt(std::size_t index);

}  // namespace sim

#endif  // HOMESTEAD_SIM_BASE_MILESTONE_H
