#include "plugin/entry.h"

#include "encounter/tick.h"
#include "host/host_api.h"
#include "registry/catalogue.h"

extern "C" int LibraryEntry(void* module, uint32_t reason, void* /*reserved*/) {
  switch (reason) {
    case homestead::kProcessAttach:
      scriptRegister(module, homestead::ScriptMain);
      break;
    case homestead::kProcessDetach:
      scriptUnregister(module);
      break;
    default:
      break;
  }
  return 1;
}

namespace homestead {

void ScriptMain() {
  InitHomesteads();
  for (;;) {
    TickEncounters();
    scriptWait(0);
  }
}

}  // namespace homestead
