// A script main that loops without ever calling scriptWait.
#include "bad_plugin.h"

namespace {
void Main() {
  // Volatile, so that the loop has a side effect and stays a loop.
  volatile uint32_t spins = 0;
  for (;;) spins = spins + 1;
}
}  // namespace

int LibraryEntry(void* module, uint32_t reason, void*) {
  return bad::BehavedEntry(module, reason, Main);
}
