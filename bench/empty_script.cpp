// The floor a plug-in's frame is measured against: a script main that does
// nothing but wait for the next frame, so its frame costs only the script
// hook's scheduling and one fibre switch there and back.
#include <cstdint>

extern "C" {
void scriptRegister(void* module, void (*scriptMain)(void));
void scriptUnregister(void* module);
void scriptWait(uint32_t ms);
__attribute__((visibility("default"))) int LibraryEntry(void* module, uint32_t reason,
                                                        void* reserved);
}

namespace {

void EmptyMain() {
  for (;;) scriptWait(0);
}

}  // namespace

// Same reasons as the real plug-in's: 1 attaches, 0 detaches.
extern "C" int LibraryEntry(void* module, uint32_t reason, void* /*reserved*/) {
  if (reason == 1) scriptRegister(module, EmptyMain);
  if (reason == 0) scriptUnregister(module);
  return 1;
}
