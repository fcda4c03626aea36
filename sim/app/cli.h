// The simulator's command line: options, their parsing and the help text.
//
// ParseCommandLine never exits and prints nothing; it returns the options or
// a message for a usage error, which main reports with exit status 2.
#ifndef HOMESTEAD_SIM_APP_CLI_H
#define HOMESTEAD_SIM_APP_CLI_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "sim/report/trace.h"
#include "sim/run/runner.h"
#include "sim/sweep/seed_range.h"

namespace sim {

inline constexpr const char* kDefaultScenario = "robbery";

struct Options {
  enum class Command : uint8_t { kRun, kHelp, kVersion, kList };
  Command command = Command::kRun;
  std::string scenario = kDefaultScenario;  // --scenario NAME
  std::string file;                         // --file PATH; empty: use `scenario`
  std::optional<uint32_t> seed;             // --seed N; else the scenario's, else 1
  std::string tracePath;                    // --trace FILE
  TraceFilter traceFilter;                  // --trace-filter LIST
  std::string mapPath;                      // --map FILE.svg
  std::string replayPath;                   // --replay FILE.html
  std::string pluginPath;                   // --plugin PATH; empty: found next to us
  bool quiet = false;                       // --quiet: summary line only
  bool realtime = false;                    // --realtime: pace frames to the wall clock
  int64_t budgetMs = kDefaultBudgetMs;      // --budget DURATION: simulated time allowed
  bool watch = false;                       // --watch: play again on every change
  std::string baselinePath;                 // --baseline FILE: compare the timeline with it
  bool budgetGiven = false;
  std::optional<sweep::SeedRange> seeds;  // --seeds A-B: a sweep
  int jobs = 0;                           // -j N, --jobs N; 0: one per processor
  std::string keepFailures;               // --keep-failures DIR
  std::string sweepReport;                // --sweep-report FILE.json
  bool sweepWorker = false;               // kSweepWorkerOption: a sweep's worker
};

// The most worker processes a sweep may have.
inline constexpr int kMaxJobs = 256;
// The option that makes the program a sweep's worker; not in --help.
inline constexpr const char* kSweepWorkerOption = "--sweep-worker";

struct UsageError {
  std::string message;  // without the program name
};

// `args` excludes the program name. Accepts "--opt VALUE" and "--opt=VALUE".
std::variant<Options, UsageError> ParseCommandLine(std::span<const char* const> args);

// The full --help text: usage, options, scenario language, milestones.
std::string HelpText();

// "homestead-sim 0.1.0".
std::string VersionText();

}  // namespace sim

#endif  // HOMESTEAD_SIM_APP_CLI_H
