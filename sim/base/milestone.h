// Milestones: the steps of a robbery that the simulator recognises in what the
// world saw, so that a scenario can wait for them and check their order.
//
// Each milestone has a fixed lower-case name used in scenario files
// ("wait for surrender", "expect no outcome") and a one-line meaning that the
// help text and the timeline show.
#ifndef HOMESTEAD_SIM_BASE_MILESTONE_H
#define HOMESTEAD_SIM_BASE_MILESTONE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace sim {

enum class Milestone : uint8_t {
  kStartup,          // a homestead got its first home blip
  kSpawned,          // the first occupant of a new set was created
  kMoneyStack,       // the money stack was placed
  kApproach,         // the search-the-homestead objective was shown
  kHomeBlipRemoved,  // the home blip went off the map
  kConfrontation,    // the armed occupant aims at the player
  kAttack,           // the occupants were sent to attack
  kSurrender,        // the last occupant raised his hands
  kFlight,           // an occupant was told to flee
  kGotAway,          // a fleeing occupant was removed from the world alive
  kOutcome,          // the search-for-valuables objective was shown
  kLootBlipRemoved,  // the money stack's blip went off the map
  kTeardown,         // the encounter's leftovers were removed as the player left
  kRestored,         // the home blip came back after the cooldown
};
inline constexpr std::size_t kMilestoneCount = 14;

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

// The milestone called `name`, or nothing.
std::optional<Milestone> MilestoneFromName(std::string_view name);

// Every milestone, in declaration order.
Milestone MilestoneAt(std::size_t index);

}  // namespace sim

#endif  // HOMESTEAD_SIM_BASE_MILESTONE_H
