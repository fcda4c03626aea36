// A LibraryEntry that registers a second script main. The first one asks
// for the clock hour every frame, so that a test sees which one runs.
#include "bad_plugin.h"

namespace {
void First() {
  for (;;) {
    bad::ClockHours();
    scriptWait(0);
  }
}

void Second() {
  for (;;) scriptWait(0);
}
}  // namespace

int LibraryEntry(void* module, uint32_t reason, void*) {
  if (reason == bad::kProcessAttach) scriptRegister(module, First);
  return bad::BehavedEntry(module, reason, Second);
}
