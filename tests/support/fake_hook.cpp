#include "support/fake_hook.h"

namespace fake {

FakeHook& FakeHook::Get() {
  static FakeHook hook;
  return hook;
}

void FakeHook::Reset() {
  events.clear();
  recordEvents = true;
  callCount = 0;
  waitCount = 0;
  responder = nullptr;
  onWait = nullptr;
  pendingArgs_.clear();
}

std::vector<Event> FakeHook::Calls() const {
  std::vector<Event> calls;
  for (const Event& e : events) {
    if (e.kind == Event::Kind::kCall) calls.push_back(e);
  }
  return calls;
}

std::vector<Event> FakeHook::CallsOf(uint64_t hash) const {
  std::vector<Event> calls;
  for (const Event& e : events) {
    if (e.kind == Event::Kind::kCall && e.hash == hash) calls.push_back(e);
  }
  return calls;
}

void FakeHook::Init(uint64_t hash) {
  pendingHash_ = hash;
  pendingArgs_.clear();
}

void FakeHook::Push(uint64_t value) {
  pendingArgs_.push_back(value);
}  // capacity kept

uint64_t* FakeHook::Call() {
  ++callCount;
  if (recordEvents) {
    Event e;
    e.kind = Event::Kind::kCall;
    e.hash = pendingHash_;
    e.args = pendingArgs_;
    events.push_back(std::move(e));
  }
  result_ = responder ? responder(pendingHash_, pendingArgs_) : Result{};
  return result_.data();
}

}  // namespace fake

extern "C" {
void scriptRegister(void* module, void (*scriptMain)(void)) {
  fake::Event e;
  e.kind = fake::Event::Kind::kRegister;
  e.module = module;
  e.scriptMain = scriptMain;
  fake::FakeHook::Get().events.push_back(e);
}
void scriptUnregister(void* module) {
  fake::Event e;
  e.kind = fake::Event::Kind::kUnregister;
  e.module = module;
  fake::FakeHook::Get().events.push_back(e);
}
void scriptWait(uint32_t ms) {
  fake::Event e;
  e.kind = fake::Event::Kind::kWait;
  e.ms = ms;
  auto& hook = fake::FakeHook::Get();
  ++hook.waitCount;
  if (hook.recordEvents) hook.events.push_back(e);
  if (hook.onWait) hook.onWait(ms);
}
void nativeInit(uint64_t hash) {
  fake::FakeHook::Get().Init(hash);
}
void nativePush64(uint64_t value) {
  fake::FakeHook::Get().Push(value);
}
uint64_t* nativeCall(void) {
  return fake::FakeHook::Get().Call();
}
}
