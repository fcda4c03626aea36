// Fuzz target: the simulator's scenario language. The input is a scenario
// text; it is parsed, and when it parses it is played with the real plug-in
// (HOMESTEAD_PLUGIN_PATH) and its map is drawn. Every run has the runner's
// budget of simulated time cut to kBudgetMs, so that no input runs long: a
// run that spends it ends as failed, like any other.
//
// At exit the target prints how many inputs parsed, were played and passed.
//
// Checked: no crash, hang or sanitizer report; a parse error names a line and
// column from 1; a run loads the plug-in, and passes exactly when it names no
// failure.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "sim/report/map/svg_map.h"
#include "sim/run/runner.h"
#include "sim/scenario/scenario.h"

namespace {

struct Totals {
  uint64_t inputs = 0;
  uint64_t parsed = 0;
  uint64_t played = 0;
  uint64_t passed = 0;
} gTotals;

// Simulated time one input may play: every built-in scenario fits.
constexpr int64_t kBudgetMs = 20 * 60 * 1000;

[[noreturn]] void Fault(const std::string& what) {
  std::fprintf(stderr, "scenario fuzz: %s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::atexit([] {
    std::printf("fuzz_scenario: %llu inputs, %llu parsed, %llu played, %llu passed\n",
                static_cast<unsigned long long>(gTotals.inputs),
                static_cast<unsigned long long>(gTotals.parsed),
                static_cast<unsigned long long>(gTotals.played),
                static_cast<unsigned long long>(gTotals.passed));
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ++gTotals.inputs;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  sim::ParseResult parsed = sim::ParseScenario(text, "fuzz.scn", "fuzz");
  if (const auto* error = std::get_if<sim::ParseError>(&parsed)) {
    if (error->line < 1 || error->column < 1) {
      Fault("a parse error without a place: " + error->Format());
    }
    return 0;
  }
  ++gTotals.parsed;
  const sim::Scenario& scenario = std::get<sim::Scenario>(parsed);

  sim::RunOptions options;
  options.pluginPath = HOMESTEAD_PLUGIN_PATH;
  options.seed = scenario.seed;
  options.budgetMs = kBudgetMs;
  std::size_t lines = 0;
  const sim::RunReport report =
      sim::RunScenario(scenario, options, [&lines](const std::string&) { ++lines; });
  ++gTotals.played;
  if (report.passed) ++gTotals.passed;
  if (report.loadFailed) Fault("cannot load the plug-in: " + report.failure);
  if (report.passed != report.failure.empty()) Fault("passed, yet a failure: " + report.failure);
  if (lines == 0 || report.summary.empty()) Fault("a run without a timeline");
  if (sim::RenderMap(report.map).empty()) Fault("an empty map");
  return 0;
}
