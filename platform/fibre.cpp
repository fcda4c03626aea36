#include "platform/fibre.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>
#include <utility>

#if HOMESTEAD_SANITIZE
#include <ucontext.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#include <sanitizer/lsan_interface.h>
#endif
#else
#include <boost/context/fiber.hpp>
#endif

namespace platform {
namespace {

thread_local Fibre* tCurrent = nullptr;

std::size_t PageSize() {
  return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

#if HOMESTEAD_SANITIZE

// ucontext switch annotated for AddressSanitizer: every switch announces the
// stack it is about to run on, so that ASan keeps its stack bounds and fake
// stacks right. A fibre that finishes announces a null fake-stack slot, which
// tells ASan that its stack is going away.
namespace {

void StartSwitch(void** fakeStackSave, const void* bottom, std::size_t size) {
#if defined(__SANITIZE_ADDRESS__)
  __sanitizer_start_switch_fiber(fakeStackSave, bottom, size);
#else
  (void)fakeStackSave, (void)bottom, (void)size;
#endif
}

void FinishSwitch(void* fakeStack, const void** oldBottom, std::size_t* oldSize) {
#if defined(__SANITIZE_ADDRESS__)
  __sanitizer_finish_switch_fiber(fakeStack, oldBottom, oldSize);
#else
  (void)fakeStack, (void)oldBottom, (void)oldSize;
#endif
}

}  // namespace

struct Fibre::Switch {
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

  static bool Prepare(Fibre& f) {
    Switch& s = *f.switch_;
    if (getcontext(&s.fibre) != 0) return false;
    s.fibre.uc_stack.ss_sp = f.StackBottom();
    s.fibre.uc_stack.ss_size = f.StackBytes();
    s.fibre.uc_link = nullptr;
    const auto address = reinterpret_cast<uintptr_t>(&f);
    makecontext(&s.fibre, reinterpret_cast<void (*)()>(&Trampoline), 2,
                static_cast<unsigned>(address >> 32), static_cast<unsigned>(address));
    return true;
  }

  static void In(Fibre& f) {
    Switch& s = *f.switch_;
    StartSwitch(&s.ownerFakeStack, f.StackBottom(), f.StackBytes());
    swapcontext(&s.owner, &s.fibre);
    FinishSwitch(s.ownerFakeStack, nullptr, nullptr);
  }

  static void Out(Fibre& f) {
    Switch& s = *f.switch_;
    StartSwitch(&s.fibreFakeStack, s.ownerBottom, s.ownerSize);
    swapcontext(&s.fibre, &s.owner);
    FinishSwitch(s.fibreFakeStack, &s.ownerBottom, &s.ownerSize);
  }

  // Returns whether the stack may be unmapped.
  static bool Release(Fibre& f) {
#if defined(__SANITIZE_ADDRESS__)
    if (f.started() && !f.finished()) {
      // The abandoned frames may own heap memory (a list held across a
      // wait). The stack stays mapped and becomes a root of the leak check,
      // so that memory counts as referenced, as it is from a stack that is
      // never freed, instead of being reported as leaked.
      __lsan_register_root_region(f.StackBottom(), f.StackBytes());
      return false;
    }
    // Clear the redzones that frames left poisoned, so that memory mapped
    // later at the same place starts clean.
    ASAN_UNPOISON_MEMORY_REGION(f.StackBottom(), f.StackBytes());
#else
    (void)f;
#endif
    return true;
  }
};

#else  // Boost.Context

namespace ctx = boost::context;

// The Fibre owns the stack memory and unmaps it itself.
struct KeepStack {
  void deallocate(ctx::stack_context&) noexcept {}
};

struct Fibre::Switch {
  // The fibre as seen from its owner. A union, so that the handle of a fibre
  // that never finished is never destroyed: ~fiber would unwind the fibre's
  // stack by throwing through the script's frames.
  union {
    ctx::fiber suspended;
  };
  // Seen from inside: where Yield goes back to (empty while suspended).
  ctx::fiber owner;

  Switch() {}
  ~Switch() {}

  static bool Prepare(Fibre& f) {
    Switch& s = *f.switch_;
    ctx::stack_context stack;
    stack.sp = static_cast<char*>(f.StackBottom()) + f.StackBytes();
    stack.size = f.StackBytes();
    new (&s.suspended)
        ctx::fiber(std::allocator_arg, ctx::preallocated(stack.sp, stack.size, stack), KeepStack{},
                   [&f](ctx::fiber&& owner) {
                     f.switch_->owner = std::move(owner);
                     f.RunEntry();
                     return std::move(f.switch_->owner);
                   });
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

  // Returns whether the stack may be unmapped.
  static bool Release(Fibre& f) {
    // Only a finished fibre's handle is empty and safe to destroy.
    if (f.finished()) f.switch_->suspended.~fiber();
    return true;
  }
};

#endif

std::unique_ptr<Fibre> Fibre::Create(Entry entry, std::size_t stackBytes) {
  const std::size_t page = PageSize();
  const std::size_t usable = (stackBytes + page - 1) / page * page;
  const std::size_t mapped = usable + page;
  void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  // An overflow faults on the guard page instead of writing over other memory.
  if (mprotect(base, page, PROT_NONE) != 0) {
    munmap(base, mapped);
    return nullptr;
  }
  std::unique_ptr<Fibre> fibre(new Fibre(std::move(entry), base, mapped));
  if (!Switch::Prepare(*fibre)) return nullptr;
  return fibre;
}

Fibre::Fibre(Entry entry, void* stackBase, std::size_t mappedBytes)
    : entry_(std::move(entry)),
      stackBase_(stackBase),
      mappedBytes_(mappedBytes),
      switch_(std::make_unique<Switch>()) {}

Fibre::~Fibre() {
  if (Switch::Release(*this)) munmap(stackBase_, mappedBytes_);
}

void* Fibre::StackBottom() const {
  return static_cast<char*>(stackBase_) + PageSize();
}

std::size_t Fibre::StackBytes() const {
  return mappedBytes_ - PageSize();
}

void Fibre::RunEntry() {
  try {
    entry_();
  } catch (...) {
    // An exception must not cross the switch; the owner sees threw().
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
