#include "sim/app/interrupt.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdio>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace sim {
namespace {

// The outputs, and under --watch the private copy of the plug-in; a few more
// slots cost nothing.
constexpr std::size_t kSlots = 6;
// PATH_MAX on Linux: the system refuses longer paths anyway.
constexpr std::size_t kPathBytes = 4096;

struct Slot {
  // Set once `path` is complete and cleared before it changes, so that the
  // handler never reads a half-written name.
  std::atomic<bool> used{false};
  std::array<char, kPathBytes> path{};
};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads it");

std::array<Slot, kSlots> gSlots;

#if defined(_WIN32)

// SIGBREAK in the Windows C library.
constexpr int kSignalBreak = 21;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  int number = 0;
  const char* text = nullptr;
  switch (event) {
    case CTRL_C_EVENT:
      number = 2;
      text = "homestead-sim: interrupted (Ctrl-C)\n";
      break;
    case CTRL_BREAK_EVENT:
      number = kSignalBreak;
      text = "homestead-sim: interrupted (Ctrl-Break)\n";
      break;
    case CTRL_CLOSE_EVENT:
      number = 1;
      text = "homestead-sim: interrupted (console closed)\n";
      break;
    default:
      return FALSE;
  }
  RemoveRegisteredTemporaries();
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
            nullptr);
  // Every thread ends where it is, as with _exit: no DLL is told, so the
  // plug-in's detach does not run against a script main stopped half-way.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(128 + number));
  return TRUE;
}

#else

constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void Say(const char* text) {
  std::size_t length = 0;
  while (text[length] != '\0') ++length;
  // Nothing is left to do if standard error is gone.
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, length);
}

void OnInterrupt(int number) {
  RemoveRegisteredTemporaries();
  if (number == SIGINT) Say("homestead-sim: interrupted (SIGINT)\n");
  if (number == SIGTERM) Say("homestead-sim: interrupted (SIGTERM)\n");
  if (number == SIGHUP) Say("homestead-sim: interrupted (SIGHUP)\n");
  ::_exit(128 + number);
}

#endif

}  // namespace

void RemoveRegisteredTemporaries() {
  for (Slot& slot : gSlots) {
#if defined(_WIN32)
    if (slot.used.load()) std::remove(slot.path.data());
#else
    if (slot.used.load()) ::unlink(slot.path.data());
#endif
  }
}

void RemoveTemporariesOnInterrupt() {
#if defined(_WIN32)
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  for (const int number : kSignals) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = OnInterrupt;
    // The others wait while one is handled, so that it ends the program.
    sigemptyset(&action.sa_mask);
    for (const int other : kSignals) sigaddset(&action.sa_mask, other);
    if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(number, &action, nullptr);
  }
#endif
}

int RegisterTemporary(std::string_view path) {
  if (path.size() >= kPathBytes) return -1;
  for (std::size_t i = 0; i < gSlots.size(); ++i) {
    Slot& slot = gSlots[i];
    if (slot.used.load()) continue;
    path.copy(slot.path.data(), path.size());
    slot.path[path.size()] = '\0';
    slot.used.store(true);
    return static_cast<int>(i);
  }
  return -1;
}

void UnregisterTemporary(int slot) {
  if (slot >= 0 && static_cast<std::size_t>(slot) < gSlots.size()) {
    gSlots[static_cast<std::size_t>(slot)].used.store(false);
  }
}

}  // namespace sim
