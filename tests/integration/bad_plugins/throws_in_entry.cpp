// A LibraryEntry that registers its main and then throws at attach.
#include <stdexcept>

#include "bad_plugin.h"

namespace {
void Main() {
  for (;;) scriptWait(0);
}
}  // namespace

int LibraryEntry(void* module, uint32_t reason, void*) {
  bad::BehavedEntry(module, reason, Main);
  if (reason == bad::kProcessAttach)
    throw std::runtime_error("bad plug-in: thrown in LibraryEntry");
  return 1;
}
