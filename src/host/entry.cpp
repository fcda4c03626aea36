#include "host/entry.h"

#include "encounter/tick.h"
#include "host/host_api.h"
#include "registry/catalogue.h"

extern "C" int LibraryEntry(void* module, uint32_t reason, void* /*reserved*/) {
  switch (reason) {
    case kProcessAttach:
      scriptRegister(module, ScriptMain);
      break;
    case kProcessDetach:
      scriptUnregister(module);
      break;
    default:
      break;
  }
  return 1;
}

void ScriptMain() {
  InitHomesteads();
  for (;;) {
    TickEncounters();
    scriptWait(0);
  }
}
