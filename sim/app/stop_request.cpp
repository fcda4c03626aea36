#include "sim/app/stop_request.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "sim/app/interrupt.h"
#else
#include <signal.h>
#endif

namespace sim::sweep {
namespace {

std::atomic<bool> gRequested{false};
std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler stores it");

void Note(int number) {
  int none = 0;
  gSignal.compare_exchange_strong(none, number);
  gRequested.store(true);
}

#if defined(_WIN32)

// SIGBREAK in the Windows C library, and SIGHUP's number for a closed
// console, as single runs use them.
constexpr int kSignalBreak = 21;
constexpr int kSignalClose = 1;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      Note(2);
      return TRUE;
    case CTRL_BREAK_EVENT:
      Note(kSignalBreak);
      return TRUE;
    case CTRL_CLOSE_EVENT:
      RemoveRegisteredTemporaries();
      TerminateProcess(GetCurrentProcess(), 128 + kSignalClose);
      return TRUE;
    default:
      return FALSE;
  }
}

#else

extern "C" void OnStopSignal(int number) {
  Note(number);
}

#endif

}  // namespace

void CatchStopSignals() {
#if defined(_WIN32)
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(number, &action, nullptr);
  }
#endif
}

const std::atomic<bool>& StopRequested() {
  return gRequested;
}

int StopSignal() {
  return gSignal.load();
}

const char* StopSignalName() {
#if defined(_WIN32)
  return StopSignal() == kSignalBreak ? "Ctrl-Break" : "Ctrl-C";
#else
  switch (StopSignal()) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "SIGHUP";
  }
#endif
}

}  // namespace sim::sweep
