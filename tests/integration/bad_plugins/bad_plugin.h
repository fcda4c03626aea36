// What the tiny bad plug-ins share: the plug-in's own declarations of the
// six script-hook functions and of LibraryEntry, an operation every host
// answers, and the entry of a plug-in that behaves, for those whose fault
// lies elsewhere. Each bad plug-in is one file with one fault.
#ifndef HOMESTEAD_TESTS_INTEGRATION_BAD_PLUGINS_BAD_PLUGIN_H
#define HOMESTEAD_TESTS_INTEGRATION_BAD_PLUGINS_BAD_PLUGIN_H

#include <cstdint>

#include "host/host_api.h"
#include "plugin/entry.h"

namespace bad {

using homestead::kProcessAttach;
using homestead::kProcessDetach;

inline int32_t ClockHours() {
  nativeInit(homestead::host::op::kGetClockHours);
  return static_cast<int32_t>(*nativeCall());
}

// Registers `main` at attach and unregisters at detach.
inline int BehavedEntry(void* module, uint32_t reason, void (*main)()) {
  if (reason == kProcessAttach) scriptRegister(module, main);
  if (reason == kProcessDetach) scriptUnregister(module);
  return 1;
}

}  // namespace bad

#endif  // HOMESTEAD_TESTS_INTEGRATION_BAD_PLUGINS_BAD_PLUGIN_H
