// A script main that calls nativeCall with no nativeInit before it.
#include "bad_plugin.h"

namespace {
void Main() {
  nativeCall();
  for (;;) scriptWait(0);
}
}  // namespace

int LibraryEntry(void* module, uint32_t reason, void*) {
  return bad::BehavedEntry(module, reason, Main);
}
