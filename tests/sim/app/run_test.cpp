// Whole runs with the real plug-in: the built-in scenarios through the
// library, and the homestead-sim program itself for its output files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "registry/catalogue_data.h"
#include "sim/base/places.h"
#include "sim/run/runner.h"
#include "sim/scenario/builtin.h"
#include "sim/scenario/scenario.h"

namespace sim {
namespace {

namespace fs = std::filesystem;
using M = Milestone;

struct Expected {
  const char* scenario;
  std::vector<Milestone> inOrder;  // must appear in this order (others may interleave)
  std::vector<Milestone> never;
};

RunReport RunBuiltin(const std::string& name, std::vector<std::string>* timeline = nullptr) {
  const BuiltinScenario* builtin = FindBuiltinScenario(name);
  if (builtin == nullptr) {
    ADD_FAILURE() << "no built-in scenario " << name;
    return {};
  }
  const ParseResult parsed = ParseScenario(builtin->text, name, name);
  const Scenario& scenario = std::get<Scenario>(parsed);
  RunOptions options;
  options.pluginPath = HOMESTEAD_PLUGIN_PATH;
  options.seed = scenario.seed;
  return RunScenario(scenario, options, [timeline](const std::string& line) {
    if (timeline != nullptr) timeline->push_back(line);
  });
}

std::string Names(const std::vector<MilestoneRecord>& records) {
  std::string names;
  for (const MilestoneRecord& r : records) names += std::string(MilestoneName(r.milestone)) + " ";
  return names;
}

TEST(BuiltinRunTest, EachScenarioPassesWithItsMilestonesInOrder) {
  const Expected table[] = {
      {"robbery",
       {M::kStartup, M::kSpawned, M::kMoneyStack, M::kApproach, M::kConfrontation, M::kAttack,
        M::kSurrender, M::kFlight, M::kGotAway, M::kOutcome, M::kLootBlipRemoved,
        M::kHomeBlipRemoved, M::kTeardown, M::kRestored},
       {}},
      {"shot-fleeing",
       {M::kSpawned, M::kApproach, M::kConfrontation, M::kAttack, M::kSurrender, M::kFlight,
        M::kOutcome, M::kTeardown},
       {M::kGotAway}},
      {"from-afar",
       {M::kSpawned, M::kMoneyStack, M::kConfrontation, M::kAttack, M::kOutcome},
       {M::kApproach, M::kSurrender, M::kFlight}},
      {"suppressed",
       {M::kSpawned, M::kApproach, M::kConfrontation, M::kAttack, M::kTeardown},
       {M::kOutcome}},
      {"midnight", {M::kSpawned, M::kAttack, M::kOutcome, M::kTeardown, M::kRestored}, {}},
      {"homestead-7",
       {M::kSpawned, M::kMoneyStack, M::kApproach, M::kConfrontation, M::kAttack, M::kSurrender,
        M::kFlight, M::kGotAway, M::kOutcome, M::kLootBlipRemoved, M::kTeardown, M::kRestored},
       {}},
      {"ride-away",
       {M::kSpawned, M::kApproach, M::kTeardown, M::kRestored},
       {M::kConfrontation, M::kAttack, M::kOutcome}},
      // The new instance starts up again and places a set of its own.
      {"reload",
       {M::kSpawned, M::kConfrontation, M::kStartup, M::kSpawned, M::kConfrontation, M::kAttack,
        M::kOutcome, M::kTeardown},
       {M::kSurrender, M::kRestored}},
  };
  ASSERT_EQ(std::size(table), BuiltinScenarios().size()) << "a built-in scenario is not covered";
  for (const Expected& expected : table) {
    SCOPED_TRACE(expected.scenario);
    const RunReport report = RunBuiltin(expected.scenario);
    EXPECT_TRUE(report.passed) << report.failure;
    const std::vector<MilestoneRecord>& seen = report.milestones;
    std::size_t at = 0;
    for (Milestone wanted : expected.inOrder) {
      while (at < seen.size() && seen[at].milestone != wanted) ++at;
      EXPECT_LT(at, seen.size()) << MilestoneName(wanted)
                                 << " missing or out of order in: " << Names(seen);
      ++at;
    }
    for (Milestone unwanted : expected.never) {
      EXPECT_TRUE(
          std::none_of(seen.begin(), seen.end(),
                       [unwanted](const MilestoneRecord& r) { return r.milestone == unwanted; }))
          << MilestoneName(unwanted) << " happened in: " << Names(seen);
    }
  }
}

TEST(BuiltinRunTest, EncounterMilestonesBelongToTheScenariosHomestead) {
  for (const char* name : {"robbery", "homestead-7"}) {
    SCOPED_TRACE(name);
    const RunReport report = RunBuiltin(name);
    const int homestead = std::strcmp(name, "robbery") == 0 ? 1 : 7;
    for (const MilestoneRecord& r : report.milestones) {
      if (r.milestone == M::kStartup) continue;  // both homesteads get a blip
      EXPECT_EQ(r.homestead, homestead) << MilestoneName(r.milestone);
    }
  }
}

TEST(BuiltinRunTest, MidnightCooldownCountsHoursAcrossTheDayBoundary) {
  const RunReport report = RunBuiltin("midnight");
  ASSERT_TRUE(report.passed) << report.failure;
  auto hourOf = [&report](Milestone m) {
    for (const MilestoneRecord& r : report.milestones) {
      if (r.milestone == m) return r.clockMinute / 60;
    }
    return -1;
  };
  EXPECT_EQ(hourOf(M::kTeardown), 22);
  EXPECT_EQ(hourOf(M::kRestored), 4);  // 22 + 6 hours, not before
}

// `before`, then one "expect startup" more than there are homesteads (each
// starts up once), and the failure of the last.
std::pair<std::string, std::string> OneStartupTooMany(const std::string& before) {
  std::string text = before;
  for (std::size_t i = 0; i <= std::size(homestead::kCatalogue); ++i) text += "expect startup\n";
  const std::size_t line = std::size(homestead::kCatalogue) + 2;
  return {text, "line " + std::to_string(line) + " (expect startup): startup has not happened"};
}

TEST(RunTest, ActionsThatCannotBePlayedFailTheRunAtTheirLine) {  // or pass: no failure given
  constexpr const char* kNear = "ride towards homestead 1 to 60m at 10m/s\nwait for spawned\n";
  const auto [afterWait, tooManyAfterWait] = OneStartupTooMany("wait 1s\n");
  const auto [afterWaitFor, tooManyAfterWaitFor] = OneStartupTooMany("wait for startup\n");
  constexpr const char* kInYard = "ride towards homestead 1 to 18m at 10m/s\n";
  const std::string homeBlips = std::to_string(std::size(homestead::kCatalogue)) + " blips (";
  const std::string firstSet = "left behind 6 occupants (peds 101, 102, 103, 104, 105, 106), ";
  struct Case {
    std::string text;
    std::string failure;
    int64_t budgetMs = kDefaultBudgetMs;
    // When above 0: the run ends level with homestead 7's money stack, this
    // far from the homestead's centre.
    double levelWithLootAt = 0;
    std::string says = {};  // in a timeline line, when not empty
  };
  constexpr const char* kLoot7 = "ride to loot of homestead 7 at 50m/s\n";
  const Case cases[] = {
      // The budget ends a wait, and a ride at a crawl, in the action under way.
      {"wait 1s\nwait 10s\n",
       "line 2 (wait 10s): the run has spent its budget of 2s500ms of simulated time", 2500},
      {"ride to 150m north of homestead 1 at 0.1m/s\n",
       "line 1 (ride to 150m north of homestead 1 at 0.1m/s): the run has spent its budget of 3s "
       "of simulated time",
       3000},
      {"wait 2s\n", "", 3000},
      {"wait for outcome up to 5s\n",
       "line 1 (wait for outcome up to 5s): outcome did not happen within 0:05.000"},
      {"wait 1s\nexpect no startup\n", "line 2 (expect no startup): startup has happened"},
      {afterWait, tooManyAfterWait},
      // An expect right after a wait for checks the occurrence the wait saw.
      {std::string(kNear) + "expect spawned\nexpect no spawned\n", ""},
      {afterWaitFor, tooManyAfterWaitFor},
      {std::string(kNear) + "shoot occupant 6\n",
       "line 3 (shoot occupant 6): homestead 1 has no occupant 6 (6 created)"},
      {std::string(kNear) + "shoot occupant 2\nshoot occupant 2\n",
       "line 4 (shoot occupant 2): occupant 2 is already dead"},
      {std::string(kNear) + "shoot all\nshoot all but one\n",
       "line 4 (shoot all but one): homestead 1 has 0 living occupants"},
      {std::string(kNear) + "take money\n",
       "line 3 (take money): the money stack is 61.3 m away; the player must be within 2.0 m"},
      {"take money of homestead 7\n",
       "line 1 (take money of homestead 7): homestead 7 has no money stack in the world"},
      // A rider stays on the ground: rides towards and away keep his height.
      {std::string(kLoot7) + "ride away from homestead 7 to 90m at 50m/s\n", "", kDefaultBudgetMs,
       90},
      {std::string(kLoot7) +
           "ride away from homestead 7 to 90m at 50m/s\nride towards homestead 7 to 40m at 50m/s\n",
       "", kDefaultBudgetMs, 40},
      // A reload while idle leaves the home blips behind.
      {"wait 1s\nreload\nwait 1s\nexpect no spawned\n", "", kDefaultBudgetMs, 0,
       "plug-in reloaded; warning: the unload left behind " + homeBlips},
      // Inside the approach talk: the new instance's occupants are a new set of six.
      {"ride towards homestead 1 to 30m at 10m/s\nwait for approach\nreload\nwait 2s\n"
       "shoot occupant 6\n",
       "line 5 (shoot occupant 6): homestead 1 has no occupant 6 (6 created)", kDefaultBudgetMs, 0,
       firstSet + "the money stack (object 107) and "},
      // Inside the confrontation talk: the new instance confronts the player again.
      {std::string(kInYard) +
           "wait for confrontation\nreload\nwait for attack up to 1min\nexpect confrontation\n"
           "expect confrontation\n",
       "", kDefaultBudgetMs, 0, firstSet},
      // In the flight: nobody follows the fleeing occupant any more, so he never gets away.
      {std::string(kInYard) +
           "wait for attack up to 1min\nshoot all but one\nwait for flight up to 1min\nreload\n"
           "wait 20s\nexpect no got-away\n",
       "", kDefaultBudgetMs, 0, firstSet},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ParseResult parsed = ParseScenario(c.text, "case.scn", "case");
    ASSERT_TRUE(std::holds_alternative<Scenario>(parsed));
    RunOptions options;
    options.pluginPath = HOMESTEAD_PLUGIN_PATH;
    options.budgetMs = c.budgetMs;
    std::vector<std::string> timeline;
    const RunReport report =
        RunScenario(std::get<Scenario>(parsed), options,
                    [&timeline](const std::string& line) { timeline.push_back(line); });
    EXPECT_EQ(report.passed, c.failure.empty());
    EXPECT_EQ(report.failure, c.failure);
    ASSERT_FALSE(timeline.empty());
    EXPECT_NE(timeline.back().find(c.failure.empty() ? ": passed;" : "FAILED at " + c.failure),
              std::string::npos)
        << timeline.back();
    if (c.levelWithLootAt > 0) {
      const HomesteadPlace* place = FindHomestead(7);
      ASSERT_NE(place, nullptr);
      ASSERT_FALSE(report.map.playerPath.empty());
      const Vec3 end = report.map.playerPath.back();
      EXPECT_NEAR(end.z, place->loot.z, 1e-3);
      EXPECT_NEAR(Distance(end, place->centre), c.levelWithLootAt, 0.01);
    }
    if (!c.says.empty()) {
      EXPECT_TRUE(std::any_of(
          timeline.begin(), timeline.end(),
          [&c](const std::string& line) { return line.find(c.says) != std::string::npos; }))
          << "no line says: " << c.says;
    }
  }
}

// --- The program and its files ------------------------------------------------------

class ProgramTest : public ::testing::Test {
 protected:
  struct Result {
    int status = -1;
    std::string out;
    std::string err;
  };

  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sim_run_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // `text` without the sanitizer's own notes ("==123==WARNING: ..."), which
  // only sanitized builds print.
  static std::string WithoutSanitizerNotes(const std::string& text) {
    std::string kept;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (!line.starts_with("==")) kept += line + "\n";
    }
    return kept;
  }

  // The program's own messages in `text`, without the timeline around them.
  static std::string Messages(const std::string& text) {
    std::string kept;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("homestead-sim: ")) kept += line + "\n";
    }
    return kept;
  }

  // Runs the program with `args`; standard output and error go to the
  // paths given, or are read into the result, and `before` is shell
  // commands before it.
  Result Run(const std::string& args, const std::string& stdoutTo = "",
             const std::string& stderrTo = "", const std::string& before = "") {
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    const std::string command = before + "'" + HOMESTEAD_SIM_PATH + "' --plugin '" +
                                HOMESTEAD_PLUGIN_PATH + "' " + args + " > '" +
                                (stdoutTo.empty() ? out.string() : stdoutTo) + "' 2> '" +
                                (stderrTo.empty() ? err.string() : stderrTo) + "'";
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = Read(out);
    result.err = WithoutSanitizerNotes(Read(err));
    fs::remove(out);
    fs::remove(err);
    return result;
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string In(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }

  fs::path dir_;
};

TEST_F(ProgramTest, TheSameSeedGivesTheSameBytesAndAnotherSeedDoesNot) {
  const Result first = Run("--seed 11 --trace " + In("a.jsonl") + " --map " + In("a.svg") +
                           " --replay " + In("a.html"));
  const Result second = Run("--seed 11 --trace " + In("b.jsonl") + " --map " + In("b.svg") +
                            " --replay " + In("b.html"));
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(first.out, second.out);
  EXPECT_EQ(Read(dir_ / "a.jsonl"), Read(dir_ / "b.jsonl"));
  EXPECT_EQ(Read(dir_ / "a.svg"), Read(dir_ / "b.svg"));
  EXPECT_EQ(Read(dir_ / "a.html"), Read(dir_ / "b.html"));
  EXPECT_GT(Read(dir_ / "a.jsonl").size(), 0u);

  const Result other = Run("--seed 12");
  ASSERT_EQ(other.status, 0) << other.err;
  EXPECT_NE(first.out, other.out);
}

TEST_F(ProgramTest, InputErrorsAreExitStatusTwoAndWriteNothing) {
  Write(dir_ / "bad.scn", "clock 14:00\nride towards homestead 1 to 20m at fast\n");
  Write(dir_ / "empty.scn", "# nothing to play\n");
  fs::create_directory(dir_ / "folder.scn");
  struct Case {
    const char* file;
    std::string err;  // after the path
  };
  const Case cases[] = {
      {"bad.scn", ":2:36: error: not a number near 'fast'; expected a speed such as 4m/s\n"},
      {"empty.scn",
       ":2:1: error: the scenario has no actions; expected at least one action, such as "
       "'wait 10s'\n"},
      {"folder.scn", "': Is a directory\n"},
      {"missing.scn", "': No such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = (dir_ / c.file).string();
    const Result result =
        Run("--file " + In(c.file) + " --map " + In("map.svg") + " --trace " + In("t.jsonl"));
    EXPECT_EQ(result.status, 2);
    const bool unreadable = c.err.starts_with("'");
    EXPECT_EQ(result.err,
              (unreadable ? "homestead-sim: cannot read scenario file '" : "") + path + c.err);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(Files(), (std::vector<std::string>{"bad.scn", "empty.scn", "folder.scn"}));
  }
}

TEST_F(ProgramTest, AnOutputThatIsTheScenarioOrTheOtherOutputIsAnInputError) {
  Write(dir_ / "s.scn", "wait 1s\n");
  fs::create_symlink("s.scn", dir_ / "link.scn");
  fs::create_directory(dir_ / "sub");
  const std::string d = dir_.string();
  struct Case {
    std::string args;
    std::string err;  // the whole message
  };
  const Case cases[] = {
      {"--file " + d + "/s.scn --trace " + d + "/./s.scn", "homestead-sim: --trace '" + d +
                                                               "/./s.scn' is the scenario file '" +
                                                               d + "/s.scn' (try --help)\n"},
      {"--file " + d + "/link.scn --trace " + d + "/sub/../s.scn",
       "homestead-sim: --trace '" + d + "/sub/../s.scn' is the scenario file '" + d +
           "/link.scn' (try --help)\n"},
      {"--file " + d + "/s.scn --trace " + d + "/link.scn",
       "homestead-sim: --trace '" + d + "/link.scn' is the scenario file '" + d +
           "/s.scn' (try --help)\n"},
      // Neither exists yet.
      {"--file " + d + "/s.scn --map " + d + "/./a.svg --trace " + d + "/a.svg",
       "homestead-sim: --trace '" + d + "/a.svg' and --map '" + d +
           "/./a.svg' name the same file (try --help)\n"},
      {"--map " + d + "/sub/../b.svg --trace " + d + "/b.svg",
       "homestead-sim: --trace '" + d + "/b.svg' and --map '" + d +
           "/sub/../b.svg' name the same file (try --help)\n"},
      {"--replay " + d + "/./c.html --trace " + d + "/c.html",
       "homestead-sim: --trace '" + d + "/c.html' and --replay '" + d +
           "/./c.html' name the same file (try --help)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Result result = Run(c.args);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(Read(dir_ / "s.scn"), "wait 1s\n");
    EXPECT_EQ(Files(), (std::vector<std::string>{"link.scn", "s.scn", "sub"}));
  }
}

TEST_F(ProgramTest, AnInterruptedRunRemovesItsTemporaryFilesAndSaysSo) {
  Write(dir_ / "long.scn", "wait 1min\n");
  const fs::path map = dir_ / "m.svg";
  const fs::path err = dir_ / "err.txt";
  const std::string file = (dir_ / "long.scn").string();
  const std::string mapPath = map.string();
  // The trace goes to standard output, a pipe that the test reads from.
  const char* const argv[] = {HOMESTEAD_SIM_PATH, "--plugin", HOMESTEAD_PLUGIN_PATH,
                              "--realtime",       "--file",   file.c_str(),
                              "--trace",          "-",        "--map",
                              mapPath.c_str(),    nullptr};
  struct Case {
    int number;
    const char* name;
    const char* says;  // on standard error, after the timeline; a reader that goes away is no error
  };
  const Case cases[] = {
      {SIGINT, "SIGINT", "homestead-sim: interrupted (SIGINT)\n"},
      {SIGTERM, "SIGTERM", "homestead-sim: interrupted (SIGTERM)\n"},
      {SIGHUP, "SIGHUP", "homestead-sim: interrupted (SIGHUP)\n"},
      {SIGPIPE, "SIGPIPE, its reader gone", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write(map, "old map");
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    // The signals as by default in the child, even if this test runs where
    // one of them is ignored.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const Case& each : cases) sigaddset(&defaults, each.number);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    posix_spawn_file_actions_addclose(&actions, pipe[1]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = -1;
    ASSERT_EQ(
        posix_spawn(&child, argv[0], &actions, &attributes, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipe[1]);
    // Interrupted once the map's temporary file is there, while the minute
    // plays.
    auto temporaries = [this] {
      std::vector<std::string> found;
      for (const std::string& name : Files()) {
        if (name.find(".tmp") != std::string::npos) found.push_back(name);
      }
      return found;
    };
    for (int tries = 0; tries < 300 && temporaries().empty(); ++tries) ::usleep(20000);
    EXPECT_EQ(temporaries().size(), 1u);
    if (c.number == SIGPIPE) {
      ::close(pipe[0]);
    } else {
      ::kill(child, c.number);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (c.number != SIGPIPE) ::close(pipe[0]);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 128 + c.number);
    EXPECT_EQ(Messages(Read(err)), c.says);
    EXPECT_EQ(temporaries(), std::vector<std::string>{});
    EXPECT_EQ(Read(map), "old map");
  }
}

TEST_F(ProgramTest, AFailedRunStillWritesItsOutputsComplete) {
  Write(dir_ / "fails.scn", "ride towards homestead 1 to 60m at 8m/s\nexpect outcome\n");
  Write(dir_ / "map.svg", "old map");
  Write(dir_ / "trace.jsonl", "old trace");
  Write(dir_ / "replay.html", "old page");
  const Result result = Run("--file " + In("fails.scn") + " --map " + In("map.svg") + " --trace " +
                            In("trace.jsonl") + " --replay " + In("replay.html"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("FAILED at line 2 (expect outcome): outcome has not happened"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.err,
            "homestead-sim: the run failed at line 2 (expect outcome): outcome has not happened\n");
  tinyxml2::XMLDocument map;
  EXPECT_EQ(map.LoadFile((dir_ / "map.svg").c_str()), tinyxml2::XML_SUCCESS) << map.ErrorStr();
  // The header, then every host call up to the failure, the last one whole.
  const std::string trace = Read(dir_ / "trace.jsonl");
  EXPECT_TRUE(trace.starts_with("{\"trace\":\"homestead-sim\",")) << trace.substr(0, 80);
  EXPECT_NE(trace.find("}\n{\"frame\":1,"), std::string::npos) << trace.substr(0, 400);
  EXPECT_TRUE(trace.ends_with("}\n"));
  // The page tells the verdict and the failing action.
  const std::string page = Read(dir_ / "replay.html");
  EXPECT_TRUE(page.starts_with("<!DOCTYPE html>")) << page.substr(0, 80);
  EXPECT_TRUE(page.ends_with("</html>\n"));
  EXPECT_NE(page.find(R"("passed":false,"failure":"line 2 (expect outcome): outcome has not )"
                      R"(happened")"),
            std::string::npos);
  EXPECT_EQ(Files(),
            (std::vector<std::string>{"fails.scn", "map.svg", "replay.html", "trace.jsonl"}));
}

TEST_F(ProgramTest, TraceOnStandardOutputMovesTheTimelineToStandardError) {
  const Result toFile = Run("--seed 3 --trace " + In("t.jsonl"));
  ASSERT_EQ(toFile.status, 0) << toFile.err;
  for (const char* stdoutPath : {"-", "/dev/stdout"}) {
    SCOPED_TRACE(stdoutPath);
    const Result piped = Run(std::string("--seed 3 --trace ") + stdoutPath);
    EXPECT_EQ(piped.status, 0);
    EXPECT_TRUE(piped.out == Read(dir_ / "t.jsonl")) << "the trace differs";
    EXPECT_EQ(piped.err, toFile.out);
  }
}

TEST_F(ProgramTest, OutputLostOnAStandardStreamFailsTheRunAndSaysWhat) {
  struct Case {
    std::string args;
    bool errorFull;  // standard error is the full device, else standard output
    std::string err;
  };
  const std::string full = ": No space left on device\n";
  const Case cases[] = {
      {"", false, "homestead-sim: cannot write the timeline" + full},
      {"--quiet", false, "homestead-sim: cannot write the timeline" + full},
      {"--trace -", false, "homestead-sim: cannot write '-'" + full},
      // The timeline on standard error, where no message can tell of it.
      {"--trace -", true, ""},
      {"--help", false, "homestead-sim: cannot write the help text" + full},
      {"--version", false, "homestead-sim: cannot write the version" + full},
      {"--list", false, "homestead-sim: cannot write the list of scenarios" + full},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args + (c.errorFull ? " 2>" : " >") + "/dev/full");
    const Result result =
        Run(c.args, c.errorFull ? "" : "/dev/full", c.errorFull ? "/dev/full" : "");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(Messages(result.err), c.err);
  }
}

TEST_F(ProgramTest, AnEscapingExceptionIsReportedInOneLineAndLeavesNoTemporaryFile) {
#if defined(HOMESTEAD_SANITIZE)
  GTEST_SKIP() << "the sanitizers need more address space than this test allows";
#endif
  // A thread's stack as large as the whole address space allowed: starting
  // the plug-in watchdog's thread throws std::system_error, once both output
  // files are open.
  const Result result = Run("--trace " + In("t.jsonl") + " --map " + In("m.svg"), "", "",
                            "ulimit -s 4000000 && ulimit -v 1000000 && exec ");
  EXPECT_EQ(result.status, 4);
  EXPECT_TRUE(result.err.starts_with("homestead-sim: internal error: ")) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_EQ(Files(), std::vector<std::string>{});
}

TEST_F(ProgramTest, ErrorsAreInColourOnATerminalUnlessNoColorIsSet) {
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(::grantpt(terminal), 0);
  ASSERT_EQ(::unlockpt(terminal), 0);
  const std::string side = ::ptsname(terminal);
  const int keepOpen = ::open(side.c_str(), O_RDWR | O_NOCTTY);  // so that nothing hangs up
  ::fcntl(terminal, F_SETFL, O_NONBLOCK);
  for (const char* env : {"env -u NO_COLOR", "NO_COLOR=", "NO_COLOR=1"}) {
    SCOPED_TRACE(env);
    const std::string command = std::string(env) + " '" + HOMESTEAD_SIM_PATH + "' --file " +
                                In("missing.scn") + " 2> " + side;
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2);
    std::string shown;
    char buffer[512];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;) {
      shown.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_NE(shown.find("cannot read scenario file"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("\x1b[1;31m") != std::string::npos,
              std::strcmp(env, "env -u NO_COLOR") == 0)
        << shown;
  }
  ::close(keepOpen);
  ::close(terminal);
}

TEST_F(ProgramTest, MapHoldsOneSpawnMarkerPerOccupantTheHostCreated) {
  const Result result = Run("--quiet --trace " + In("t.jsonl") + " --map " + In("m.svg"));
  ASSERT_EQ(result.status, 0) << result.err;

  // Occupants created, counted from the trace: CreatePed calls that made a ped.
  std::size_t created = 0;
  std::istringstream trace(Read(dir_ / "t.jsonl"));
  for (std::string line; std::getline(trace, line);) {
    if (line.find("\"op\":\"CreatePed\"") != std::string::npos &&
        line.find("\"result\":0}") == std::string::npos) {
      ++created;
    }
  }
  ASSERT_GT(created, 0u);

  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.LoadFile((dir_ / "m.svg").c_str()), tinyxml2::XML_SUCCESS) << doc.ErrorStr();
  std::size_t markers = 0;
  std::vector<const tinyxml2::XMLElement*> stack = {doc.RootElement()};
  while (!stack.empty()) {
    const tinyxml2::XMLElement* e = stack.back();
    stack.pop_back();
    const char* cls = e->Attribute("class");
    if (cls != nullptr && std::strcmp(cls, "occupant-spawn") == 0) ++markers;
    for (const auto* c = e->FirstChildElement(); c != nullptr; c = c->NextSiblingElement()) {
      stack.push_back(c);
    }
  }
  EXPECT_EQ(markers, created);
}

}  // namespace
}  // namespace sim
