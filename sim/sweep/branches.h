// The branches of the plug-in's dialogue: which conversation stages, cases
// and lines (with their variations) exist, taken from the plug-in's own
// constant tables, and which of them one run played.
//
// A conversation is picked by a RandomIntInRange(0, cases) draw; the
// approach draws its two speakers the same way just before, so the last such
// draw before a line is said is the case. The collector names the stage by
// the table whose case has that many cases and opens with the line said; a
// draw no table explains is not counted. Lines said after a case is drawn
// belong to its stage until the next case; a line is counted as spoken when
// the world says it, not when a dead or vanished speaker is silenced.
#ifndef HOMESTEAD_SIM_SWEEP_BRANCHES_H
#define HOMESTEAD_SIM_SWEEP_BRANCHES_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "encounter/conversations.h"
#include "platform/host.h"
#include "platform/world.h"

namespace sim::sweep {

struct Stage {
  std::string_view name;
  std::span<const homestead::Conversation> cases;
};

// The conversation stages in the order an encounter plays them.
std::span<const Stage> Stages();

struct LineVariation {
  std::string_view line;
  int32_t variation;
  friend bool operator==(const LineVariation&, const LineVariation&) = default;
};

// Every line and variation the stage's cases can say, each once, in table
// order (case, step, variation).
std::span<const LineVariation> LinesOf(std::size_t stage);

// What one run played.
struct Branches {
  struct Drawn {
    uint8_t stage;
    uint8_t pick;
    friend bool operator==(const Drawn&, const Drawn&) = default;
  };
  struct Spoken {
    uint8_t stage;
    uint16_t line;  // index into LinesOf(stage)
    friend auto operator<=>(const Spoken&, const Spoken&) = default;
  };
  std::vector<Drawn> drawn;    // in the order drawn
  std::vector<Spoken> spoken;  // each once, sorted
  friend bool operator==(const Branches&, const Branches&) = default;
};

class BranchCollector {
 public:
  // A host call; `eventsSoFar` is the size of the world's event log when it
  // was answered, which orders it against the world's events.
  void OnCall(const platform::CallRecord& call, std::size_t eventsSoFar);
  // The world's event at `index` of its log, in order.
  void OnEvent(const platform::WorldEvent& event, std::size_t index);

  Branches Take();

 private:
  struct Draw {
    int32_t cases;
    int32_t pick;
    std::size_t eventIndex;
  };
  std::optional<Draw> draw_;
  std::optional<std::size_t> stage_;
  Branches branches_;
};

}  // namespace sim::sweep

#endif  // HOMESTEAD_SIM_SWEEP_BRANCHES_H
