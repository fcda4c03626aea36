// Fuzz target: the simulator's scenario language. The input is a scenario
// text; it is parsed, and when it parses and cannot take long it is played
// with the real plug-in (HOMESTEAD_PLUGIN_PATH) and its map is drawn.
//
// A run is bounded before it starts: the simulated time each action can take
// at most (a wait, a `wait for` limit, a ride's length over its speed) is
// summed, and only the actions that fit within kBudgetSeconds are played.
// That keeps every input short without touching what the runner does with
// the actions it gets.
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

#include "sim/places.h"
#include "sim/runner.h"
#include "sim/scenario.h"
#include "sim/svg_map.h"

namespace {

struct Totals {
  uint64_t inputs = 0;
  uint64_t parsed = 0;
  uint64_t played = 0;
  uint64_t passed = 0;
} gTotals;

// Simulated time one input may play: every built-in scenario fits.
constexpr double kBudgetSeconds = 20 * 60;

[[noreturn]] void Fault(const std::string& what) {
  std::fprintf(stderr, "scenario fuzz: %s\n", what.c_str());
  std::abort();
}

// The most simulated time `action` can take from `player`, in seconds, and
// where it leaves him. Worked in doubles, so that no parsed value overflows
// here; a NaN or infinity does not fit any budget.
double MostSeconds(const sim::Action& action, sim::Vec3& player) {
  using Kind = sim::Action::Kind;
  constexpr double kFrame = 1.0 / sim::kFramesPerSecond;  // a timed action's own frame
  switch (action.kind) {
    case Kind::kWait:
    case Kind::kWaitFor:
      return static_cast<double>(action.durationMs) / 1000.0 + kFrame;
    case Kind::kRideTo: {
      const sim::Vec3 target = action.target.Resolve();
      const double seconds = sim::Distance(player, target) / action.speed;
      player = target;
      return seconds + kFrame;
    }
    case Kind::kRideTowards:
    case Kind::kRideAway: {
      const sim::HomesteadPlace* place = sim::FindHomestead(action.homestead);
      if (place == nullptr) return kFrame;
      // As the runner rides: along the line through the centre and the
      // player (south from the centre itself), unless he is there already.
      const double from = sim::Distance(player, place->centre);
      const bool towards = action.kind == Kind::kRideTowards;
      if ((towards && from <= action.distance) || (!towards && from >= action.distance)) {
        return kFrame;
      }
      sim::Vec3 direction{0.0, -1.0, 0.0};
      if (from > 1e-6) {
        direction = {(player.x - place->centre.x) / from, (player.y - place->centre.y) / from,
                     (player.z - place->centre.z) / from};
      }
      const sim::Vec3 target{place->centre.x + direction.x * action.distance,
                             place->centre.y + direction.y * action.distance,
                             place->centre.z + direction.z * action.distance};
      const double path = sim::Distance(player, target);
      player = target;
      return path / action.speed + kFrame;
    }
    default:
      return 0.0;
  }
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
  sim::Scenario& scenario = std::get<sim::Scenario>(parsed);

  sim::Vec3 player = scenario.start.Resolve();
  double seconds = 0;
  std::size_t fitting = 0;
  for (; fitting < scenario.actions.size(); ++fitting) {
    seconds += MostSeconds(scenario.actions[fitting], player);
    if (!(seconds <= kBudgetSeconds)) break;
  }
  scenario.actions.resize(fitting);

  sim::RunOptions options;
  options.pluginPath = HOMESTEAD_PLUGIN_PATH;
  options.seed = scenario.seed;
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
