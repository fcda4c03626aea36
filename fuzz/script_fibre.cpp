#include "fuzz/script_fibre.h"

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>
#endif

// GCC says __SANITIZE_ADDRESS__; clang says it through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define HOMESTEAD_FUZZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOMESTEAD_FUZZ_ASAN 1
#endif
#endif
#if HOMESTEAD_FUZZ_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace fuzz {
namespace {

constexpr std::size_t kStackBytes = 1024 * 1024;

void (*gMain)() = nullptr;
bool gInScript = false;
bool gReturned = false;
bool gThrew = false;

// Runs the main; an exception must not cross the stack's edge.
void RunMain() {
  try {
    gMain();
  } catch (...) {
    gThrew = true;
  }
  gReturned = true;
}

#if defined(_WIN32)

void* gOwner = nullptr;  // the thread, made a fibre the first time
void* gFibre = nullptr;

void CALLBACK FibreStart(void*) {
  RunMain();
  for (;;) SwitchToFiber(gOwner);  // a fibre routine must never return
}

bool Prepare() {
  if (gOwner == nullptr) gOwner = ConvertThreadToFiber(nullptr);
  if (gOwner == nullptr) return false;
  gFibre = CreateFiberEx(64 * 1024, kStackBytes, FIBER_FLAG_FLOAT_SWITCH, &FibreStart, nullptr);
  return gFibre != nullptr;
}

void SwitchIn() {
  SwitchToFiber(gFibre);
}

void SwitchOut() {
  SwitchToFiber(gOwner);
}

void Drop() {
  if (gFibre != nullptr) DeleteFiber(gFibre);
  gFibre = nullptr;
}

#else  // POSIX: ucontext on one stack mapped once, a guard page below it

// Every switch tells AddressSanitizer which stack runs next, so that it keeps
// its stack bounds right.
void StartSwitch(void** fakeStackSave, const void* bottom, std::size_t size) {
#if HOMESTEAD_FUZZ_ASAN
  __sanitizer_start_switch_fiber(fakeStackSave, bottom, size);
#else
  (void)fakeStackSave, (void)bottom, (void)size;
#endif
}

void FinishSwitch(void* fakeStack, const void** oldBottom, std::size_t* oldSize) {
#if HOMESTEAD_FUZZ_ASAN
  __sanitizer_finish_switch_fiber(fakeStack, oldBottom, oldSize);
#else
  (void)fakeStack, (void)oldBottom, (void)oldSize;
#endif
}

struct Stack {
  char* bottom = nullptr;  // above the guard page
  std::size_t bytes = 0;
  ucontext_t owner{};
  ucontext_t script{};
  void* ownerFakeStack = nullptr;
  void* scriptFakeStack = nullptr;
  const void* ownerBottom = nullptr;
  std::size_t ownerSize = 0;
} gStack;

bool MapStackOnce() {
  if (gStack.bottom != nullptr) return true;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* memory =
      mmap(nullptr, kStackBytes + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return false;
  if (mprotect(memory, page, PROT_NONE) != 0) {
    munmap(memory, kStackBytes + page);
    return false;
  }
  gStack.bottom = static_cast<char*>(memory) + page;
  gStack.bytes = kStackBytes;
  return true;
}

void Trampoline() {
  FinishSwitch(nullptr, &gStack.ownerBottom, &gStack.ownerSize);
  RunMain();
  // A null save slot tells AddressSanitizer that this stack's frames end.
  StartSwitch(nullptr, gStack.ownerBottom, gStack.ownerSize);
  setcontext(&gStack.owner);
}

bool Prepare() {
  if (!MapStackOnce()) return false;
#if HOMESTEAD_FUZZ_ASAN
  // The abandoned frames of the last input left their redzones poisoned.
  ASAN_UNPOISON_MEMORY_REGION(gStack.bottom, gStack.bytes);
#endif
  if (getcontext(&gStack.script) != 0) return false;
  gStack.script.uc_stack.ss_sp = gStack.bottom;
  gStack.script.uc_stack.ss_size = gStack.bytes;
  gStack.script.uc_link = nullptr;
  makecontext(&gStack.script, &Trampoline, 0);
  return true;
}

void SwitchIn() {
  StartSwitch(&gStack.ownerFakeStack, gStack.bottom, gStack.bytes);
  swapcontext(&gStack.owner, &gStack.script);
  FinishSwitch(gStack.ownerFakeStack, nullptr, nullptr);
}

void SwitchOut() {
  StartSwitch(&gStack.scriptFakeStack, gStack.ownerBottom, gStack.ownerSize);
  swapcontext(&gStack.script, &gStack.owner);
  FinishSwitch(gStack.scriptFakeStack, &gStack.ownerBottom, &gStack.ownerSize);
}

void Drop() {}  // the next Prepare starts over on the same stack

#endif

bool gPrepared = false;

}  // namespace

bool StartScript(void (*main)()) {
  AbandonScript();
  gMain = main;
  gReturned = false;
  gThrew = false;
  gPrepared = Prepare();
  return gPrepared;
}

void ResumeScript() {
  if (!gPrepared || gReturned || gInScript) return;
  gInScript = true;
  SwitchIn();
  gInScript = false;
}

void YieldScript() {
  if (gInScript) SwitchOut();
}

bool InScript() {
  return gInScript;
}

bool ScriptReturned() {
  return gReturned;
}

bool ScriptThrew() {
  return gThrew;
}

void AbandonScript() {
  if (gPrepared) Drop();
  gPrepared = false;
}

}  // namespace fuzz
