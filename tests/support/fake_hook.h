// A scripted stand-in for the script hook, for unit tests that link the
// plug-in's static library. It defines the six script-hook functions, records
// every host call and wait in one ordered log, and answers each call through a
// responder that the test installs. scriptWait does not switch fibres: it logs
// the wait and runs the test's onWait callback, so stages run straight through
// on the test's own thread.
#ifndef HOMESTEAD_TESTS_SUPPORT_FAKE_HOOK_H
#define HOMESTEAD_TESTS_SUPPORT_FAKE_HOOK_H

#include <array>
#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fake {

struct Event {
  enum class Kind { kCall, kWait, kRegister, kUnregister };
  Kind kind = Kind::kCall;
  uint64_t hash = 0;               // kCall
  std::vector<uint64_t> args;      // kCall: the pushed slots, in order
  uint32_t ms = 0;                 // kWait
  void* module = nullptr;          // kRegister, kUnregister
  void (*scriptMain)() = nullptr;  // kRegister
};

using Result = std::array<uint64_t, 3>;
// Answers one call; `args` are the pushed slots. Unanswered calls return zeros.
using Responder = std::function<Result(uint64_t hash, const std::vector<uint64_t>& args)>;

class FakeHook {
 public:
  static FakeHook& Get();

  // Clears the log, the responder and the wait callback.
  void Reset();

  std::vector<Event> events;
  // When false, calls and waits are counted but not logged (no allocation).
  bool recordEvents = true;
  std::size_t callCount = 0;
  std::size_t waitCount = 0;
  Responder responder;
  std::function<void(uint32_t ms)> onWait;

  // Only the kCall events, in order.
  std::vector<Event> Calls() const;
  // Calls of one operation.
  std::vector<Event> CallsOf(uint64_t hash) const;

  // --- used by the six functions ---
  void Init(uint64_t hash);
  void Push(uint64_t value);
  uint64_t* Call();

 private:
  uint64_t pendingHash_ = 0;
  std::vector<uint64_t> pendingArgs_;
  std::array<uint64_t, 3> result_{};
};

// Decoding helpers for assertions.
inline std::string Text(uint64_t address) {
  return address == 0 ? std::string("<null>") : std::string(reinterpret_cast<const char*>(address));
}
inline uint64_t FloatBits(float f) {
  return std::bit_cast<uint32_t>(f);
}
inline uint64_t U32(int32_t v) {
  return static_cast<uint32_t>(v);
}
inline Result Answer(uint64_t slot0) {
  return Result{slot0, 0, 0};
}
inline Result AnswerFloat(float f) {
  return Result{FloatBits(f), 0, 0};
}

}  // namespace fake

#endif  // HOMESTEAD_TESTS_SUPPORT_FAKE_HOOK_H
