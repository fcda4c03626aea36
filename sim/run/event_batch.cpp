#include "sim/run/event_batch.h"

namespace sim {

using platform::EventKind;

std::string EventBatch::LabelAfter(std::size_t index, int32_t blip) const {
  for (std::size_t i = index + 1; i < events_.size(); ++i) {
    if (events_[i].kind == EventKind::kBlipLabelled && events_[i].subject == blip) {
      return events_[i].text;
    }
  }
  return "";
}

std::optional<std::string> EventBatch::FirstTaskAfter(std::size_t index, int32_t ped) const {
  for (std::size_t i = index + 1; i < events_.size(); ++i) {
    if (events_[i].kind == EventKind::kTaskGiven && events_[i].subject == ped) {
      return events_[i].text;
    }
  }
  return std::nullopt;
}

bool EventBatch::IsFirstTask(std::size_t index, int32_t ped) const {
  for (std::size_t i = index; i-- > start_;) {
    if (events_[i].subject != ped) continue;
    if (events_[i].kind == EventKind::kTaskGiven) return false;
    if (events_[i].kind == EventKind::kPedCreated) return true;
  }
  return false;
}

bool EventBatch::GoneBefore(std::size_t index, int32_t entity) const {
  if (entity == 0) return false;
  for (std::size_t i = start_; i < index; ++i) {
    if ((events_[i].kind == EventKind::kEntityDeleted ||
         events_[i].kind == EventKind::kObjectTaken) &&
        events_[i].subject == entity) {
      return true;
    }
  }
  return false;
}

}  // namespace sim
