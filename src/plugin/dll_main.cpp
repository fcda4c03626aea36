// The Windows loader's entry point of the plug-in DLL. The loader calls it
// with the same reason codes as LibraryEntry (1 process attach, 0 process
// detach, 2 and 3 thread attach and detach), after static initialisation on
// attach and before the static destructors on detach; it holds the loader
// lock meanwhile, so nothing here may call a host operation.
#include <windows.h>

#include "plugin/entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  return LibraryEntry(module, static_cast<uint32_t>(reason), reserved);
}
