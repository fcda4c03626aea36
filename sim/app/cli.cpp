#include "sim/app/cli.h"

#include <array>
#include <cctype>
#include <charconv>
#include <string_view>
#include <utility>

#include "sim/base/milestone.h"
#include "sim/base/places.h"
#include "sim/run/runner.h"
#include "sim/scenario/scenario.h"

#ifndef HOMESTEAD_VERSION
#define HOMESTEAD_VERSION "unknown"
#endif

namespace sim {
namespace {

enum class Takes : uint8_t { kNothing, kValue };

struct OptionInfo {
  std::string_view name;
  Takes takes;
};

constexpr std::array<OptionInfo, 24> kOptions = {{
    {"--help", Takes::kNothing},
    {"-h", Takes::kNothing},
    {"--version", Takes::kNothing},
    {"-V", Takes::kNothing},
    {"--list", Takes::kNothing},
    {"--quiet", Takes::kNothing},
    {"--realtime", Takes::kNothing},
    {"--watch", Takes::kNothing},
    {"--baseline", Takes::kValue},
    {"--scenario", Takes::kValue},
    {"--file", Takes::kValue},
    {"--seed", Takes::kValue},
    {"--trace", Takes::kValue},
    {"--trace-filter", Takes::kValue},
    {"--map", Takes::kValue},
    {"--replay", Takes::kValue},
    {"--plugin", Takes::kValue},
    {"--budget", Takes::kValue},
    {"--seeds", Takes::kValue},
    {"--jobs", Takes::kValue},
    {"-j", Takes::kValue},
    {"--keep-failures", Takes::kValue},
    {"--sweep-report", Takes::kValue},
    {kSweepWorkerOption, Takes::kNothing},
}};

constexpr std::string_view kHelpHead = R"(Usage: homestead-sim [options]

Loads the homestead robbery plug-in into a simulated world, plays a scenario
and tells what happened: a timeline on standard output, and on request a trace
of every host call and a map of the homestead.

Options:
  --scenario NAME   play the built-in scenario NAME (default: robbery)
  --file PATH       play the scenario written in the file PATH
  --list            list the built-in scenarios, one line each
  --seed N          seed of the world's random draws (default: the scenario's
                    own seed, else 1); the same seed gives the same bytes
  --trace FILE      write every host call as one JSON object per line, after
                    a header line (scenario, seed, plug-in build), with the
                    milestones in between; with '--trace -' to standard
                    output, and the timeline then goes to standard error
  --trace-filter LIST
                    keep only some calls in the trace: a comma-separated list
                    of operation names, each kept, or dropped with a leading
                    '-'; 'polling' names the queries made every frame. E.g.
                    --trace-filter=-polling, --trace-filter=CreatePed,SetBlipName
  --map FILE.svg    draw a map of the homestead as SVG (a name with another
                    extension is refused)
  --replay FILE.html
                    write a page that plays the run back on the map, with
                    the timeline beside it and the dialogue as subtitles;
                    self-contained, it opens from disk in a browser, and
                    FILE.html#t=64.35 opens it at 64.35 s of simulated time
                    (a name with another extension is refused)
  --plugin PATH     the plug-in library to load (default: the
                    libhomestead_robbery.so found next to this program)
  --budget DURATION
                    the simulated time the run may take (default and most:
                    48h); a run that has not played every action by then
                    fails, naming the action it was in
  --quiet           print only the closing summary line (of a sweep: its
                    verdict line)
  --realtime        play at the speed of the wall clock instead of as fast
                    as possible
  --watch           play, then wait, and play again whenever the plug-in
                    library or the scenario file has changed on disk (a
                    finished write), showing what changed in the timeline
                    (as --baseline does) and the summary line; the output
                    files are written again each time; Ctrl-C ends it
  --baseline FILE   compare the timeline with one written earlier (by
                    'homestead-sim > FILE') and print only the lines removed
                    and added, the header left out, then the summary line
  --seeds A-B       a sweep: play the scenario once for every seed from A to
                    B, each run as --seed N alone plays it, and print one
                    summary (see "Sweeps" below); excludes --seed,
                    --realtime, --trace, --map, --replay, --watch and
                    --baseline
  -j N, --jobs N    play a sweep in N worker processes at once (default:
                    one per processor)
  --keep-failures DIR
                    write the timeline, trace and map of every failing seed
                    of a sweep into DIR (seed-N.txt, seed-N.jsonl, seed-N.svg)
  --sweep-report FILE.json
                    write a sweep's whole summary as one JSON object
  -h, --help        show this text
  -V, --version     show the version

On a terminal, standard error shows the game clock, simulated time, frame
and action as a run goes: from the start with --realtime, else once the run
has taken a second.

Output files are written by every run that plays, passed or failed, and
always complete; a usage or input error (exit status 2) leaves them
untouched. A regular file is written beside its destination and renamed
into place, so it is never seen half-written; a symbolic link is followed
and stays a link; a pipe or a device (/dev/stdout, >(jq .)) is written in
place. A temporary file is removed when the run is interrupted (SIGINT,
SIGTERM, SIGHUP, or SIGPIPE when a reader goes away), which then ends with
exit status 128 + the signal's number (130 for Ctrl-C, 141 for a broken
pipe). An output that is the scenario file, or two
outputs that are one file however they are spelt, are a usage error. On a
terminal, errors and FAILED show in colour unless NO_COLOR is set.

Exit status: 0 the run succeeded and every expectation held; 1 the run
failed (an expectation did not hold, a wait timed out, an action was
impossible, or the plug-in misbehaved), or something it printed or wrote
was lost (an output file, or standard output or error: the timeline, or
what --help, --version and --list print); 2 a usage or input error (bad
option, bad scenario file, unusable output path, plug-in not loadable); 3
the plug-in hung; 4 an internal error (out of memory, say).
With --baseline the comparison decides: 0 when the timelines are equal, 1
when they differ. The summary line is compared too, so a run that fails
where the baseline's passed (or the other way round) differs, and a run
that fails exactly as the baseline's did is equal.

Sweeps (--seeds A-B): did my change break any seed, and was it played?
  The summary on standard output says how many seeds passed and failed;
  each failing seed (the first 20, and how many more) with the action and
  reason it failed at and the command that replays it alone with its trace
  and map; for each conversation stage (approach, confrontation, surrender,
  parting, outcome) in how many seeds each case was drawn ("never drawn"
  when none); the lines and variations no seed spoke; and the count of each
  milestone and outcome (shot, got away, torn down) with the seeds it came
  up in. It is the same bytes whatever -j is and on every system; a progress
  line on a terminal and the wall-clock figures go to standard error. A
  seed whose run crashes, hangs or is stopped by the watchdog fails with
  that reason and the sweep goes on. Exit status: 0 every seed passed, 1 one
  or more failed, 2 a usage or input error; Ctrl-C stops the workers, prints
  the summary of the seeds played so far, removes temporary files (the
  report is not written) and ends with 130.
  --sweep-report FILE.json holds: format (1), scenario, seeds {first, last},
  played, passed, failed, interrupted, failures [{seed, failure, replay}],
  stages [{name, cases [seeds per case], lines [{line, variation, seeds}]}],
  milestones {NAME: {times, seeds}}, outcomes {shot, got_away, torn_down:
  each {times, seeds}}.

Scenario files (full description in sim/SCENARIOS.md):
  One statement per line; '#' starts a comment. Settings come first:
    name NAME                  about TEXT           seed N
    clock HH:MM                homestead N          start at POSITION
  then actions, played in order:
    ride to POSITION [at SPEED]
    ride towards homestead N to DISTANCE [at SPEED]
    ride away from homestead N to DISTANCE [at SPEED]
    wait DURATION              wait for MILESTONE [up to DURATION]
    shoot occupant K [of homestead N]
    shoot all [of homestead N]  shoot all but one [of homestead N]
    take money [of homestead N]
    advance clock DURATION     set clock HH:MM      set hour H
    suppress on|off            expect MILESTONE     expect no MILESTONE
    reload                     reload from PATH     (unload, load again)
  POSITION: x y z (or x, y, z) | homestead N | loot of homestead N
            | DISTANCE COMPASS of homestead N  (e.g. 150m south of homestead 1)
  DURATION: 500ms, 2s, 3min, 6h (0 to 48h)   DISTANCE: 18m (0 to 100000m)
  SPEED: 4m/s (0.1 to 100m/s, default 4m/s)   x y z: -100000 to 100000 each
)";

// An output path may have no extension (a device or a pipe) but no other
// one than its format's: "map.png" would be an SVG file under a lying name.
bool HasExtensionOrNone(std::string_view path, std::string_view wanted) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == path.npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == name.npos || dot == 0) return true;
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == wanted;
}

std::string Usage(std::string message) {
  return message + " (try --help)";
}

// Carries out one of a sweep's options.
std::optional<UsageError> ApplySweepOption(std::string_view arg, std::string_view value,
                                           Options& options) {
  if (arg == "--seeds") {
    auto range = sweep::ParseSeedRange(value);
    if (const auto* message = std::get_if<std::string>(&range)) return UsageError{Usage(*message)};
    options.seeds = std::get<sweep::SeedRange>(range);
  } else if (arg == "--jobs" || arg == "-j") {
    int jobs = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), jobs);
    if (ec != std::errc() || end != value.data() + value.size() || jobs < 1 || jobs > kMaxJobs) {
      return UsageError{Usage("invalid number of jobs '" + std::string(value) +
                              "'; expected a whole number from 1 to " + std::to_string(kMaxJobs))};
    }
    options.jobs = jobs;
  } else if (arg == "--keep-failures") {
    options.keepFailures = std::string(value);
  } else if (arg == "--sweep-report") {
    options.sweepReport = std::string(value);
  } else if (arg == kSweepWorkerOption) {
    options.sweepWorker = true;
  }
  return std::nullopt;
}

// Carries out one option, its value checked already for presence.
std::optional<UsageError> ApplyOption(std::string_view arg, std::string_view value,
                                      Options& options, bool& scenarioGiven) {
  if (arg == "--help" || arg == "-h") {
    options.command = Options::Command::kHelp;
  } else if (arg == "--version" || arg == "-V") {
    if (options.command != Options::Command::kHelp) options.command = Options::Command::kVersion;
  } else if (arg == "--list") {
    if (options.command == Options::Command::kRun) options.command = Options::Command::kList;
  } else if (arg == "--quiet") {
    options.quiet = true;
  } else if (arg == "--realtime") {
    options.realtime = true;
  } else if (arg == "--watch") {
    options.watch = true;
  } else if (arg == "--baseline") {
    options.baselinePath = std::string(value);
  } else if (arg == "--scenario") {
    options.scenario = std::string(value);
    scenarioGiven = true;
  } else if (arg == "--file") {
    options.file = std::string(value);
  } else if (arg == "--seed") {
    uint32_t seed = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seed);
    if (ec != std::errc() || end != value.data() + value.size()) {
      return UsageError{Usage("invalid seed '" + std::string(value) +
                              "'; expected a whole number from 0 to 4294967295")};
    }
    options.seed = seed;
  } else if (arg == "--trace") {
    options.tracePath = std::string(value);
  } else if (arg == "--trace-filter") {
    auto filter = TraceFilter::Parse(value);
    if (const auto* message = std::get_if<std::string>(&filter)) return UsageError{*message};
    options.traceFilter = std::get<TraceFilter>(std::move(filter));
  } else if (arg == "--map") {
    options.mapPath = std::string(value);
  } else if (arg == "--replay") {
    options.replayPath = std::string(value);
  } else if (arg == "--plugin") {
    options.pluginPath = std::string(value);
  } else if (arg == "--budget") {
    std::string error;
    const std::optional<int64_t> budget = ParseDuration(value, &error);
    if (budget && *budget == 0) error = "expected a duration above 0";
    if (!budget || *budget == 0) {
      return UsageError{Usage("invalid --budget '" + std::string(value) + "': " + error)};
    }
    options.budgetMs = *budget;
    options.budgetGiven = true;
  } else {
    return ApplySweepOption(arg, value, options);
  }
  return std::nullopt;
}

// A sweep plays many runs with no outputs of their own; its options mean
// nothing without one.
std::optional<UsageError> CheckSweepCombination(const Options& options) {
  if (options.seeds) {
    const std::pair<bool, const char*> excluded[] = {
        {options.seed.has_value(), "--seed"},         {options.realtime, "--realtime"},
        {!options.tracePath.empty(), "--trace"},      {!options.mapPath.empty(), "--map"},
        {!options.replayPath.empty(), "--replay"},    {options.watch, "--watch"},
        {!options.baselinePath.empty(), "--baseline"}};
    for (const auto& [given, name] : excluded) {
      if (given)
        return UsageError{Usage(std::string("--seeds and ") + name + " exclude each other")};
    }
    return std::nullopt;
  }
  if (options.sweepWorker) return std::nullopt;
  const std::pair<bool, const char*> needing[] = {
      {options.jobs > 0, "-j"},
      {!options.keepFailures.empty(), "--keep-failures"},
      {!options.sweepReport.empty(), "--sweep-report"}};
  for (const auto& [given, name] : needing) {
    if (given) return UsageError{Usage(std::string(name) + " needs --seeds")};
  }
  return std::nullopt;
}

// The options that cannot go together, once all are read.
std::optional<UsageError> CheckCombination(const Options& options, bool scenarioGiven) {
  if (scenarioGiven && !options.file.empty()) {
    return UsageError{Usage("--scenario and --file exclude each other")};
  }
  if (options.traceFilter.list() != "all" && options.tracePath.empty()) {
    return UsageError{Usage("--trace-filter needs --trace FILE")};
  }
  if (!HasExtensionOrNone(options.mapPath, "svg")) {
    return UsageError{Usage("--map draws SVG only; '" + options.mapPath +
                            "' has another extension (name it FILE.svg)")};
  }
  if (!HasExtensionOrNone(options.replayPath, "html")) {
    return UsageError{Usage("--replay writes an HTML page; '" + options.replayPath +
                            "' has another extension (name it FILE.html)")};
  }
  const std::array<std::pair<std::string_view, const std::string*>, 3> outputs = {
      {{"--trace", &options.tracePath},
       {"--map", &options.mapPath},
       {"--replay", &options.replayPath}}};
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    for (std::size_t j = i + 1; j < outputs.size(); ++j) {
      if (!outputs[i].second->empty() && *outputs[i].second == *outputs[j].second) {
        return UsageError{Usage(std::string(outputs[i].first) + " and " +
                                std::string(outputs[j].first) + " name the same file")};
      }
    }
  }
  return CheckSweepCombination(options);
}

}  // namespace

std::variant<Options, UsageError> ParseCommandLine(std::span<const char* const> args) {
  Options options;
  bool scenarioGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::string_view value;
    bool hasInlineValue = false;
    if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
      hasInlineValue = true;
    }
    // "-j2" is "-j 2".
    if (arg.starts_with("-j") && arg.size() > 2 && !hasInlineValue) {
      value = arg.substr(2);
      arg = arg.substr(0, 2);
      hasInlineValue = true;
    }
    const OptionInfo* option = nullptr;
    for (const OptionInfo& candidate : kOptions) {
      if (candidate.name == arg) option = &candidate;
    }
    if (option == nullptr) return UsageError{Usage("unknown option '" + std::string(arg) + "'")};
    if (option->takes == Takes::kNothing && hasInlineValue) {
      return UsageError{Usage("option " + std::string(arg) + " takes no value")};
    }
    if (option->takes == Takes::kValue && !hasInlineValue) {
      if (i + 1 >= args.size()) {
        return UsageError{Usage("option " + std::string(arg) + " needs a value")};
      }
      value = args[++i];
    }
    if (option->takes == Takes::kValue && value.empty()) {
      return UsageError{Usage("option " + std::string(arg) + " needs a non-empty value")};
    }

    if (std::optional<UsageError> error = ApplyOption(arg, value, options, scenarioGiven)) {
      return *error;
    }
  }
  if (std::optional<UsageError> error = CheckCombination(options, scenarioGiven)) return *error;
  return options;
}

std::string HelpText() {
  std::string text(kHelpHead);
  text += "  Homesteads on the map: " + KnownHomesteadIds() + ".\n\nMilestones:\n";
  for (std::size_t i = 0; i < kMilestoneCount; ++i) {
    const Milestone milestone = MilestoneAt(i);
    std::string line = "  " + std::string(MilestoneName(milestone));
    line.resize(22, ' ');
    text += line + std::string(MilestoneMeaning(milestone)) + "\n";
  }
  return text;
}

std::string VersionText() {
  return std::string("homestead-sim ") + HOMESTEAD_VERSION;
}

}  // namespace sim
