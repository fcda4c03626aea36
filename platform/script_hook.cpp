#include "platform/script_hook.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "platform/active_host.h"
#include "platform/host.h"

namespace platform {
namespace {

// A module handle in hex; spelt out here rather than with %p, whose form
// differs between C libraries.
std::string Address(const void* p) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
  return buffer;
}

}  // namespace

ScriptScheduler::ScriptScheduler(int32_t framesPerSecond, ErrorSink onError)
    : framesPerSecond_(framesPerSecond > 0 ? framesPerSecond : 60), onError_(std::move(onError)) {}

ScriptScheduler::~ScriptScheduler() = default;

int64_t ScriptScheduler::TimeOfFrame(int64_t frame) const {
  if (frame <= 1) return 0;
  return (frame - 1) * 1'000'000 / framesPerSecond_;
}

void ScriptScheduler::BeginFrame() {
  ++frame_;
  nowUs_ = TimeOfFrame(frame_);
}

bool ScriptScheduler::Due(const Script& script) const {
  if (!script.fibre->started()) return true;
  return frame_ > script.waitFrame && nowUs_ >= script.wakeUs;
}

void ScriptScheduler::RunScripts() {
  if (running_ != nullptr) {
    onError_("scripts resumed from inside a script");
    return;
  }
  // A main may register another; that one waits for the next frame.
  const std::size_t count = scripts_.size();
  for (std::size_t i = 0; i < count; ++i) {
    Script& script = *scripts_[i];
    if (script.unregistered || script.fibre->finished() || !Due(script)) continue;
    running_ = &script;
    script.fibre->Resume();
    running_ = nullptr;
    if (script.fibre->finished() && !script.unregistered) ReportEnd(script);
  }
  DropUnregistered();
}

std::string ScriptScheduler::Describe(void* module) const {
  return moduleName_.empty() ? "module " + Address(module) : "plug-in '" + moduleName_ + "'";
}

// A finished main is never resumed again (Due skips it), so this is told once.
void ScriptScheduler::ReportEnd(const Script& script) {
  const Fibre& fibre = *script.fibre;
  if (fibre.threw()) {
    const std::string what = fibre.thrownWhat().empty() ? "" : " (" + fibre.thrownWhat() + ")";
    onError_("the script main of " + script.name + " ended by an exception" + what +
             "; it is stopped");
  } else {
    onError_("the script main of " + script.name +
             " returned; a script main must wait in a loop and never return");
  }
}

void ScriptScheduler::Register(void* module, void (*main)()) {
  if (main == nullptr) {
    onError_("scriptRegister with a null script main for " + Describe(module));
    return;
  }
  if (ScriptCount(module) != 0) {
    onError_("scriptRegister called again by " + Describe(module) +
             ", which already has a script main; the first one is kept");
    return;
  }
  auto script = std::make_unique<Script>();
  script->module = module;
  script->main = main;
  script->name = Describe(module);
  script->fibre = Fibre::Create([main] { main(); });
  if (script->fibre == nullptr) {
    onError_("no stack for the script main of " + script->name);
    return;
  }
  scripts_.push_back(std::move(script));
}

void ScriptScheduler::Unregister(void* module) {
  bool found = false;
  for (auto& script : scripts_) {
    if (script->module != module || script->unregistered) continue;
    script->unregistered = true;
    anyUnregistered_ = true;
    found = true;
  }
  if (!found) onError_("scriptUnregister for " + Describe(module) + " with no script");
  // A main that unregisters itself keeps its stack until it yields.
  if (running_ == nullptr) DropUnregistered();
}

void ScriptScheduler::DropUnregistered() {
  if (!anyUnregistered_) return;
  anyUnregistered_ = false;
  std::erase_if(scripts_, [](const std::unique_ptr<Script>& s) { return s->unregistered; });
}

void ScriptScheduler::Wait(uint32_t ms) {
  if (running_ == nullptr || Fibre::Current() == nullptr) {
    onError_("scriptWait(" + std::to_string(ms) + ") called outside a script main");
    return;
  }
  running_->waitFrame = frame_;
  running_->wakeUs = nowUs_ + static_cast<int64_t>(ms) * 1000;
  Fibre::Yield();
}

std::size_t ScriptScheduler::ScriptCount() const {
  return static_cast<std::size_t>(std::count_if(scripts_.begin(), scripts_.end(),
                                                [](const auto& s) { return !s->unregistered; }));
}

std::size_t ScriptScheduler::ScriptCount(void* module) const {
  return static_cast<std::size_t>(
      std::count_if(scripts_.begin(), scripts_.end(),
                    [module](const auto& s) { return !s->unregistered && s->module == module; }));
}

}  // namespace platform

// The three functions of a host call (nativeInit, nativePush64, nativeCall)
// are defined beside the dispatcher, in host.cpp, so that it is inlined into
// them.
extern "C" {

// Each reads the active host straight from its variable.
void scriptRegister(void* module, void (*scriptMain)(void)) {
  if (auto* host = platform::detail::gActiveHost) host->scheduler().Register(module, scriptMain);
}

void scriptUnregister(void* module) {
  if (auto* host = platform::detail::gActiveHost) host->scheduler().Unregister(module);
}

void scriptWait(uint32_t ms) {
  if (auto* host = platform::detail::gActiveHost) host->scheduler().Wait(ms);
}

}  // extern "C"
