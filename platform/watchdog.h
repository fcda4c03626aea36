// A watchdog for plug-in code, which the host cannot interrupt: a script
// main that never waits, or a LibraryEntry that never returns, would hold
// the program for ever.
//
// The host arms it around each step it hands to the plug-in (one frame's
// script slice, an attach or a detach) and disarms it when control comes
// back. A thread of its own checks the armed step a few times per limit;
// once a step has run longer than the limit of wall-clock time it writes one
// line to standard error that names the plug-in, the step and the frame,
// flushes the standard streams and ends the process with kExitStatus.
// Nothing can unwind the stuck fibre, so ending the process is the only way
// out.
//
// Arming costs a clock read and a few atomic stores, nothing that depends on
// the limit, so a fast run pays almost nothing for it; an off watchdog costs
// nothing.
#ifndef HOMESTEAD_PLATFORM_WATCHDOG_H
#define HOMESTEAD_PLATFORM_WATCHDOG_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

class Watchdog {
 public:
  // The exit status of a program the watchdog ends.
  static constexpr int kExitStatus = 3;
  // The limit when none is configured.
  static constexpr int64_t kDefaultLimitMs = 10'000;
  // The environment variable that sets the limit for every host in the
  // process, in seconds (a decimal like 0.5; 0 turns the watchdog off).
  static constexpr const char* kLimitVariable = "HOMESTEAD_WATCHDOG_SECONDS";

  // The limit in milliseconds that the environment sets: kDefaultLimitMs
  // when the variable is not set, 0 (off) when it says 0; a value that is
  // not a number from 0 to 86400 leaves the default and is told in `warning`.
  static int64_t LimitFromEnvironment(std::string* warning);

  // `plugin` names the plug-in in the message. A limit of 0 or less makes a
  // watchdog that never fires and starts no thread.
  Watchdog(std::string plugin, int64_t limitMs);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // A function every watchdog of the process calls just before it ends the
  // process, such as one that removes half-written files; null for none. It
  // runs on the watchdog's thread while the plug-in still runs.
  static void SetBeforeExit(void (*beforeExit)());

  // `step` is a static text such as "script main"; `frame` the host's frame.
  void Arm(const char* step, int64_t frame);
  void Disarm();

 private:
  void Watch();
  [[noreturn]] void Fire(const char* step, int64_t frame) const;

  const std::string plugin_;
  const int64_t limitMs_;
  std::atomic<int64_t> armedAtNs_{0};  // 0: disarmed
  std::atomic<const char*> step_{nullptr};
  std::atomic<int64_t> frame_{0};

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_WATCHDOG_H
