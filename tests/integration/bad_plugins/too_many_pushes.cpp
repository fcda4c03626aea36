// A script main that pushes 40 arguments for an operation that takes none.
#include "bad_plugin.h"

namespace {
void Main() {
  nativeInit(homestead::host::op::kGetClockHours);
  for (uint64_t i = 0; i < 40; ++i) nativePush64(i);
  nativeCall();
  for (;;) scriptWait(0);
}
}  // namespace

int LibraryEntry(void* module, uint32_t reason, void*) {
  return bad::BehavedEntry(module, reason, Main);
}
