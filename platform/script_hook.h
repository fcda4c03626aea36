// The script hook: the six functions a plug-in imports, and the scheduler
// that runs registered script mains on fibres.
//
// The six functions have C linkage and default visibility, so that a plug-in
// loaded with dlopen resolves them from this library. They act on the active
// Host (host.h); with none active they do nothing and nativeCall answers
// zeros.
//
// Scheduling: each registered script main runs on a fibre of its own and is
// resumed at most once per frame, in registration order. Time is the host's
// simulated time: frame n (n >= 1) runs at (n - 1) * 1e6 / fps microseconds,
// rounded down. scriptWait(ms), called in frame f, returns in the first
// frame g > f whose time is at least time(f) + ms; so scriptWait(0) returns in
// the next frame. A main that is unregistered is never resumed again and its
// fibre is freed (without unwinding) as soon as it is not running.
//
// A plug-in's mistakes are errors, and the plug-in is not trusted to go on
// after them: a main that ends by an exception or returns is reported and
// never resumed; a second registration by a module that already has a main
// is reported and ignored, the first main kept.
#ifndef HOMESTEAD_PLATFORM_SCRIPT_HOOK_H
#define HOMESTEAD_PLATFORM_SCRIPT_HOOK_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/fibre.h"

extern "C" {
__attribute__((visibility("default"))) void scriptRegister(void* module, void (*scriptMain)(void));
__attribute__((visibility("default"))) void scriptUnregister(void* module);
__attribute__((visibility("default"))) void scriptWait(uint32_t ms);
__attribute__((visibility("default"))) void nativeInit(uint64_t hash);
__attribute__((visibility("default"))) void nativePush64(uint64_t value);
__attribute__((visibility("default"))) uint64_t* nativeCall(void);
}

namespace platform {

class ScriptScheduler {
 public:
  using ErrorSink = std::function<void(std::string message)>;

  ScriptScheduler(int32_t framesPerSecond, ErrorSink onError);
  ~ScriptScheduler();
  ScriptScheduler(const ScriptScheduler&) = delete;
  ScriptScheduler& operator=(const ScriptScheduler&) = delete;

  // --- Frame clock ---------------------------------------------------------------
  // Starts the next frame: the frame number goes up by one and the time to
  // that frame's time.
  void BeginFrame();
  int64_t frame() const { return frame_; }
  int64_t nowUs() const { return nowUs_; }
  int64_t TimeOfFrame(int64_t frame) const;

  // Resumes, in registration order, every script main that has not started
  // or whose wait is over. Must be called on the thread's own stack.
  void RunScripts();

  // Names the modules that register from now on in messages, e.g. by the
  // plug-in's path; without a name a module is told by its address.
  void SetModuleName(std::string name) { moduleName_ = std::move(name); }

  // --- Script-hook calls ------------------------------------------------------------
  void Register(void* module, void (*main)());
  void Unregister(void* module);
  // On a script's fibre: suspends it until its wait is over. Elsewhere an
  // error that returns at once.
  void Wait(uint32_t ms);

  // Script mains registered and not unregistered.
  std::size_t ScriptCount() const;
  std::size_t ScriptCount(void* module) const;
  // True while a script main runs (the caller is on its fibre).
  bool InScript() const { return running_ != nullptr; }

 private:
  struct Script {
    void* module = nullptr;
    void (*main)() = nullptr;
    std::string name;  // how messages tell the module
    std::unique_ptr<Fibre> fibre;
    int64_t waitFrame = 0;
    int64_t wakeUs = 0;
    bool unregistered = false;
  };

  bool Due(const Script& script) const;
  void DropUnregistered();

  std::string Describe(void* module) const;
  void ReportEnd(const Script& script);

  int32_t framesPerSecond_;
  ErrorSink onError_;
  std::string moduleName_;
  int64_t frame_ = 0;
  int64_t nowUs_ = 0;
  std::vector<std::unique_ptr<Script>> scripts_;
  bool anyUnregistered_ = false;  // scripts_ holds one to drop
  Script* running_ = nullptr;
};

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_SCRIPT_HOOK_H
