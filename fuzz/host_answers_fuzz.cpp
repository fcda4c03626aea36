// Fuzz target: the plug-in's whole script against a host whose every answer
// comes from the input. Each host call consumes its answer bytes (12 for a
// position, 4 otherwise, written through the out-argument of
// GetCurrentPedWeapon too); when the input runs out the host ends the script.
// Whatever the answers, the plug-in must not read or write out of bounds
// (run under AddressSanitizer and UndefinedBehaviorSanitizer).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "encounter/tick.h"
#include "host/host_api.h"
#include "registry/catalogue.h"
#include "registry/registry.h"

using namespace homestead;

namespace {

struct InputExhausted {};

struct FuzzHost {
  const uint8_t* data = nullptr;
  std::size_t size = 0;
  uint64_t hash = 0;
  uint64_t args[16] = {};
  int argCount = 0;
  uint64_t result[3] = {};

  uint32_t Take32() {
    if (size < 4) throw InputExhausted{};
    uint32_t v;
    std::memcpy(&v, data, 4);
    data += 4;
    size -= 4;
    return v;
  }
} gHost;

}  // namespace

extern "C" {
void scriptRegister(void*, void (*)(void)) {}
void scriptUnregister(void*) {}
void scriptWait(uint32_t) {}
void nativeInit(uint64_t hash) {
  gHost.hash = hash;
  gHost.argCount = 0;
}
void nativePush64(uint64_t value) {
  if (gHost.argCount < 16) gHost.args[gHost.argCount++] = value;
}
uint64_t* nativeCall(void) {
  gHost.result[0] = gHost.Take32();
  gHost.result[1] = gHost.result[2] = 0;
  if (gHost.hash == host::op::kGetEntityCoords) {
    gHost.result[1] = gHost.Take32();
    gHost.result[2] = gHost.Take32();
  } else if (gHost.hash == host::op::kGetCurrentPedWeapon && gHost.argCount > 1) {
    const auto weapon = static_cast<uint32_t>(gHost.result[0]);
    std::memcpy(reinterpret_cast<void*>(gHost.args[1]), &weapon, sizeof weapon);
  }
  return gHost.result;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Registry() = HomesteadRegistry();
  gHost.data = data;
  gHost.size = size;
  try {
    InitHomesteads();
    for (;;) TickEncounters();
  } catch (const InputExhausted&) {
  }
  return 0;
}
