// Cost of the substitute platform: one fibre switch there and back, and one
// whole frame of the real plug-in (script-hook round trips, host dispatch and
// world) with the player idle and with an encounter in the band.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "platform/fibre.h"
#include "platform/session.h"

namespace {

void BM_FibreSwitchRoundTrip(benchmark::State& state) {
  bool stop = false;
  auto fibre = platform::Fibre::Create([&stop] {
    while (!stop) platform::Fibre::Yield();
  });
  for (auto _ : state) fibre->Resume();
  stop = true;
  fibre->Resume();
}
BENCHMARK(BM_FibreSwitchRoundTrip);

// `distance` metres south of homestead 1's centre, standing still.
void RunFramesAt(benchmark::State& state, float distance) {
  auto opened = platform::Session::Open(HOMESTEAD_PLUGIN_PATH);
  if (!opened.session) {
    state.SkipWithError(opened.error.c_str());
    return;
  }
  platform::Session& session = *opened.session;
  session.world().SetPlayerPosition({2626.33f, 1695.275f - distance, 115.693f});
  session.RunFrames(600);  // start-up, spawning and any dialogue settle first
  for (auto _ : state) session.RunFrames(1);
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  const std::string problem = session.Close();
  if (!problem.empty()) state.SkipWithError(problem.c_str());
}

void BM_FrameIdle(benchmark::State& state) {
  RunFramesAt(state, 500.0f);
}
BENCHMARK(BM_FrameIdle);

void BM_FrameEncounterInBand(benchmark::State& state) {
  RunFramesAt(state, 70.0f);
}
BENCHMARK(BM_FrameEncounterInBand);

}  // namespace

BENCHMARK_MAIN();
