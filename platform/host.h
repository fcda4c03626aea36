// The substitute host: frame loop, script scheduler, operation dispatcher and
// world, behind the six script-hook functions.
//
// One Host is active at a time: the one the script-hook functions talk to.
// By default that is the most recently constructed host still alive; an
// Activation makes another one active for its scope (a Session does so around
// everything it runs, so that sessions may overlap).
//
// A call is nativeInit(hash), nativePush64 per argument, nativeCall(). The
// operation is found by hash at nativeInit (operations.h); nativeCall checks
// the argument count and the slots against the table's kinds and hands the
// slots to the operation's handler, which reads them by type and lets the
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
// ones included), or only the operations it names and every refused call.
// A call it does not see costs a single test.
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

class Host;

// One answered call, as an observer sees it. The spans and texts point into
// the host and the caller's memory and are valid only during the callback.
struct CallRecord {
  int64_t frame = 0;
  int64_t timeUs = 0;
  const Operation* op = nullptr;  // nullptr: the hash is unknown
  uint64_t hash = 0;
  std::span<const uint64_t> raw;  // the pushed slots
  const CallResult* result = nullptr;
  bool refused = false;

  // The arguments decoded by kind (DecodedArg), empty when the call was
  // refused. The host decodes them on first use only, so an observer that
  // looks at a few calls costs little on the others.
  std::span<const DecodedArg> args() const;
  // For records made outside a host (tests, tools): the decoded arguments.
  void SetArgs(std::span<const DecodedArg> args) { args_ = args; }

 private:
  friend class Host;
  mutable std::span<const DecodedArg> args_;
  mutable const Host* decoder_ = nullptr;  // decodes args_ on first use
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

  // `only` empty: every call; else the calls of these operations (and every
  // refused call).
  void SetObserver(CallObserver observer, std::span<const OpId> only = {});

  // Names the loader step under way ("attach", "detach", ...); empty when
  // none is.
  void SetLoaderPhase(std::string phase) { loaderPhase_ = std::move(phase); }

  // --- Called by the script-hook functions ------------------------------------
  // The usual case of a call costs a few stores per slot and one lookup; all
  // that is unusual (a call left open, the loader phase, too many slots) is
  // out of line.
  void NativeInit(uint64_t hash) {
    if (callOpen_ || !loaderPhase_.empty()) return NativeInitChecked(hash);
    OpenCall(hash);
  }
  void NativePush(uint64_t value) {
    if (pushTop_ == pushEnd_) return NativePushChecked();
    *pushTop_++ = value;
    slotBits_ |= value;
  }
  uint64_t* NativeCall();

 private:
  friend struct CallRecord;

  void NativeInitChecked(uint64_t hash);
  void OpenCall(uint64_t hash) {
    callOpen_ = true;
    hash_ = hash;
    const std::size_t index = OperationIndexOf(hash);
    op_ = index < kOperationCount ? &table_[index] : nullptr;
    ready_ = op_ != nullptr;
    pushTop_ = pushed_.data();
    pushEnd_ = pushed_.data() + kMaxPushedArgs;
    slotBits_ = 0;
  }
  // Ends the open call (if any) with zero results; pushes now take the
  // checked way.
  void CloseCall();
  // A push out of turn or past the last slot.
  void NativePushChecked();
  // A call that is refused or has problems to report: errors, then the
  // call carried out if it still can be.
  uint64_t* NativeCallChecked();
  // Whether the pushed slots are what `op` takes and need no report.
  // Out of line: the usual call (values only) never needs it.
  [[gnu::noinline]] bool SlotsAreClean(const Operation& op) const;
  // Carries out the current call of `op`, whose slots have been checked.
  void CarryOut(const Operation& op);
  void SaveHandlesBefore(const Operation& op);
  // Out of line: the record it builds would weigh on every call.
  [[gnu::noinline]] void Notify(bool refused);
  // The current call's arguments, decoded for an observer that asks.
  std::span<const DecodedArg> DecodeCallArgs() const;
  std::size_t pushedCount() const { return static_cast<std::size_t>(pushTop_ - pushed_.data()); }

  World world_;
  ScriptScheduler scheduler_;

  std::string loaderPhase_;
  bool callOpen_ = false;
  bool callInLoaderPhase_ = false;  // refused when it is made
  uint64_t hash_ = 0;
  const Operation* const table_ = Operations().data();
  const Operation* op_ = nullptr;  // of hash_; nullptr when unknown
  // The open call is of a known operation, outside the loader phase, with
  // no more slots than fit: it may go ahead if its slots pass the check.
  bool ready_ = false;
  std::array<uint64_t, kMaxPushedArgs> pushed_{};
  // The next slot to fill, and where pushing stops: the end of pushed_ while
  // a call is open, pushTop_ otherwise (so that a push out of turn takes the
  // checked way).
  uint64_t* pushTop_ = pushed_.data();
  uint64_t* pushEnd_ = pushed_.data();
  uint64_t slotBits_ = 0;    // every pushed slot ORed together
  bool overflowed_ = false;  // reset by the checked way that reports it
  CallResult result_;
  // Handles passed by address, as they were before the call (by argument).
  std::array<int32_t, kMaxOperationArgs> handlesBefore_{};
  mutable std::array<DecodedArg, kMaxOperationArgs> decoded_{};
  mutable std::vector<std::string> problems_;

  std::vector<std::string> errors_;
  std::size_t errorCount_ = 0;
  CallObserver observer_;
  // Whether the observer sees an answered call of the operation; all false
  // without an observer.
  std::array<bool, kOperationCount> observed_{};
};

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_HOST_H
