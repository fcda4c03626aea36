// What one seed's run came to, as a sweep counts it, and its one-line form
// on the pipe from a worker process to the sweep.
//
// The line is "R", the seed, 1 or 0 for passed, the milestone counts, the
// shot, got-away and teardown counts, the cases drawn and the lines spoken
// (stage.index pairs, or "-" for none) and last the failure, with '\\',
// '\n' and '\r' escaped: nothing in it depends on the system it was made on.
#ifndef HOMESTEAD_SIM_SWEEP_SEED_RESULT_H
#define HOMESTEAD_SIM_SWEEP_SEED_RESULT_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/base/milestone.h"
#include "sim/sweep/branches.h"

namespace sim::sweep {

struct SeedResult {
  uint32_t seed = 0;
  bool passed = false;
  // Empty when passed; else the action and the reason ("line 14 (wait for
  // flight up to 17s): flight did not happen within 0:17.000"), or how the
  // run's process ended.
  std::string failure;
  std::array<int, kMilestoneCount> milestones{};
  int shot = 0;
  int gotAway = 0;
  int tornDown = 0;
  Branches branches;
  friend bool operator==(const SeedResult&, const SeedResult&) = default;
};

std::string EncodeResult(const SeedResult& result);

// The result a line from EncodeResult holds; nothing for any other line.
std::optional<SeedResult> DecodeResult(std::string_view line);

}  // namespace sim::sweep

#endif  // HOMESTEAD_SIM_SWEEP_SEED_RESULT_H
