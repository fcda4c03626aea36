// The simulator as a user runs it: whole processes of homestead-sim, timed
// from spawn to exit. Prints how much faster than real time the default
// robbery plays, what a trace adds to it, and what a run that plays nothing
// costs beside a run that only starts the program (--version).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Runs the simulator with `args`, its standard output and error to
// /dev/null; the wall time in milliseconds, or a negative value when it
// could not run or did not exit with status 0.
double RunSimulator(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string program = HOMESTEAD_SIM_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1.0;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1.0;
  }
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::milli>(end - start).count();
}

// The simulated seconds of the default robbery, read from its summary line
// ("... 2:20.783 simulated in 8448 frames").
double SimulatedSecondsOfRobbery() {
  const std::string command = std::string(HOMESTEAD_SIM_PATH) + " --quiet";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return 0.0;
  char line[1024] = {};
  const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  if (!read) return 0.0;
  const std::string summary = line;
  const std::size_t end = summary.find(" simulated");
  const std::size_t start = summary.rfind(' ', end - 1);
  if (end == std::string::npos || start == std::string::npos) return 0.0;
  const std::string duration = summary.substr(start + 1, end - start - 1);  // M:SS.mmm
  const std::size_t colon = duration.find(':');
  if (colon == std::string::npos) return 0.0;
  return std::atof(duration.substr(0, colon).c_str()) * 60.0 +
         std::atof(duration.substr(colon + 1).c_str());
}

void BM_RobberyWholeProcess(benchmark::State& state) {
  const double simulated = SimulatedSecondsOfRobbery();
  if (simulated <= 0.0) {
    state.SkipWithError("cannot read the robbery's simulated time");
    return;
  }
  double totalMs = 0.0;
  for (auto _ : state) {
    const double ms = RunSimulator({});
    if (ms < 0.0) {
      state.SkipWithError("the simulator failed");
      return;
    }
    totalMs += ms;
  }
  const double perRunMs = totalMs / static_cast<double>(state.iterations());
  state.counters["ms_per_run"] = perRunMs;
  state.counters["times_real_time"] = simulated * 1000.0 / perRunMs;
}
BENCHMARK(BM_RobberyWholeProcess)->Unit(benchmark::kMillisecond);

// Runs `first` and `second` alternately, so that both see the same load,
// and prints each one's wall time per run and the ratio second / first.
void ComparePair(benchmark::State& state, const char* firstName,
                 const std::vector<std::string>& first, const char* secondName,
                 const std::vector<std::string>& second) {
  double firstMs = 0.0;
  double secondMs = 0.0;
  for (auto _ : state) {
    const double a = RunSimulator(first);
    const double b = RunSimulator(second);
    if (a < 0.0 || b < 0.0) {
      state.SkipWithError("the simulator failed");
      return;
    }
    firstMs += a;
    secondMs += b;
  }
  const auto runs = static_cast<double>(state.iterations());
  state.counters[firstName] = firstMs / runs;
  state.counters[secondName] = secondMs / runs;
  state.counters["ratio"] = firstMs > 0.0 ? secondMs / firstMs : 0.0;
}

// A file in the temporary folder, removed when this goes out of scope.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& name)
      : path_(fs::temp_directory_path() /
              ("process_bench_" + std::to_string(getpid()) + "_" + name)) {}
  ~TemporaryFile() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

void BM_TracedRobberyAgainstUntraced(benchmark::State& state) {
  const TemporaryFile trace("trace.jsonl");
  ComparePair(state, "untraced_ms", {}, "traced_ms", {"--trace", trace.path()});
}
BENCHMARK(BM_TracedRobberyAgainstUntraced)->Unit(benchmark::kMillisecond);

// A run that plays nothing (one wait of no time) against a run that only
// starts the program, loads its libraries and prints its version.
void BM_StartUp(benchmark::State& state) {
  const TemporaryFile scenario("nothing.scn");
  std::ofstream(scenario.path()) << "name nothing\nwait 0 s\n";
  ComparePair(state, "version_ms", {"--version"}, "nothing_ms",
              {"--quiet", "--file", scenario.path()});
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
