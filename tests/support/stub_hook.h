// The smallest stand-in for the script hook, for benchmarks and fuzz targets
// that link the plug-in's static library and need a host without the unit
// tests' call log. It defines the six script-hook functions: registering,
// unregistering and waiting do nothing; each host call is collected in one
// StubCall and answered by the function the program installs.
#ifndef HOMESTEAD_TESTS_SUPPORT_STUB_HOOK_H
#define HOMESTEAD_TESTS_SUPPORT_STUB_HOOK_H

#include <bit>
#include <cstddef>
#include <cstdint>

namespace support {

// The host call being answered.
struct StubCall {
  static constexpr int kMaxArgs = 16;  // slots past this are dropped

  uint64_t hash = 0;
  uint64_t args[kMaxArgs] = {};
  int argCount = 0;
  uint64_t result[3] = {};  // zeros until the answer fills them
  std::size_t number = 0;   // 1 for the program's first call, 2 ...

  float ArgFloat(int i) const { return std::bit_cast<float>(static_cast<uint32_t>(args[i])); }
};

// Fills `call.result`. It may throw to end the script: the exception leaves
// through the plug-in's host call (the fuzz target stops this way).
using StubAnswer = void (*)(StubCall& call);

class StubHook {
 public:
  static StubHook& Get();

  StubAnswer answer = nullptr;  // none: every call answers zeros
  StubCall call;
};

}  // namespace support

#endif  // HOMESTEAD_TESTS_SUPPORT_STUB_HOOK_H
