// A script main that returns after one frame.
#include "bad_plugin.h"

namespace {
void Main() {
  scriptWait(0);
}
}  // namespace

int LibraryEntry(void* module, uint32_t reason, void*) {
  return bad::BehavedEntry(module, reason, Main);
}
