// A script main that lets a C++ exception escape after its first frame.
#include <stdexcept>

#include "bad_plugin.h"

namespace {
void Main() {
  scriptWait(0);
  throw std::runtime_error("bad plug-in: thrown in the script main");
}
}  // namespace

int LibraryEntry(void* module, uint32_t reason, void*) {
  return bad::BehavedEntry(module, reason, Main);
}
