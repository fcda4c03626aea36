#include "sim/sweep/stop_request.h"

#include <csignal>

namespace sim::sweep {
namespace {

std::atomic<bool> gRequested{false};
std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler stores it");

extern "C" void OnStopSignal(int number) {
  int none = 0;
  gSignal.compare_exchange_strong(none, number);
  gRequested.store(true);
#if defined(_WIN32)
  // The C runtime resets a handler once it ran.
  std::signal(number, OnStopSignal);
#endif
}

}  // namespace

void CatchStopSignals() {
#if defined(_WIN32)
  for (const int number : {SIGINT, SIGTERM}) std::signal(number, OnStopSignal);
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

}  // namespace sim::sweep
