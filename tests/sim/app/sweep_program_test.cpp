// Sweeps through the homestead-sim program with the real plug-in, checked
// against single runs of the same seeds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sim/sweep/branches.h"
#include "spawn_child.h"

namespace sim::sweep {
namespace {

namespace fs = std::filesystem;

// Passes on some seeds and fails on others: the surrender talk before the
// flight takes 15 to 19 s, depending on the cases and lines drawn.
constexpr const char* kFlightWithin17s = R"(name flight-within-17s
clock 14:00
start at 150m south of homestead 1
ride towards homestead 1 to 18m at 6m/s
wait for attack up to 3min
shoot all but one
wait for surrender up to 30s
wait for flight up to 17s
)";
constexpr uint32_t kLastSeed = 16;

class SweepProgramTest : public ::testing::Test {
 protected:
  struct Result {
    int status = -1;
    std::string out;
    std::string err;
  };

  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sweep_program_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "flight.scn") << kFlightWithin17s;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string In(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }

  Result Run(const std::string& args) const {
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    const std::string command = std::string("'") + HOMESTEAD_SIM_PATH + "' --plugin '" +
                                HOMESTEAD_PLUGIN_PATH + "' " + args + " > '" + out.string() +
                                "' 2> '" + err.string() + "'";
    const int raw = std::system(command.c_str());
    Result result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Read(out), Read(err)};
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

  // Names in the folder and below it that are temporary files.
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      if (entry.path().filename().string().find(".tmp") != std::string::npos) {
        found.push_back(entry.path().string());
      }
    }
    return found;
  }

  fs::path dir_;
};

// What the single runs' timelines say: each seed's failure, and in how many
// seeds each case and each line (with its variation) of each stage came up.
struct FromTimelines {
  std::map<uint32_t, std::string> failures;
  std::map<std::pair<std::size_t, int>, int> cases;
  std::map<std::tuple<std::size_t, std::string, int>, int> lines;

  void Add(uint32_t seed, const std::string& timeline) {
    std::set<std::pair<std::size_t, int>> drawn;
    std::set<std::tuple<std::size_t, std::string, int>> said;
    std::optional<std::size_t> stage;
    std::istringstream in(timeline);
    for (std::string line; std::getline(in, line);) {
      int pick = 0;
      int top = 0;
      const std::size_t draw = line.find("conversation drawn: case ");
      if (draw != std::string::npos &&
          std::sscanf(line.c_str() + draw, "conversation drawn: case %d of cases 0-%d", &pick,
                      &top) == 2) {
        stage.reset();
        for (std::size_t s = 0; s < Stages().size(); ++s) {
          if (Stages()[s].cases.size() == static_cast<std::size_t>(top + 1)) stage = s;
        }
        if (stage) drawn.insert({*stage, pick});
      }
      const std::size_t says = line.find(" says ");
      const std::size_t variation = line.find(", variation ");
      if (stage && says != std::string::npos && variation != std::string::npos) {
        said.insert({*stage, line.substr(says + 6, variation - says - 6),
                     std::atoi(line.c_str() + variation + 12)});
      }
      const std::size_t failed = line.find(": FAILED at ");
      if (line.starts_with("summary: ") && failed != std::string::npos) {
        const std::size_t end = line.rfind("; ", line.find(" actions, "));
        failures[seed] = line.substr(failed + 12, end - failed - 12);
      }
    }
    for (const auto& key : drawn) ++cases[key];
    for (const auto& key : said) ++lines[key];
  }
};

// The number after `key` in the part of `json` that begins at `from`.
int NumberAfter(const std::string& json, const std::string& key, std::size_t from) {
  const std::size_t at = json.find(key, from);
  return at == std::string::npos ? -1 : std::atoi(json.c_str() + at + key.size());
}

TEST_F(SweepProgramTest, TheSweepTellsWhatTheSingleRunsOfItsSeedsTell) {
  FromTimelines single;
  for (uint32_t seed = 1; seed <= kLastSeed; ++seed) {
    const Result run = Run("--file " + In("flight.scn") + " --seed " + std::to_string(seed));
    single.Add(seed, run.out);
    EXPECT_EQ(run.status, single.failures.count(seed) ? 1 : 0) << "seed " << seed << run.err;
  }
  ASSERT_GT(single.failures.size(), 0u) << "the scenario should fail on some seeds";
  ASSERT_LT(single.failures.size(), kLastSeed) << "and pass on others";

  const std::string range = " --seeds 1-" + std::to_string(kLastSeed);
  const Result two = Run("--file " + In("flight.scn") + range + " -j 2 --keep-failures " +
                         In("kept") + " --sweep-report " + In("two.json"));
  const Result one =
      Run("--file " + In("flight.scn") + range + " --jobs=1 --sweep-report " + In("one.json"));
  EXPECT_EQ(two.status, 1) << two.err;
  EXPECT_EQ(one.status, 1) << one.err;
  EXPECT_EQ(one.out, two.out);
  const std::string json = Read(dir_ / "two.json");
  EXPECT_EQ(Read(dir_ / "one.json"), json);

  // The verdict, seed by seed, with the failure as the single run tells it.
  const std::string verdict = ": " + std::to_string(kLastSeed - single.failures.size()) +
                              " passed, " + std::to_string(single.failures.size()) + " FAILED\n";
  EXPECT_NE(two.out.find(verdict), std::string::npos) << two.out;
  for (uint32_t seed = 1; seed <= kLastSeed; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::string failed = "  seed " + std::to_string(seed) + " failed at ";
    const auto failure = single.failures.find(seed);
    if (failure == single.failures.end()) {
      EXPECT_EQ(two.out.find(failed), std::string::npos);
      EXPECT_FALSE(fs::exists(dir_ / "kept" / ("seed-" + std::to_string(seed) + ".txt")));
      continue;
    }
    EXPECT_NE(two.out.find(failed + failure->second + "\n"), std::string::npos) << two.out;
    // The evidence kept is the single run's, byte for byte.
    const std::string name = "seed-" + std::to_string(seed);
    const Result alone = Run("--file " + In("flight.scn") + " --seed " + std::to_string(seed) +
                             " --trace " + In(name + ".jsonl") + " --map " + In(name + ".svg"));
    EXPECT_EQ(Read(dir_ / "kept" / (name + ".txt")), alone.out);
    for (const char* extension : {".jsonl", ".svg"}) {
      EXPECT_EQ(Read(dir_ / "kept" / (name + extension)), Read(dir_ / (name + extension)))
          << extension;
    }
  }

  // The branches, as the timelines count them.
  for (std::size_t stage = 0; stage < Stages().size(); ++stage) {
    SCOPED_TRACE(Stages()[stage].name);
    const std::size_t at = json.find("{\"name\":\"" + std::string(Stages()[stage].name) + "\"");
    ASSERT_NE(at, std::string::npos);
    std::istringstream cases(json.substr(json.find("\"cases\":[", at) + 9));
    for (int pick = 0; pick < static_cast<int>(Stages()[stage].cases.size()); ++pick) {
      int count = -1;
      cases >> count;
      cases.ignore(1);
      EXPECT_EQ(count, (single.cases[{stage, pick}])) << "case " << pick;
    }
    for (const LineVariation& line : LinesOf(stage)) {
      const std::string key = "{\"line\":\"" + std::string(line.line) +
                              "\",\"variation\":" + std::to_string(line.variation) + ",\"seeds\":";
      const int said = single.lines[{stage, std::string(line.line), line.variation}];
      EXPECT_EQ(NumberAfter(json, key, at), said) << line.line << " " << line.variation;
    }
  }
}

TEST_F(SweepProgramTest, UsageErrorsAreToldAndEndWithStatus2) {
  const std::string file = " --file " + In("flight.scn");
  const std::pair<std::string, std::string> cases[] = {
      {"--seeds 5-3", "the first seed 5 is above the last 3"},
      {"--seeds 1-x", "invalid seed range '1-x'"},
      {"--seeds 1-3 --seed 2", "--seeds and --seed exclude each other"},
      {"--seeds 1-3 --realtime", "--seeds and --realtime exclude each other"},
      {"--seeds 1-3 --trace t.jsonl", "--seeds and --trace exclude each other"},
      {"--seeds 1-3 --map m.svg", "--seeds and --map exclude each other"},
      {"--seeds 1-3 --replay r.html", "--seeds and --replay exclude each other"},
      {"--seeds 1-3 --watch", "--seeds and --watch exclude each other"},
      {"--seeds 1-3 --baseline b.txt", "--seeds and --baseline exclude each other"},
      {"--seeds 1-3 -j 0", "invalid number of jobs '0'"},
      {"-j 2", "-j needs --seeds"},
      {"--keep-failures kept", "--keep-failures needs --seeds"},
      {"--sweep-report r.json", "--sweep-report needs --seeds"},
  };
  for (const auto& [args, says] : cases) {
    SCOPED_TRACE(args);
    const Result result = Run(args + file);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(SweepProgramTest, AnInterruptedSweepSummarisesTheSeedsPlayedAndLeavesNoTemporaryFile) {
  const std::string file = (dir_ / "flight.scn").string();
  const std::string kept = (dir_ / "kept").string();
  const std::string report = (dir_ / "report.json").string();
  const std::string out = (dir_ / "out.txt").string();
  const char* const argv[] = {HOMESTEAD_SIM_PATH, "--plugin",        HOMESTEAD_PLUGIN_PATH,
                              "--file",           file.c_str(),      "--seeds",
                              "1-100000",         "--keep-failures", kept.c_str(),
                              "--sweep-report",   report.c_str(),    nullptr};
  const pid_t child = SpawnWithOutputTo(argv, out);
  ASSERT_GT(child, 0) << "cannot start " << argv[0];
  // Stopped once a few failures have been kept, while more are being written.
  auto keptFiles = [&kept] {
    std::error_code ec;
    std::size_t n = 0;
    for (fs::directory_iterator it(kept, ec), end; !ec && it != end; it.increment(ec)) ++n;
    return n;
  };
  for (int tries = 0; tries < 1500 && keptFiles() < 6; ++tries) ::usleep(20000);
  EXPECT_GE(keptFiles(), 6u);
  ::kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_NE(Read(out).find(" of 100000 seeds played)\n"), std::string::npos) << Read(out);
  EXPECT_EQ(Temporaries(), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(report));
}

}  // namespace
}  // namespace sim::sweep
