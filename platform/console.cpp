#include "platform/console.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#endif

namespace platform {

#if defined(_WIN32)
namespace {

// The console's own output code page, given back at exit: the console
// outlives the program.
UINT gConsoleCodePage = 0;

void RestoreConsoleCodePage() {
  if (gConsoleCodePage != 0) SetConsoleOutputCP(gConsoleCodePage);
}

}  // namespace
#endif

void UseBinaryStandardStreams() {
#if defined(_WIN32)
  std::fflush(stdout);
  std::fflush(stderr);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const UINT previous = GetConsoleOutputCP();
  if (previous != 0 && previous != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
    gConsoleCodePage = previous;
    std::atexit(RestoreConsoleCodePage);
  }
#endif
}

}  // namespace platform
