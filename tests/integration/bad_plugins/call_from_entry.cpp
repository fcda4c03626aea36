// A LibraryEntry that asks the host for the clock hour while attaching.
#include "bad_plugin.h"

namespace {
void Main() {
  for (;;) scriptWait(0);
}
}  // namespace

int LibraryEntry(void* module, uint32_t reason, void*) {
  if (reason == bad::kProcessAttach) bad::ClockHours();
  return bad::BehavedEntry(module, reason, Main);
}
