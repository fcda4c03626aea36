#include "platform/fibre.h"

#include <cstdint>
#include <exception>
#include <new>
#include <utility>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef Yield  // windows.h makes it a macro; Fibre::Yield is ours
#else
#include <sys/mman.h>
#include <unistd.h>
#if HOMESTEAD_SANITIZE
#include <ucontext.h>
// GCC says __SANITIZE_ADDRESS__; clang says it through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define HOMESTEAD_FIBRE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOMESTEAD_FIBRE_ASAN 1
#endif
#endif
#if HOMESTEAD_FIBRE_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif
#else
#include <boost/context/fiber.hpp>
#endif
#endif

// Sections: the Win32 back end; the stack mapping shared by the two POSIX
// back ends; the ucontext back end (sanitized build); the Boost.Context back
// end; the Fibre itself.

namespace platform {
namespace {

thread_local Fibre* tCurrent = nullptr;

}  // namespace

#if defined(_WIN32)

struct Fibre::Switch {
  void* fibre = nullptr;  // from CreateFiberEx; owns the fibre's stack
  void* owner = nullptr;  // the fibre of the thread that resumed this one
  std::size_t stackBytes = 0;

  // A fibre routine must never return (that would end the thread): once the
  // entry is done, control goes back to the owner for good.
  static void CALLBACK Start(void* parameter) {
    auto& f = *static_cast<Fibre*>(parameter);
    f.RunEntry();
    for (;;) SwitchToFiber(f.switch_->owner);
  }

  static bool Prepare(Fibre& f, std::size_t stackBytes) {
    f.switch_->stackBytes = stackBytes;
    return Arm(f);
  }

  // A Win32 fibre cannot start over: each entry gets a fibre of its own.
  static bool Arm(Fibre& f) {
    // Commit little up front; the rest of the reservation is committed as the
    // stack grows, below the guard page that Windows keeps.
    constexpr std::size_t kCommitBytes = 64 * 1024;
    Switch& s = *f.switch_;
    s.fibre = CreateFiberEx(kCommitBytes, s.stackBytes, FIBER_FLAG_FLOAT_SWITCH, &Start, &f);
    return s.fibre != nullptr;
  }

  static void In(Fibre& f) {
    Switch& s = *f.switch_;
    s.owner = ThreadFibre();
    SwitchToFiber(s.fibre);
  }

  // The fibre of the calling thread, which becomes one the first time.
  static void* ThreadFibre() {
    if (!IsThreadAFiber()) return ConvertThreadToFiber(nullptr);
      // GCC 12 takes mingw's inline read of the thread block for an access out
      // of bounds.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    return GetCurrentFiber();
#pragma GCC diagnostic pop
  }

  static void Out(Fibre& f) {
    SwitchToFiber(f.switch_->owner);
  }

  // Frees the stack without unwinding what is on it.
  static void Disarm(Fibre& f) {
    if (f.switch_->fibre != nullptr) DeleteFiber(f.switch_->fibre);
    f.switch_->fibre = nullptr;
  }

  static void Release(Fibre& f) {
    Disarm(f);
  }
};

#else  // POSIX

namespace {

std::size_t PageSize() {
  return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// A fibre's stack: mapped here, with a guard page at its low end so that an
// overflow faults instead of writing over other memory.
struct MappedStack {
  void* base = nullptr;    // lowest mapped address; the guard page sits here
  std::size_t mapped = 0;  // guard page included

  bool Map(std::size_t bytes) {
    const std::size_t page = PageSize();
    const std::size_t size = (bytes + page - 1) / page * page + page;
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    if (mprotect(memory, page, PROT_NONE) != 0) {
      munmap(memory, size);
      return false;
    }
    base = memory;
    mapped = size;
    return true;
  }

  void Unmap() {
    if (base != nullptr) munmap(base, mapped);
    base = nullptr;
  }

  void* Bottom() const { return static_cast<char*>(base) + PageSize(); }  // above the guard
  std::size_t Bytes() const { return mapped - PageSize(); }               // usable
};

}  // namespace

#if HOMESTEAD_SANITIZE

// ucontext switch annotated for AddressSanitizer: every switch announces the
// stack it is about to run on, so that ASan keeps its stack bounds and fake
// stacks right. A fibre that finishes announces a null fake-stack slot, which
// tells ASan that its stack is going away.
namespace {

void StartSwitch(void** fakeStackSave, const void* bottom, std::size_t size) {
#if HOMESTEAD_FIBRE_ASAN
  __sanitizer_start_switch_fiber(fakeStackSave, bottom, size);
#else
  (void)fakeStackSave, (void)bottom, (void)size;
#endif
}

void FinishSwitch(void* fakeStack, const void** oldBottom, std::size_t* oldSize) {
#if HOMESTEAD_FIBRE_ASAN
  __sanitizer_finish_switch_fiber(fakeStack, oldBottom, oldSize);
#else
  (void)fakeStack, (void)oldBottom, (void)oldSize;
#endif
}

}  // namespace

struct Fibre::Switch {
  MappedStack stack;
  ucontext_t owner{};
  ucontext_t fibre{};
  void* ownerFakeStack = nullptr;
  void* fibreFakeStack = nullptr;
  const void* ownerBottom = nullptr;
  std::size_t ownerSize = 0;

  // makecontext passes int arguments only, so the Fibre's address comes in
  // two halves.
  static void Trampoline(unsigned high, unsigned low) {
    auto* f = reinterpret_cast<Fibre*>((static_cast<uintptr_t>(high) << 32) | low);
    Switch& s = *f->switch_;
    FinishSwitch(nullptr, &s.ownerBottom, &s.ownerSize);
    f->RunEntry();
    StartSwitch(nullptr, s.ownerBottom, s.ownerSize);
    setcontext(&s.owner);
  }

  static bool Prepare(Fibre& f, std::size_t stackBytes) {
    return f.switch_->stack.Map(stackBytes) && Arm(f);
  }

  // Starts the entry over at the stack's top.
  static bool Arm(Fibre& f) {
    Switch& s = *f.switch_;
    if (getcontext(&s.fibre) != 0) return false;
    s.fibre.uc_stack.ss_sp = s.stack.Bottom();
    s.fibre.uc_stack.ss_size = s.stack.Bytes();
    s.fibre.uc_link = nullptr;
    const auto address = reinterpret_cast<uintptr_t>(&f);
    makecontext(&s.fibre, reinterpret_cast<void (*)()>(&Trampoline), 2,
                static_cast<unsigned>(address >> 32), static_cast<unsigned>(address));
    return true;
  }

  static void In(Fibre& f) {
    Switch& s = *f.switch_;
    StartSwitch(&s.ownerFakeStack, s.stack.Bottom(), s.stack.Bytes());
    swapcontext(&s.owner, &s.fibre);
    FinishSwitch(s.ownerFakeStack, nullptr, nullptr);
  }

  static void Out(Fibre& f) {
    Switch& s = *f.switch_;
    StartSwitch(&s.fibreFakeStack, s.ownerBottom, s.ownerSize);
    swapcontext(&s.fibre, &s.owner);
    FinishSwitch(s.fibreFakeStack, &s.ownerBottom, &s.ownerSize);
  }

  // Drops the frames on the stack where they are. Their redzones stay
  // poisoned unless cleared, for the next entry or whatever is mapped later
  // at the same place.
  static void Disarm(Fibre& f) {
    MappedStack& stack = f.switch_->stack;
#if HOMESTEAD_FIBRE_ASAN
    if (stack.base != nullptr) ASAN_UNPOISON_MEMORY_REGION(stack.Bottom(), stack.Bytes());
#else
    (void)stack;
#endif
  }

  static void Release(Fibre& f) {
    Disarm(f);
    f.switch_->stack.Unmap();
  }
};

#else  // Boost.Context

namespace ctx = boost::context;

// The Fibre owns the stack memory and unmaps it itself.
struct KeepStack {
  void deallocate(ctx::stack_context&) noexcept {}
};

struct Fibre::Switch {
  MappedStack stack;
  // The fibre as seen from its owner. A union, so that the handle of a fibre
  // that never finished is never destroyed: ~fiber would unwind the fibre's
  // stack by throwing through the script's frames.
  union {
    ctx::fiber suspended;
  };
  bool prepared = false;  // `suspended` was constructed
  // Seen from inside: where Yield goes back to (empty while suspended).
  ctx::fiber owner;

  Switch() {}
  ~Switch() {}

  static bool Prepare(Fibre& f, std::size_t stackBytes) {
    return f.switch_->stack.Map(stackBytes) && Arm(f);
  }

  // Starts the entry over at the stack's top.
  static bool Arm(Fibre& f) {
    Switch& s = *f.switch_;
    ctx::stack_context context;
    context.sp = static_cast<char*>(s.stack.Bottom()) + s.stack.Bytes();
    context.size = s.stack.Bytes();
    new (&s.suspended)
        ctx::fiber(std::allocator_arg, ctx::preallocated(context.sp, context.size, context),
                   KeepStack{}, [&f](ctx::fiber&& owner) {
                     f.switch_->owner = std::move(owner);
                     f.RunEntry();
                     return std::move(f.switch_->owner);
                   });
    s.prepared = true;
    return true;
  }

  static void In(Fibre& f) {
    Switch& s = *f.switch_;
    s.suspended = std::move(s.suspended).resume();
  }

  static void Out(Fibre& f) {
    Switch& s = *f.switch_;
    s.owner = std::move(s.owner).resume();
  }

  // Drops the frames on the stack where they are. Only a finished fibre's
  // handle is empty and safe to destroy; any other is forgotten.
  static void Disarm(Fibre& f) {
    Switch& s = *f.switch_;
    if (s.prepared && f.finished()) s.suspended.~fiber();
    s.prepared = false;
  }

  static void Release(Fibre& f) {
    Disarm(f);
    f.switch_->stack.Unmap();
  }
};

#endif
#endif  // POSIX

std::unique_ptr<Fibre> Fibre::Create(Entry entry, std::size_t stackBytes) {
  std::unique_ptr<Fibre> fibre(new Fibre(std::move(entry)));
  if (!Switch::Prepare(*fibre, stackBytes)) return nullptr;
  return fibre;
}

Fibre::Fibre(Entry entry) : entry_(std::move(entry)), switch_(std::make_unique<Switch>()) {}

Fibre::~Fibre() {
  Switch::Release(*this);
}

bool Fibre::Restart(Entry entry) {
  if (tCurrent == this) return false;
  Switch::Disarm(*this);
  entry_ = std::move(entry);
  started_ = false;
  threw_ = false;
  thrownWhat_.clear();
  // Without a context to switch to, Resume must do nothing.
  finished_ = !Switch::Arm(*this);
  return !finished_;
}

void Fibre::RunEntry() {
  // An exception must not cross the switch; the owner sees threw().
  try {
    entry_();
  } catch (const std::exception& e) {
    threw_ = true;
    thrownWhat_ = e.what();
  } catch (...) {
    threw_ = true;
  }
  finished_ = true;
}

void Fibre::Resume() {
  if (finished_ || tCurrent != nullptr) return;
  started_ = true;
  tCurrent = this;
  Switch::In(*this);
  tCurrent = nullptr;
}

void Fibre::Yield() {
  Fibre* self = tCurrent;
  if (self == nullptr) return;
  Switch::Out(*self);
}

Fibre* Fibre::Current() {
  return tCurrent;
}

}  // namespace platform
