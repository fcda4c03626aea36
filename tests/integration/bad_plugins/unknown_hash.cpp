// A script main that calls an operation no host knows, once.
#include "bad_plugin.h"

namespace {
void Main() {
  nativeInit(0x0123456789ABCDEF);
  nativePush64(7);
  nativeCall();
  for (;;) scriptWait(0);
}
}  // namespace

int LibraryEntry(void* module, uint32_t reason, void*) {
  return bad::BehavedEntry(module, reason, Main);
}
