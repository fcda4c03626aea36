// A seed sweep: the scenario played once for every seed of a range, each run
// exactly as `--seed N` alone plays it, and one summary of them all.
//
// PlaySweep is the program that the user starts. It hands the seeds to
// worker processes (this program again, started with the hidden option
// kSweepWorkerOption of cli.h) and adds up what they answer. ServeSeeds is the worker: for each
// seed it reads, it plays the scenario in a fresh session (a fresh plug-in
// and world, as a single run) and answers with the seed's result line.
#ifndef HOMESTEAD_SIM_APP_SWEEP_H
#define HOMESTEAD_SIM_APP_SWEEP_H

#include <cstdio>
#include <memory>
#include <string>
#include <variant>

#include "sim/app/cli.h"
#include "sim/app/output_file.h"
#include "sim/run/runner.h"
#include "sim/scenario/scenario.h"
#include "sim/sweep/seed_range.h"
#include "sim/sweep/summary.h"
#include "sim/sweep/worker_pool.h"

namespace sim::sweep {

struct SweepRequest {
  SweepSetup setup;
  int jobs = 1;
  WorkerCommand worker;          // the command that starts one worker
  OutputFile* report = nullptr;  // --sweep-report FILE.json
  bool quiet = false;            // the verdict line only
};

// What a sweep needs beside the options: its report file, opened, and the
// request PlaySweep takes, which points at it.
struct SweepPlan {
  std::unique_ptr<OutputFile> report;
  SweepRequest request;
};

// The sweep that `options` ask for (their seeds given): the command that
// replays a seed, the workers' command line (this program, found by its own
// path), the number of jobs, the failures folder made and the report
// opened. A usage or input error is returned as its message.
std::variant<SweepPlan, std::string> PlanSweep(const Options& options, const Scenario& scenario,
                                               const std::string& pluginPath);

// Plays the sweep: the summary on standard output, a progress line on a
// terminal's standard error and the wall-clock figures on standard error.
// Returns the exit status: 0 every seed passed, 1 one failed, 2 the plug-in
// cannot be loaded or no worker starts, 128 + the signal's number when
// interrupted (the summary then counts the seeds played so far): call
// CatchStopSignals (sim/app/stop_request.h) before any temporary file
// exists.
int PlaySweep(const SweepRequest& request);

// The worker: answers each seed on standard input with its result line on
// standard output until its input ends; 0 then. `base` gives everything but
// the seed. When `keepFailures` names a directory, a failing seed is played
// again into seed-N.txt (the timeline), seed-N.jsonl (the trace) and
// seed-N.svg (the map) there. A plug-in that cannot be loaded is answered
// with "L" and the reason, and ends the worker with status 2.
int ServeSeeds(const Scenario& scenario, const RunOptions& base, const std::string& keepFailures);

}  // namespace sim::sweep

#endif  // HOMESTEAD_SIM_APP_SWEEP_H
