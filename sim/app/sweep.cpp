#include "sim/app/sweep.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/watchdog.h"
#include "sim/app/stop_request.h"
#include "sim/app/system.h"
#include "sim/report/map/svg_map.h"
#include "sim/scenario/duration.h"
#include "sim/sweep/branches.h"
#include "sim/sweep/seed_result.h"

namespace sim::sweep {
namespace {

using Clock = std::chrono::steady_clock;

// Sees the run from the inside for the branch counts.
class BranchObserver : public RunObserver {
 public:
  void OnCall(const platform::CallRecord& call, std::size_t eventsSoFar) override {
    collector.OnCall(call, eventsSoFar);
  }
  void OnEvent(const platform::WorldEvent& event, std::size_t index) override {
    collector.OnEvent(event, index);
  }
  BranchCollector collector;
};

// The reason a seed failed when its worker ended without answering.
std::string Ended(const WorkerReply& reply) {
  if (reply.exitStatus == platform::Watchdog::kExitStatus) {
    return "the run was stopped by the plug-in watchdog (exit status 3; its message is on "
           "standard error)";
  }
  return "the run's process ended with " + reply.ended + " before the run did";
}

// Plays the seed again with its timeline, trace and map going to `dir`.
void KeepEvidence(const Scenario& scenario, RunOptions options, const std::string& dir) {
  const std::string base =
      Utf8(PathFromUtf8(dir) / PathFromUtf8("seed-" + std::to_string(options.seed)));
  std::string error;
  std::unique_ptr<OutputFile> timeline = OutputFile::Open(base + ".txt", &error);
  std::unique_ptr<OutputFile> trace = OutputFile::Open(base + ".jsonl", &error);
  std::unique_ptr<OutputFile> map = OutputFile::Open(base + ".svg", &error);
  if (!timeline || !trace || !map) {
    std::fprintf(stderr, "homestead-sim: %s\n", error.c_str());
    return;
  }
  options.trace = [file = trace.get()](std::string_view text) { file->Write(text); };
  options.observer = nullptr;
  const RunReport report = RunScenario(scenario, options, [&timeline](const std::string& line) {
    timeline->Write(line);
    timeline->Write("\n");
  });
  map->Write(RenderMap(report.map));
  for (OutputFile* file : {timeline.get(), trace.get(), map.get()}) {
    if (!file->Commit(&error)) std::fprintf(stderr, "homestead-sim: %s\n", error.c_str());
  }
}

// `word` as a POSIX shell reads it back: as it is when it holds only safe
// characters, else in single quotes.
std::string ShellWord(const std::string& word) {
  constexpr std::string_view kSafe =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./:=@%+,-";
  if (!word.empty() && word.find_first_not_of(kSafe) == std::string::npos) return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Rate(uint64_t seeds, double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f",
                seconds > 0 ? static_cast<double>(seeds) / seconds : 0.0);
  return text;
}

}  // namespace

std::variant<SweepPlan, std::string> PlanSweep(const Options& options, const Scenario& scenario,
                                               const std::string& pluginPath) {
  SweepPlan plan;
  SweepRequest& request = plan.request;
  request.worker.program = ExecutablePath();
  if (request.worker.program.empty()) return "cannot find this program's own path for its workers";
  if (!options.sweepReport.empty() && !options.file.empty() &&
      SameFile(options.sweepReport, options.file)) {
    return "--sweep-report '" + options.sweepReport + "' is the scenario file '" + options.file +
           "' (try --help)";
  }
  if (!options.keepFailures.empty()) {
    std::error_code ec;
    const std::filesystem::path folder = PathFromUtf8(options.keepFailures);
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec)) {
      return "cannot make the folder '" + options.keepFailures + "' for --keep-failures";
    }
  }
  std::string error;
  if (!options.sweepReport.empty() &&
      !(plan.report = OutputFile::Open(options.sweepReport, &error))) {
    return error;
  }

  request.setup.scenario = scenario.name;
  request.setup.seeds = *options.seeds;
  std::string& replay = request.setup.replay;
  replay = "homestead-sim";
  replay += options.file.empty() ? " --scenario " + options.scenario
                                 : " --file " + ShellWord(options.file);
  if (!options.pluginPath.empty()) replay += " --plugin " + ShellWord(options.pluginPath);
  if (options.budgetGiven) replay += " --budget " + FormatScenarioDuration(options.budgetMs);

  std::vector<std::string>& args = request.worker.args;
  args = {kSweepWorkerOption, "--plugin", pluginPath, "--budget",
          std::to_string(options.budgetMs) + "ms"};
  if (options.file.empty()) {
    args.insert(args.end(), {"--scenario", options.scenario});
  } else {
    args.insert(args.end(), {"--file", options.file});
  }
  if (!options.keepFailures.empty()) {
    args.insert(args.end(), {"--keep-failures", options.keepFailures});
  }
  request.jobs = options.jobs > 0
                     ? options.jobs
                     : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  request.report = plan.report.get();
  request.quiet = options.quiet;
  return plan;
}

int ServeSeeds(const Scenario& scenario, const RunOptions& base, const std::string& keepFailures) {
  char line[64];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    const std::string_view text(line, std::strcspn(line, "\r\n"));
    uint32_t seed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return 2;
    RunOptions options = base;
    options.seed = seed;
    BranchObserver observer;
    options.observer = &observer;
    const RunReport report = RunScenario(scenario, options, [](const std::string&) {});
    if (report.loadFailed) {
      std::printf("L %s\n", report.failure.c_str());
      std::fflush(stdout);
      return 2;
    }
    SeedResult result;
    result.seed = seed;
    result.passed = report.passed;
    result.failure = report.failure;
    for (const MilestoneRecord& record : report.milestones) {
      ++result.milestones[static_cast<std::size_t>(record.milestone)];
    }
    result.shot = report.shot;
    result.gotAway = report.gotAway;
    result.tornDown = result.milestones[static_cast<std::size_t>(Milestone::kTeardown)];
    result.branches = observer.collector.Take();
    if (!result.passed && !keepFailures.empty()) KeepEvidence(scenario, options, keepFailures);
    const std::string answer = EncodeResult(result) + "\n";
    std::fwrite(answer.data(), 1, answer.size(), stdout);
    std::fflush(stdout);
  }
  return 0;
}

int PlaySweep(const SweepRequest& request) {
  Summary summary(request.setup);
  std::optional<std::string> fatal;
  const bool terminal = IsTerminal(stderr);
  const Clock::time_point start = Clock::now();
  bool progressShown = false;

  PoolHooks hooks;
  hooks.onReply = [&](const WorkerReply& reply) {
    if (reply.line && reply.line->starts_with("L ")) {
      fatal = "cannot load the plug-in: " + reply.line->substr(2);
      return false;
    }
    std::optional<SeedResult> result = reply.line ? DecodeResult(*reply.line) : std::nullopt;
    if (!result || result->seed != reply.seed) {
      if (reply.exitStatus == 2) {
        fatal = "a sweep worker refused to start (exit status 2)";
        return false;
      }
      result = SeedResult{};
      result->seed = reply.seed;
      result->failure = reply.line ? "the worker answered '" + *reply.line + "'" : Ended(reply);
    }
    summary.Add(*result);
    return true;
  };
  hooks.onTick = [&] {
    if (!terminal) return;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::fprintf(stderr,
                 "\rsweep: %" PRIu64 " of %" PRIu64 " seeds, %" PRIu64 " failed, %s seeds/s\x1b[K",
                 summary.played(), request.setup.seeds.count(), summary.failed(),
                 Rate(summary.played(), seconds).c_str());
    progressShown = true;
  };
  const std::string error =
      RunWorkers(request.worker, request.setup.seeds, request.jobs, hooks, StopRequested());
  if (progressShown) std::fputs("\r\x1b[K", stderr);
  if (!error.empty()) fatal = error;
  if (fatal) {
    std::fprintf(stderr, "homestead-sim: %s\n", fatal->c_str());
    return 2;
  }

  const bool interrupted = StopRequested().load();
  if (interrupted) summary.MarkInterrupted();
  const std::string text = summary.Text();
  std::fputs(request.quiet ? text.substr(0, text.find('\n') + 1).c_str() : text.c_str(), stdout);
  std::fflush(stdout);

  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::fprintf(stderr, "homestead-sim: %" PRIu64 " seeds in %.2f s with %d %s, %s seeds/s\n",
               summary.played(), seconds, request.jobs, request.jobs == 1 ? "job" : "jobs",
               Rate(summary.played(), seconds).c_str());
  if (interrupted) {
    std::fprintf(stderr, "homestead-sim: interrupted (%s)\n", StopSignalName());
    return 128 + StopSignal();
  }
  if (request.report != nullptr) {
    std::string failure;
    request.report->Write(summary.Json());
    if (!request.report->Commit(&failure)) {
      std::fprintf(stderr, "homestead-sim: %s\n", failure.c_str());
      return 1;
    }
  }
  return summary.failed() > 0 ? 1 : 0;
}

}  // namespace sim::sweep
