// What the recorder asks about the events of one frame: a label or first task
// that follows an event is found to the end of the log, while "first task
// since his creation" and "gone earlier" look back no further than the batch,
// so a frame is never explained by an older one.
#include "sim/run/event_batch.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {
namespace {

using platform::EventKind;
using platform::WorldEvent;

WorldEvent Event(EventKind kind, int32_t subject, std::string text = "") {
  WorldEvent event;
  event.kind = kind;
  event.subject = subject;
  event.text = std::move(text);
  return event;
}

std::string Shown(const std::optional<std::string>& task) {
  return task ? "task " + *task : "none";
}
std::string Shown(bool answer) {
  return answer ? "yes" : "no";
}

TEST(EventBatchTest, LooksAheadToTheEndAndBackToTheBatchStart) {
  const std::vector<WorldEvent> log = {
      Event(EventKind::kEntityDeleted, 9),  // 0: earlier frames
      Event(EventKind::kPedCreated, 5),     // 1
      Event(EventKind::kPedCreated, 7),     // 2: the batch starts here
      Event(EventKind::kBlipAdded, 40),     // 3
      Event(EventKind::kTaskGiven, 7, "first"),
      Event(EventKind::kTaskGiven, 5, "his"),  // 5
      Event(EventKind::kObjectTaken, 8),       // 6
      Event(EventKind::kBlipLabelled, 40, "label"),
      Event(EventKind::kTaskGiven, 7, "second"),  // 8
      Event(EventKind::kEntityDeleted, 0),        // 9: names no entity
      Event(EventKind::kBlipRemoved, 41),
  };
  const EventBatch batch(log, 2);
  struct Case {
    const char* question;
    std::string answer;
    std::string expected;
  };
  const Case cases[] = {
      {"label of blip 40 after its addition", batch.LabelAfter(3, 40), "label"},
      {"label of blip 40 after the labelling", batch.LabelAfter(7, 40), ""},
      {"first task of ped 7 after his creation", Shown(batch.FirstTaskAfter(2, 7)), "task first"},
      {"next task of ped 7 after the first", Shown(batch.FirstTaskAfter(4, 7)), "task second"},
      {"task of ped 7 after the last", Shown(batch.FirstTaskAfter(8, 7)), "none"},
      {"ped 7's first task", Shown(batch.IsFirstTask(4, 7)), "yes"},
      {"ped 7's second task", Shown(batch.IsFirstTask(8, 7)), "no"},
      {"ped 5 created before the batch", Shown(batch.IsFirstTask(5, 5)), "no"},
      {"object 8 taken before the labelling", Shown(batch.GoneBefore(7, 8)), "yes"},
      {"object 8 at its own taking", Shown(batch.GoneBefore(6, 8)), "no"},
      {"entity 9 deleted before the batch", Shown(batch.GoneBefore(8, 9)), "no"},
      {"no entity", Shown(batch.GoneBefore(10, 0)), "no"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.question);
    EXPECT_EQ(c.answer, c.expected);
  }
}

}  // namespace
}  // namespace sim
