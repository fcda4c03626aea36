// Stackful fibres for script mains.
//
// A Fibre runs one entry function on a stack of its own. The thread that owns
// it calls Resume(); the entry runs until it calls Fibre::Yield() (control
// goes back to Resume's caller) or returns (the fibre is finished). Only one
// level of nesting is supported: fibres are resumed from the thread's own
// stack, never from inside another fibre.
//
// A fibre whose entry never returns is abandoned when it is destroyed: its
// stack is freed as it is, without unwinding the frames on it. Whatever those
// frames own is not released, so code that runs on a fibre must not hold
// heap memory across a Yield (the leak check of the sanitized build reports
// it). A fibre must not be destroyed while it runs.
//
// On Windows fibres are Win32 fibres (the thread that resumes one is made a
// fibre itself the first time). Elsewhere the normal build switches with
// Boost.Context's fiber and the sanitized build (HOMESTEAD_SANITIZE) with an
// annotated ucontext switch that AddressSanitizer can follow; both run on a
// stack mapped here, with a guard page below it.
#ifndef HOMESTEAD_PLATFORM_FIBRE_H
#define HOMESTEAD_PLATFORM_FIBRE_H

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class Fibre {
 public:
  using Entry = std::function<void()>;

  // Large enough for the host's own handlers, which run on the caller's
  // fibre; pages are committed only as they are touched.
  static constexpr std::size_t kDefaultStackBytes = 1024 * 1024;

  // Returns nullptr when the stack cannot be allocated. The entry does not
  // start until the first Resume().
  static std::unique_ptr<Fibre> Create(Entry entry, std::size_t stackBytes = kDefaultStackBytes);

  ~Fibre();
  Fibre(const Fibre&) = delete;
  Fibre& operator=(const Fibre&) = delete;

  // Abandons the entry where it stands, as the destructor does, and prepares
  // `entry` to run from its start at the next Resume(), on the same stack:
  // a host that runs one script after another maps its stack once. False
  // when called on the fibre itself (nothing changes), or when no context
  // can be had (on Windows each entry gets a new Win32 fibre): the fibre is
  // then finished.
  bool Restart(Entry entry);

  // Runs the fibre until it yields or its entry returns. Does nothing when it
  // is finished, or when called on a fibre (nesting is not supported).
  void Resume();

  // Called on a fibre: gives control back to the Resume() that started this
  // slice. Returns when the fibre is resumed again. Does nothing when called
  // outside any fibre.
  static void Yield();

  // The fibre running now, or nullptr on the thread's own stack.
  static Fibre* Current();

  bool started() const { return started_; }
  bool finished() const { return finished_; }
  // The entry ended by throwing; the exception was caught on the fibre.
  bool threw() const { return threw_; }
  // What a thrown std::exception said; empty for anything else.
  const std::string& thrownWhat() const { return thrownWhat_; }

 private:
  struct Switch;  // back end: the stack, the saved contexts and the switch itself
  friend struct Switch;

  explicit Fibre(Entry entry);
  void RunEntry();

  Entry entry_;
  std::unique_ptr<Switch> switch_;
  bool started_ = false;
  bool finished_ = false;
  bool threw_ = false;
  std::string thrownWhat_;
};

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_FIBRE_H
