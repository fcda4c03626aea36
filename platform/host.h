// The substitute host: frame loop, script scheduler, operation dispatcher and
// world, behind the six script-hook functions.
//
// One Host is active at a time: the one the script-hook functions talk to.
// By default that is the most recently constructed host still alive; an
// Activation makes another one active for its scope (a Session does so around
// everything it runs, so that sessions may overlap).
//
// A call is nativeInit(hash), nativePush64 per argument, nativeCall(). The
// dispatcher finds the operation by hash in the table (operations.h), checks
// the argument count, decodes the slots by the table's kinds and lets the
// world answer. An unknown hash, a wrong argument count or a null address is
// an error naming the hash; such a call answers zeros and reaches nothing.
// Errors are collected in errors(); the first kMaxStoredErrors are kept word
// for word, errorCount() counts all.
//
// The result slots that nativeCall returns stay valid until the next
// nativeInit.
//
// While the plug-in is being loaded, attached, detached or unloaded (the
// loader phase, set by whoever drives the loader) no host operation may be
// called: such a call is an error and is refused.
//
// An observer, when set, sees every call after it has been answered (refused
// ones included). Without one, a call costs a single test for it.
#ifndef HOMESTEAD_PLATFORM_HOST_H
#define HOMESTEAD_PLATFORM_HOST_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/operations.h"
#include "platform/script_hook.h"
#include "platform/world.h"

namespace platform {

struct HostConfig {
  int32_t framesPerSecond = 60;
  WorldConfig world;
  // Wall-clock limit of one step of plug-in code (a frame's scripts, an
  // attach, a detach) before a Session's watchdog ends the program
  // (watchdog.h); 0 turns it off, a negative value takes it from the
  // environment.
  int64_t watchdogLimitMs = -1;
};

// One answered call, as an observer sees it. The spans and texts point into
// the host and the caller's memory and are valid only during the callback.
struct CallRecord {
  int64_t frame = 0;
  int64_t timeUs = 0;
  const Operation* op = nullptr;  // nullptr: the hash is unknown
  uint64_t hash = 0;
  std::span<const uint64_t> raw;     // the pushed slots
  std::span<const DecodedArg> args;  // empty when the call was refused
  const CallResult* result = nullptr;
  bool refused = false;
};
using CallObserver = std::function<void(const CallRecord&)>;

class Host {
 public:
  static constexpr std::size_t kMaxPushedArgs = 32;
  static constexpr std::size_t kMaxStoredErrors = 100;

  explicit Host(HostConfig config = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The host the script-hook functions talk to, or nullptr.
  static Host* Active();

  // Makes `host` the active host until the end of its scope.
  class Activation {
   public:
    explicit Activation(Host& host);
    ~Activation();
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;

   private:
    Host* previous_;
  };

  World& world() { return world_; }
  const World& world() const { return world_; }
  ScriptScheduler& scheduler() { return scheduler_; }

  // A frame is BeginFrame (time moves on, the world follows) then RunScripts
  // (every due script main runs until it waits). Callers that act on the
  // world inside a frame do so between the two.
  void BeginFrame();
  void RunScripts();
  void RunFrame();
  int64_t frame() const { return scheduler_.frame(); }
  int64_t nowUs() const { return scheduler_.nowUs(); }

  const std::vector<std::string>& errors() const { return errors_; }
  std::size_t errorCount() const { return errorCount_; }
  void RecordError(std::string_view message);

  void SetObserver(CallObserver observer) { observer_ = std::move(observer); }

  // Names the loader step under way ("attach", "detach", ...); empty when
  // none is.
  void SetLoaderPhase(std::string phase) { loaderPhase_ = std::move(phase); }

  // --- Called by the script-hook functions ------------------------------------
  void NativeInit(uint64_t hash);
  void NativePush(uint64_t value);
  uint64_t* NativeCall();

 private:
  // Carries out one decoded call of `op`; a problem the world finds is
  // recorded as an error.
  void Dispatch(const Operation& op, std::span<DecodedArg> args, CallResult& result);
  void Notify(const Operation* op, std::span<const DecodedArg> args, bool refused);

  World world_;
  ScriptScheduler scheduler_;

  std::string loaderPhase_;
  bool callOpen_ = false;
  bool callInLoaderPhase_ = false;  // refused when it is made
  uint64_t hash_ = 0;
  std::array<uint64_t, kMaxPushedArgs> pushed_{};
  std::size_t pushedCount_ = 0;
  bool overflowed_ = false;
  CallResult result_;
  std::array<DecodedArg, kMaxOperationArgs> decoded_{};
  std::vector<std::string> problems_;

  std::vector<std::string> errors_;
  std::size_t errorCount_ = 0;
  CallObserver observer_;
};

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_HOST_H
