// Plays the seeds of a sweep in worker processes, several at once.
//
// Each worker is a program started with the given arguments, standard error
// shared with this one. It reads one seed per line on its standard input and
// answers each with one line on its standard output, in order. A worker that
// ends without answering (a crash, the plug-in watchdog, a kill) costs only
// the seed it was playing: that seed's reply says how the process ended, and
// a fresh worker takes the next seed.
//
// Workers are separate processes, not threads, because a run's plug-in and
// the platform's active host are process-wide state. On Linux a worker is
// started with posix_spawn in a process group of its own, so that a Ctrl-C at
// the terminal reaches the sweep alone and the sweep decides how the workers
// end; on Windows with CreateProcessW in a new process group, which ignores
// Ctrl-C for the same reason. Only the worker's own pipe ends are inherited.
#ifndef HOMESTEAD_SIM_SWEEP_WORKER_POOL_H
#define HOMESTEAD_SIM_SWEEP_WORKER_POOL_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/sweep/seed_range.h"

namespace sim::sweep {

struct WorkerCommand {
  std::string program;
  std::vector<std::string> args;  // without the program
};

struct WorkerReply {
  uint32_t seed = 0;
  std::optional<std::string> line;  // the answer; nothing when the worker ended without one
  // When it ended without one: how, "exit status 3" or "signal 11 (SIGSEGV)".
  std::string ended;
  int exitStatus = -1;  // the exit status when it ended by one, else -1
};

struct PoolHooks {
  // Called for every seed played, one call at a time; false stops the sweep.
  std::function<bool(const WorkerReply& reply)> onReply;
  // Called about ten times a second on the thread that called RunWorkers,
  // never at the same time as onReply.
  std::function<void()> onTick;
};

// Plays `seeds` over `jobs` workers and returns when each has been answered
// or the sweep was stopped: by a hook, or by `stop` becoming true. On a stop
// the workers get no more seeds and their input closes, so that each ends
// after the seed it is playing, whose reply is dropped; one still playing a
// few seconds later is ended (on Linux by SIGTERM, on which a worker removes
// its temporary files; on Windows by TerminateProcess). Returns an empty
// string, or why a worker could not be started.
std::string RunWorkers(const WorkerCommand& command, SeedRange seeds, int jobs,
                       const PoolHooks& hooks, const std::atomic<bool>& stop);

}  // namespace sim::sweep

#endif  // HOMESTEAD_SIM_SWEEP_WORKER_POOL_H
