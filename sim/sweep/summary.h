// The summary of a sweep: the verdict with the failing seeds and how to
// replay each, the conversation cases each stage drew and the lines no seed
// spoke, and the milestone and outcome counts; as text for standard output
// and as JSON for --sweep-report.
//
// Results may be added in any order: what is rendered depends only on the
// set of results, never on the order they came in, the number of workers or
// the system, so a sweep prints the same bytes however it was run.
#ifndef HOMESTEAD_SIM_SWEEP_SUMMARY_H
#define HOMESTEAD_SIM_SWEEP_SUMMARY_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/base/milestone.h"
#include "sim/sweep/seed_range.h"
#include "sim/sweep/seed_result.h"

namespace sim::sweep {

struct SweepSetup {
  std::string scenario;  // the scenario's name
  // The command that plays the scenario alone, without its seed and
  // outputs: "homestead-sim --file my.scn".
  std::string replay;
  SeedRange seeds;
};

class Summary {
 public:
  // The text lists this many failing seeds and counts the rest.
  static constexpr std::size_t kFailuresShown = 20;

  explicit Summary(SweepSetup setup);

  void Add(const SeedResult& result);
  // The sweep was stopped before every seed was played.
  void MarkInterrupted() { interrupted_ = true; }

  uint64_t played() const { return played_; }
  uint64_t failed() const { return failures_.size(); }

  std::string Text() const;
  std::string Json() const;

  // The command that replays `seed` alone with its trace and map.
  std::string ReplayCommand(uint32_t seed) const;

 private:
  struct Count {
    uint64_t times = 0;
    uint64_t seeds = 0;
    void Add(int n) {
      times += static_cast<uint64_t>(n);
      seeds += n > 0 ? 1 : 0;
    }
  };

  SweepSetup setup_;
  bool interrupted_ = false;
  uint64_t played_ = 0;
  std::map<uint32_t, std::string> failures_;
  std::vector<std::vector<uint64_t>> casesDrawn_;   // by stage and case: seeds that drew it
  std::vector<std::vector<uint64_t>> linesSpoken_;  // by stage and line: seeds that spoke it
  std::array<Count, kMilestoneCount> milestones_{};
  Count shot_;
  Count gotAway_;
  Count tornDown_;
};

}  // namespace sim::sweep

#endif  // HOMESTEAD_SIM_SWEEP_SUMMARY_H
