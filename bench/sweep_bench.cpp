// Seed sweeps as a user runs them: whole `homestead-sim --seeds` processes,
// timed from spawn to exit, beside the same seeds played one after another
// by the single-run code path (RunScenario, a fresh plug-in per seed) in
// this process. Prints what one job costs against that path, what two jobs
// gain over one, and the wall time of 1,000 seeds of the default robbery
// with two jobs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <variant>
#include <vector>

#include "sim/run/runner.h"
#include "sim/scenario/builtin.h"
#include "sim/scenario/scenario.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor seconds (user and system) of the children this process has
// waited for, and theirs.
double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A sweep of seeds 1 to `seeds` with `jobs` workers, its output to
// /dev/null: the wall time in seconds, or a negative value when it could not
// run or did not end with 0 or 1 (every seed passed, or one failed). Adds
// the processor time the sweep and its workers took to `*cpu`.
double Sweep(int seeds, int jobs, double* cpu = nullptr) {
  const double cpuBefore = ChildrenCpuSeconds();
  std::vector<std::string> args = {HOMESTEAD_SIM_PATH, "--seeds", "1-" + std::to_string(seeds),
                                   "--jobs", std::to_string(jobs)};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const Clock::time_point start = Clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1.0;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
    return -1.0;
  }
  const double wall = Seconds(start);
  if (cpu != nullptr) *cpu += ChildrenCpuSeconds() - cpuBefore;
  return wall;
}

// The same seeds through the single-run code path, one after another in this
// process, each with a fresh plug-in and its summary line made: seconds, or
// a negative value when the plug-in could not be loaded.
double SingleRuns(int seeds) {
  const sim::BuiltinScenario* builtin = sim::FindBuiltinScenario("robbery");
  const sim::ParseResult parsed = sim::ParseScenario(builtin->text, "robbery", "robbery");
  const sim::Scenario& scenario = std::get<sim::Scenario>(parsed);
  sim::RunOptions options;
  options.pluginPath = HOMESTEAD_PLUGIN_PATH;
  const Clock::time_point start = Clock::now();
  for (int seed = 1; seed <= seeds; ++seed) {
    options.seed = static_cast<uint32_t>(seed);
    if (sim::RunScenario(scenario, options, [](const std::string&) {}).loadFailed) return -1.0;
  }
  return Seconds(start);
}

// One job against the single-run path, measured alternately so that both see
// the same load.
void BM_OneJobAgainstSingleRuns(benchmark::State& state) {
  const int seeds = static_cast<int>(state.range(0));
  double single = 0.0;
  double sweep = 0.0;
  for (auto _ : state) {
    const double a = SingleRuns(seeds);
    const double b = Sweep(seeds, 1);
    if (a < 0.0 || b < 0.0) {
      state.SkipWithError("a run failed");
      return;
    }
    single += a;
    sweep += b;
  }
  state.counters["single_ms_per_seed"] = single * 1000.0 / state.iterations() / seeds;
  state.counters["one_job_ms_per_seed"] = sweep * 1000.0 / state.iterations() / seeds;
  state.counters["ratio"] = sweep / single;
}
BENCHMARK(BM_OneJobAgainstSingleRuns)->Arg(300)->Unit(benchmark::kSecond)->Iterations(3);

// Two jobs against one, alternately. The processor time per seed shows
// whether a second job adds work of its own: on a loaded machine the wall
// times say more about the other programs than about the sweep.
void BM_TwoJobsAgainstOne(benchmark::State& state) {
  const int seeds = static_cast<int>(state.range(0));
  double one = 0.0;
  double two = 0.0;
  double oneCpu = 0.0;
  double twoCpu = 0.0;
  for (auto _ : state) {
    const double a = Sweep(seeds, 1, &oneCpu);
    const double b = Sweep(seeds, 2, &twoCpu);
    if (a < 0.0 || b < 0.0) {
      state.SkipWithError("a sweep failed");
      return;
    }
    one += a;
    two += b;
  }
  state.counters["one_job_seeds_per_s"] = seeds * state.iterations() / one;
  state.counters["two_jobs_seeds_per_s"] = seeds * state.iterations() / two;
  state.counters["speed_up"] = one / two;
  state.counters["one_job_cpu_ms_per_seed"] = oneCpu * 1000.0 / state.iterations() / seeds;
  state.counters["two_jobs_cpu_ms_per_seed"] = twoCpu * 1000.0 / state.iterations() / seeds;
}
BENCHMARK(BM_TwoJobsAgainstOne)->Arg(400)->Unit(benchmark::kSecond)->Iterations(3);

void BM_ThousandSeedsTwoJobs(benchmark::State& state) {
  double total = 0.0;
  for (auto _ : state) {
    const double seconds = Sweep(1000, 2);
    if (seconds < 0.0) {
      state.SkipWithError("the sweep failed");
      return;
    }
    total += seconds;
  }
  state.counters["wall_s"] = total / state.iterations();
}
BENCHMARK(BM_ThousandSeedsTwoJobs)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
