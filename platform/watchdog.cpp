#include "platform/watchdog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace platform {
namespace {

// See Watchdog::SetBeforeExit.
std::atomic<void (*)()> gBeforeExit{nullptr};

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int64_t Watchdog::LimitFromEnvironment(std::string* warning) {
  const char* text = std::getenv(kLimitVariable);
  if (text == nullptr || *text == '\0') return kDefaultLimitMs;
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  // Written so that NaN fails too.
  if (*end != '\0' || !(seconds >= 0.0 && seconds <= 86'400.0)) {
    *warning = std::string(kLimitVariable) + "='" + text +
               "' is not a number of seconds from 0 to 86400; the watchdog keeps its limit of " +
               std::to_string(kDefaultLimitMs / 1000) + " s";
    return kDefaultLimitMs;
  }
  return static_cast<int64_t>(seconds * 1000.0 + 0.5);
}

Watchdog::Watchdog(std::string plugin, int64_t limitMs)
    : plugin_(std::move(plugin)), limitMs_(limitMs) {
  if (limitMs_ > 0) thread_ = std::thread([this] { Watch(); });
}

Watchdog::~Watchdog() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void Watchdog::Arm(const char* step, int64_t frame) {
  if (limitMs_ <= 0) return;  // off: nobody watches
  step_.store(step, std::memory_order_relaxed);
  frame_.store(frame, std::memory_order_relaxed);
  armedAtNs_.store(NowNs(), std::memory_order_release);
}

void Watchdog::Disarm() {
  armedAtNs_.store(0, std::memory_order_release);
}

void Watchdog::Watch() {
  const int64_t limitNs = limitMs_ * 1'000'000;
  // A step is noticed at most a quarter of the limit (and a quarter of a
  // second) late.
  const auto poll = std::chrono::milliseconds(std::clamp<int64_t>(limitMs_ / 4, 1, 250));
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, poll, [this] { return stopping_; })) {
    const int64_t armedAt = armedAtNs_.load(std::memory_order_acquire);
    if (armedAt == 0 || NowNs() - armedAt < limitNs) continue;
    const char* step = step_.load(std::memory_order_relaxed);
    const int64_t frame = frame_.load(std::memory_order_relaxed);
    // The step may have ended while this looked.
    if (armedAtNs_.load(std::memory_order_acquire) == armedAt) Fire(step, frame);
  }
}

void Watchdog::SetBeforeExit(void (*beforeExit)()) {
  gBeforeExit.store(beforeExit);
}

void Watchdog::Fire(const char* step, int64_t frame) const {
  const double seconds = static_cast<double>(limitMs_) / 1000.0;
  std::fflush(nullptr);
  std::fprintf(stderr,
               "fatal: the plug-in '%s' hangs: its %s has run %.1f s without giving control back "
               "(frame %lld); the program stops with exit status %d\n",
               plugin_.c_str(), step, seconds, static_cast<long long>(frame), kExitStatus);
  std::fflush(stderr);
  if (void (*beforeExit)() = gBeforeExit.load()) beforeExit();
  std::_Exit(kExitStatus);
}

}  // namespace platform
