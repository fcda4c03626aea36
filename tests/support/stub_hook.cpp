#include "support/stub_hook.h"

namespace support {

StubHook& StubHook::Get() {
  static StubHook hook;
  return hook;
}

}  // namespace support

using support::StubCall;
using support::StubHook;

extern "C" {
void scriptRegister(void*, void (*)(void)) {}
void scriptUnregister(void*) {}
void scriptWait(uint32_t) {}
void nativeInit(uint64_t hash) {
  StubCall& call = StubHook::Get().call;
  call.hash = hash;
  call.argCount = 0;
}
void nativePush64(uint64_t value) {
  StubCall& call = StubHook::Get().call;
  if (call.argCount < StubCall::kMaxArgs) call.args[call.argCount++] = value;
}
uint64_t* nativeCall(void) {
  StubHook& hook = StubHook::Get();
  StubCall& call = hook.call;
  ++call.number;
  call.result[0] = call.result[1] = call.result[2] = 0;
  if (hook.answer != nullptr) hook.answer(call);
  return call.result;
}
}
