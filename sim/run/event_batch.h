// The world's events that one Recorder::Observe() handles, seen from one of
// them: what the same frame says right after it (a blip's label, a new ped's
// first task) or said before it, so that related events are told as one line.
#ifndef HOMESTEAD_SIM_RUN_EVENT_BATCH_H
#define HOMESTEAD_SIM_RUN_EVENT_BATCH_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/world.h"

namespace sim {

class EventBatch {
 public:
  // The batch is events[start] to the end of the log.
  EventBatch(const std::vector<platform::WorldEvent>& events, std::size_t start)
      : events_(events), start_(start) {}

  // The label given to `blip` after the event at `index`, or "".
  std::string LabelAfter(std::size_t index, int32_t blip) const;
  // The first task given to `ped` after the event at `index` (his creation).
  std::optional<std::string> FirstTaskAfter(std::size_t index, int32_t ped) const;
  // Whether the task event at `index` is the first since `ped` was created
  // earlier in this batch.
  bool IsFirstTask(std::size_t index, int32_t ped) const;
  // Whether `entity` was deleted or taken earlier in this batch.
  bool GoneBefore(std::size_t index, int32_t entity) const;

 private:
  const std::vector<platform::WorldEvent>& events_;
  std::size_t start_;
};

}  // namespace sim

#endif  // HOMESTEAD_SIM_RUN_EVENT_BATCH_H
