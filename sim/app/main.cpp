// homestead-sim: plays a robbery scenario with the real plug-in in a
// simulated world and tells what happened. See --help.
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#include "platform/console.h"
#include "platform/watchdog.h"
#include "sim/app/cli.h"
#include "sim/app/interrupt.h"
#include "sim/app/output_file.h"
#include "sim/app/stop_request.h"
#include "sim/app/sweep.h"
#include "sim/app/system.h"
#include "sim/app/watch.h"
#include "sim/report/map/svg_map.h"
#include "sim/report/replay_page.h"
#include "sim/report/timeline_diff.h"
#include "sim/run/runner.h"
#include "sim/scenario/builtin.h"
#include "sim/scenario/scenario.h"

namespace {

constexpr int kExitPassed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInternal = 4;

// What the program writes to standard output and standard error beyond its
// messages, and the errno of the first write to each that failed (0: none).
// A run that loses any of it fails, as one whose output file cannot be
// written does.
struct StandardStreams {
  const char* outHolds = "the timeline";  // null: an output file, which reports its own
  const char* errHolds = nullptr;         // null: messages only
  int outError = 0;
  int errError = 0;
};

// Writes `text` to `stream`, keeping the first failure's errno in `*error`.
void Put(std::FILE* stream, std::string_view text, int* error) {
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() && *error == 0) {
    *error = errno != 0 ? errno : EIO;
  }
}

// Colour on a terminal unless NO_COLOR is set, to any value.
bool WantsColour(std::FILE* stream) {
  return sim::IsTerminal(stream) && std::getenv("NO_COLOR") == nullptr;
}

// `text` with its first `word` in bold red; all of it without a word.
std::string Paint(std::string text, std::string_view word = {}) {
  const std::size_t at = word.empty() ? 0 : text.find(word);
  if (at == std::string::npos) return text;
  text.insert(word.empty() ? text.size() : at + word.size(), "\x1b[0m");
  text.insert(at, "\x1b[1;31m");
  return text;
}

int Error(const std::string& message, int status) {
  std::fprintf(stderr, "homestead-sim: %s\n",
               WantsColour(stderr) ? Paint(message).c_str() : message.c_str());
  return status;
}

// The plug-in beside the executable (the build tree puts both in its top
// directory), or one directory up for a program built into a subdirectory.
std::string FindDefaultPlugin(std::vector<std::string>* looked) {
  const std::string self = sim::ExecutablePath();
  if (self.empty()) return "";
  const std::filesystem::path dir = sim::PathFromUtf8(self).parent_path();
  std::error_code ec;
  for (const std::filesystem::path& candidate :
       {dir / sim::kPluginFileName, dir.parent_path() / sim::kPluginFileName}) {
    looked->push_back(sim::Utf8(candidate));
    if (std::filesystem::is_regular_file(candidate, ec)) return sim::Utf8(candidate);
  }
  return "";
}

int ListScenarios(StandardStreams& streams) {
  streams.outHolds = "the list of scenarios";
  for (const sim::BuiltinScenario& builtin : sim::BuiltinScenarios()) {
    const sim::ParseResult parsed = sim::ParseScenario(builtin.text, builtin.name, builtin.name);
    const auto* scenario = std::get_if<sim::Scenario>(&parsed);
    std::string line(builtin.name);
    line.resize(14, ' ');
    line += scenario != nullptr ? scenario->about : "(does not parse)";
    if (builtin.name == sim::kDefaultScenario) line += " (default)";
    Put(stdout, line + "\n", &streams.outError);
  }
  return kExitPassed;
}

// Prints a problem of the input: a scenario's error at its place as it is,
// anything else as the program's own message.
void ReportInputError(const std::string& message, bool located) {
  if (!located) {
    Error(message, kExitUsage);
    return;
  }
  std::fprintf(stderr, "%s\n",
               WantsColour(stderr) ? Paint(message, "error:").c_str() : message.c_str());
}

// Reads and parses the scenario the options name; nothing on failure, with
// `*problem` saying why and `*located` whether it names a place in the file.
std::optional<sim::Scenario> LoadScenario(const sim::Options& options, std::string* problem,
                                          bool* located) {
  *located = false;
  sim::ParseResult parsed;
  if (!options.file.empty()) {
    const std::optional<std::string> text = sim::ReadScenarioFile(options.file, problem);
    if (!text) return std::nullopt;
    const std::string stem = sim::Utf8(sim::PathFromUtf8(options.file).stem());
    parsed = sim::ParseScenario(*text, options.file, stem);
  } else {
    const sim::BuiltinScenario* builtin = sim::FindBuiltinScenario(options.scenario);
    if (builtin == nullptr) {
      std::string names;
      for (const sim::BuiltinScenario& b : sim::BuiltinScenarios()) {
        names += (names.empty() ? "" : ", ") + std::string(b.name);
      }
      *problem = "unknown scenario '" + options.scenario + "'; expected one of " + names;
      return std::nullopt;
    }
    parsed =
        sim::ParseScenario(builtin->text, "built-in:" + std::string(builtin->name), builtin->name);
  }
  if (const auto* error = std::get_if<sim::ParseError>(&parsed)) {
    *problem = error->Format();
    *located = true;
    return std::nullopt;
  }
  return std::get<sim::Scenario>(std::move(parsed));
}

// An output that would replace the scenario file, or two that would replace
// one file, however spelt: the message for the usage error, else empty.
std::string ClashingOutputs(const sim::Options& options) {
  const std::pair<const char*, const std::string*> outputs[] = {{"--trace", &options.tracePath},
                                                                {"--map", &options.mapPath},
                                                                {"--replay", &options.replayPath}};
  for (const auto& [option, path] : outputs) {
    if (!path->empty() && !options.file.empty() && sim::SameFile(*path, options.file)) {
      return std::string(option) + " '" + *path + "' is the scenario file '" + options.file +
             "' (try --help)";
    }
  }
  for (std::size_t i = 0; i < std::size(outputs); ++i) {
    for (std::size_t j = i + 1; j < std::size(outputs); ++j) {
      const auto& [first, firstPath] = outputs[i];
      const auto& [second, secondPath] = outputs[j];
      if (!firstPath->empty() && !secondPath->empty() && sim::SameFile(*firstPath, *secondPath)) {
        return std::string(first) + " '" + *firstPath + "' and " + second + " '" + *secondPath +
               "' name the same file (try --help)";
      }
    }
  }
  return "";
}

// The plug-in the options name, or the one found beside the program; empty,
// with `*error` set, when there is none.
std::string ChoosePlugin(const sim::Options& options, std::string* error) {
  if (!options.pluginPath.empty()) return options.pluginPath;
  std::vector<std::string> looked;
  const std::string found = FindDefaultPlugin(&looked);
  if (found.empty()) {
    std::string where;
    for (const std::string& path : looked) where += (where.empty() ? "" : ", ") + path;
    *error = "cannot find the plug-in (looked for " + where + "); name it with --plugin PATH";
  }
  return found;
}

struct Outputs {
  std::unique_ptr<sim::OutputFile> trace;
  std::unique_ptr<sim::OutputFile> map;
  std::unique_ptr<sim::OutputFile> replay;

  // Every output, null where none was asked for.
  std::array<sim::OutputFile*, 3> All() const { return {trace.get(), map.get(), replay.get()}; }
  bool AnyToStandardOutput() const {
    for (const sim::OutputFile* file : All()) {
      if (file != nullptr && file->toStandardOutput()) return true;
    }
    return false;
  }
};

// Opens the outputs the options name; the usage error, or empty.
std::string OpenOutputs(const sim::Options& options, Outputs& outputs) {
  std::string error;
  if (!options.tracePath.empty() &&
      !(outputs.trace = sim::OutputFile::Open(options.tracePath, &error))) {
    return error;
  }
  if (!options.mapPath.empty() && !(outputs.map = sim::OutputFile::Open(options.mapPath, &error))) {
    return error;
  }
  if (!options.replayPath.empty() &&
      !(outputs.replay = sim::OutputFile::Open(options.replayPath, &error))) {
    return error;
  }
  int onStandardOutput = 0;
  for (const sim::OutputFile* file : outputs.All()) {
    if (file != nullptr && file->toStandardOutput()) ++onStandardOutput;
  }
  if (onStandardOutput > 1) {
    return "--trace, --map and --replay cannot share standard output (try --help)";
  }
  return "";
}

// Prints the timeline. Played in real time, each line should show as it
// happens, and a terminal shows how far the run is on a line of its own,
// rewritten in place on standard error and erased before each timeline line:
// from the start in real time, else once the run has taken a second of wall
// time, ten times a second. The progress line goes to the terminal only, so
// nothing that depends on the wall clock reaches an output.
class TimelinePrinter {
 public:
  using Clock = std::chrono::steady_clock;

  // Lines go to `out`; `*error` keeps the errno of the first that failed.
  TimelinePrinter(std::FILE* out, int* error, bool realtime)
      : out_(out),
        error_(error),
        colour_(WantsColour(out)),
        realtime_(realtime),
        nextProgress_(Clock::now() +
                      (realtime ? Clock::duration::zero() : std::chrono::seconds(1))),
        every_(realtime ? Clock::duration::zero() : std::chrono::milliseconds(100)) {}

  void Progress(const std::string& status) {
    const Clock::time_point now = Clock::now();
    if (now < nextProgress_) return;
    nextProgress_ = now + every_;
    std::fprintf(stderr, "\r%s\x1b[K", status.c_str());
    progressShown_ = true;
  }

  void EraseProgress() {
    if (progressShown_) std::fputs("\r\x1b[K", stderr);
    progressShown_ = false;
  }

  void Print(const std::string& line) {
    EraseProgress();
    Put(out_, (colour_ ? Paint(line, "FAILED") : line) + "\n", error_);
    if (realtime_) Flush();
  }

  void Flush() {
    if (std::fflush(out_) != 0 && *error_ == 0) *error_ = errno;
  }

 private:
  std::FILE* out_;
  int* error_;
  bool colour_;
  bool realtime_;
  bool progressShown_ = false;
  Clock::time_point nextProgress_;
  Clock::duration every_;
};

// With an output on standard output, the timeline moves to standard error
// so that the two do not mix. Returns the timeline's stream;
// `*error` the place for the errno of its first failed write.
std::FILE* TimelineStream(const Outputs& outputs, StandardStreams& streams, int** error) {
  const bool toStdout = outputs.AnyToStandardOutput();
  if (toStdout) {
    streams.outHolds = nullptr;
    streams.errHolds = "the timeline";
  }
  *error = toStdout ? &streams.errError : &streams.outError;
  return toStdout ? stderr : stdout;
}

// Plays the scenario with the library at `loadPath`, which is `pluginName`
// or a copy of it. The timeline is printed, or kept in `*kept` when given.
sim::RunReport Play(const sim::Scenario& scenario, const sim::Options& options,
                    const std::string& loadPath, const std::string& pluginName,
                    const Outputs& outputs, StandardStreams& streams,
                    std::vector<std::string>* kept) {
  int* error = nullptr;
  std::FILE* const out = TimelineStream(outputs, streams, &error);
  TimelinePrinter printer(out, error, options.realtime);

  sim::RunOptions run;
  run.pluginPath = loadPath;
  run.pluginName = pluginName;
  run.seed = options.seed.value_or(scenario.seed);
  run.realtime = options.realtime;
  if (outputs.trace) {
    run.trace = [file = outputs.trace.get()](std::string_view text) { file->Write(text); };
  }
  run.traceFilter = options.traceFilter;
  run.replay = outputs.replay != nullptr;
  run.budgetMs = options.budgetMs;
  if (sim::IsTerminal(stderr)) {
    run.progress = [&printer](const std::string& status) { printer.Progress(status); };
  }
  const bool quiet = options.quiet;
  const sim::RunReport report =
      sim::RunScenario(scenario, run, [quiet, kept, &printer](const std::string& line) {
        if (kept != nullptr) {
          kept->push_back(line);
        } else if (!quiet) {
          printer.Print(line);
        }
      });
  printer.EraseProgress();
  if (quiet && kept == nullptr && !report.summary.empty()) printer.Print(report.summary);
  printer.Flush();
  return report;
}

// A run that played writes its outputs whether it passed or not: a failed
// one is when they are needed most. Every file is finished before any is
// renamed into place, so that a failure to write leaves none behind.
int WriteOutputs(Outputs& outputs, const sim::RunReport& report) {
  std::string error;
  if (outputs.map) outputs.map->Write(sim::RenderMap(report.map));
  if (outputs.replay) outputs.replay->Write(sim::RenderReplayPage(report.replay));
  for (sim::OutputFile* file : outputs.All()) {
    if (file != nullptr && !file->Finish(&error)) return Error(error, kExitFailed);
  }
  for (sim::OutputFile* file : outputs.All()) {
    if (file != nullptr && !file->Publish(&error)) return Error(error, kExitFailed);
  }
  return kExitPassed;
}

// The lines of a timeline written earlier; nothing, with `*error` set, when
// the file cannot be read.
std::optional<std::vector<std::string>> ReadBaseline(const std::string& path, std::string* error) {
  std::ifstream in(sim::PathFromUtf8(path), std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    *error = "cannot read the baseline '" + path + "': " + std::strerror(errno);
    return std::nullopt;
  }
  return sim::SplitLines(text.str());
}

// Prints what changed against the baseline and the summary line; 0 when
// nothing did, else 1.
int CompareWithBaseline(const std::vector<std::string>& baseline,
                        const std::vector<std::string>& timeline, std::FILE* out, int* error) {
  const sim::TimelineDiff diff = sim::DiffTimelines(baseline, timeline);
  TimelinePrinter printer(out, error, false);
  for (const std::string& line : sim::FormatTimelineDiff(diff)) printer.Print(line);
  if (!timeline.empty()) printer.Print(timeline.back());
  printer.Flush();
  return diff.equal() ? kExitPassed : kExitFailed;
}

// --watch: every play reads the scenario again, opens and writes the outputs
// again and loads a private copy of the library (watch.h). Ends only when
// interrupted.
int WatchAndPlay(const sim::Options& options, const std::string& pluginPath,
                 std::optional<std::vector<std::string>> baseline, StandardStreams& streams) {
  sim::StopWatchOnInterrupt();
  sim::WatchSetup setup;
  setup.pluginPath = pluginPath;
  setup.scenarioPath = options.file;
  setup.baseline = std::move(baseline);
  setup.quiet = options.quiet;
  // As the last play's outputs leave them.
  std::FILE* out = stdout;
  int* error = &streams.outError;
  sim::WatchHooks hooks;
  hooks.play = [&](const std::string& copy) -> sim::Played {
    std::string problem;
    bool located = false;
    const std::optional<sim::Scenario> scenario = LoadScenario(options, &problem, &located);
    if (!scenario) return {{}, problem};
    Outputs outputs;
    if (std::string unusable = OpenOutputs(options, outputs); !unusable.empty()) {
      return {{}, unusable};
    }
    out = TimelineStream(outputs, streams, &error);
    sim::Played played;
    const sim::RunReport report =
        Play(*scenario, options, copy, pluginPath, outputs, streams, &played.timeline);
    if (report.loadFailed) return {{}, "cannot load the plug-in: " + report.failure};
    WriteOutputs(outputs, report);
    return played;
  };
  // Each line at once: the loop waits between plays.
  hooks.print = [&out, &error](const std::string& line) {
    TimelinePrinter printer(out, error, false);
    printer.Print(line);
    printer.Flush();
  };
  hooks.report = [](const std::string& message) { Error(message, kExitUsage); };
  hooks.stop = [] { return sim::WatchInterrupted(); };
  sim::Watch(setup, hooks);
  return 128 + 2;  // SIGINT's number: only Ctrl-C ends the loop
}

int Main(int argc, char** argv, StandardStreams& streams) {
  const auto parsed = sim::ParseCommandLine(
      std::span<const char* const>(argv + 1, static_cast<std::size_t>(argc - 1)));
  if (const auto* usage = std::get_if<sim::UsageError>(&parsed)) {
    return Error(usage->message, kExitUsage);
  }
  const sim::Options& options = std::get<sim::Options>(parsed);
  switch (options.command) {
    case sim::Options::Command::kHelp:
      streams.outHolds = "the help text";
      Put(stdout, sim::HelpText(), &streams.outError);
      return kExitPassed;
    case sim::Options::Command::kVersion:
      streams.outHolds = "the version";
      Put(stdout, sim::VersionText() + "\n", &streams.outError);
      return kExitPassed;
    case sim::Options::Command::kList:
      return ListScenarios(streams);
    case sim::Options::Command::kRun:
      break;
  }

  std::string problem;
  bool located = false;
  const std::optional<sim::Scenario> scenario = LoadScenario(options, &problem, &located);
  // Watched, a scenario file that does not parse yet is told by the loop.
  if (!scenario && !options.watch) {
    ReportInputError(problem, located);
    return kExitUsage;
  }
  if (const std::string clash = ClashingOutputs(options); !clash.empty()) {
    return Error(clash, kExitUsage);
  }
  std::string error;
  const std::string pluginPath = ChoosePlugin(options, &error);
  if (pluginPath.empty()) return Error(error, kExitUsage);

  if (options.sweepWorker) {
    sim::RemoveTemporariesOnInterrupt();
    platform::Watchdog::SetBeforeExit(&sim::RemoveRegisteredTemporaries);
    sim::RunOptions run;
    run.pluginPath = pluginPath;
    run.budgetMs = options.budgetMs;
    return sim::sweep::ServeSeeds(*scenario, run, options.keepFailures);
  }
  if (options.seeds) {
    // Before the report's temporary file exists.
    sim::sweep::CatchStopSignals();
    auto plan = sim::sweep::PlanSweep(options, *scenario, pluginPath);
    if (const auto* problem = std::get_if<std::string>(&plan)) return Error(*problem, kExitUsage);
    return sim::sweep::PlaySweep(std::get<sim::sweep::SweepPlan>(plan).request);
  }
  std::optional<std::vector<std::string>> baseline;
  if (!options.baselinePath.empty() && !(baseline = ReadBaseline(options.baselinePath, &error))) {
    return Error(error, kExitUsage);
  }

  // Before the first temporary file exists.
  sim::RemoveTemporariesOnInterrupt();
  platform::Watchdog::SetBeforeExit(&sim::RemoveRegisteredTemporaries);
  if (options.watch) return WatchAndPlay(options, pluginPath, std::move(baseline), streams);
  Outputs outputs;
  if (const std::string unusable = OpenOutputs(options, outputs); !unusable.empty()) {
    return Error(unusable, kExitUsage);
  }

  std::vector<std::string> timeline;
  const sim::RunReport report = Play(*scenario, options, pluginPath, pluginPath, outputs, streams,
                                     baseline ? &timeline : nullptr);
  if (report.loadFailed) return Error("cannot load the plug-in: " + report.failure, kExitUsage);
  if (const int status = WriteOutputs(outputs, report); status != kExitPassed) return status;
  // With a baseline the comparison decides the status; the summary line,
  // and so the verdict, is part of what is compared.
  if (!report.passed) Error("the run failed at " + report.failure, kExitFailed);
  if (baseline) {
    int* lost = nullptr;
    std::FILE* const out = TimelineStream(outputs, streams, &lost);
    return CompareWithBaseline(*baseline, timeline, out, lost);
  }
  return report.passed ? kExitPassed : kExitFailed;
}

// Flushes standard output and closes it, then flushes standard error, and
// reports what was lost; `status`, or kExitFailed when it was 0 and
// something was lost. Standard error stays open for what the sanitizers
// report at exit.
int CheckStandardStreams(StandardStreams& streams, int status) {
  if (std::fflush(stdout) != 0 && streams.outError == 0) streams.outError = errno;
  if (std::ferror(stdout) != 0 && streams.outError == 0) streams.outError = EIO;
  if (std::fclose(stdout) != 0 && streams.outError == 0) streams.outError = errno;
  if (std::fflush(stderr) != 0 && streams.errError == 0) streams.errError = errno;
  if (std::ferror(stderr) != 0 && streams.errError == 0) streams.errError = EIO;
  struct Lost {
    const char* holds;
    const char* stream;
    int error;
  };
  for (const Lost& lost : {Lost{streams.outHolds, "standard output", streams.outError},
                           Lost{streams.errHolds, "standard error", streams.errError}}) {
    if (lost.error == 0) continue;
    // An output file on the stream has said why already, and failed the run.
    if (lost.holds != nullptr || status == kExitPassed) {
      Error("cannot write " + std::string(lost.holds != nullptr ? lost.holds : lost.stream) + ": " +
                std::strerror(lost.error),
            kExitFailed);
    }
    if (status == kExitPassed) status = kExitFailed;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  platform::UseBinaryStandardStreams();
  StandardStreams streams;
  int status = kExitInternal;
  // An exception that escapes is reported in one line, after the unwinding
  // has removed the temporary files of the outputs.
  try {
    status = Main(argc, argv, streams);
  } catch (const std::exception& exception) {
    Error(std::string("internal error: ") + exception.what(), kExitInternal);
  } catch (...) {
    Error("internal error: an unknown exception", kExitInternal);
  }
  return CheckStandardStreams(streams, status);
}
