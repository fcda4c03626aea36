// Cost of the substitute platform: one fibre switch there and back, and one
// whole frame of the real plug-in (script-hook round trips, host dispatch and
// world) with the player idle and with an encounter in the band; and that
// frame as a multiple of an empty script's frame, measured side by side.
#include <benchmark/benchmark.h>

#include <chrono>
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

// Wall time of `frames` frames of `session`, in nanoseconds.
double TimeFrames(platform::Session& session, int64_t frames) {
  const auto start = std::chrono::steady_clock::now();
  session.RunFrames(frames);
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(end - start).count();
}

// The real plug-in's frame and the empty script's, with the player
// `distance` metres south of homestead 1, alternated in short batches so
// that both see the same machine load. Prints both per frame and their ratio.
void RunRatioAt(benchmark::State& state, float distance) {
  auto plugin = platform::Session::Open(HOMESTEAD_PLUGIN_PATH);
  auto empty = platform::Session::Open(HOMESTEAD_EMPTY_SCRIPT_PATH);
  if (!plugin.session || !empty.session) {
    state.SkipWithError((plugin.error + empty.error).c_str());
    return;
  }
  const platform::Vec3 at{2626.33f, 1695.275f - distance, 115.693f};
  for (auto* opened : {&plugin, &empty}) {
    opened->session->world().SetPlayerPosition(at);
    opened->session->RunFrames(600);
  }
  constexpr int64_t kBatch = 64;
  double pluginNs = 0.0;
  double emptyNs = 0.0;
  for (auto _ : state) {
    pluginNs += TimeFrames(*plugin.session, kBatch);
    emptyNs += TimeFrames(*empty.session, kBatch);
  }
  const double frames = static_cast<double>(state.iterations() * kBatch);
  state.counters["plugin_ns_per_frame"] = pluginNs / frames;
  state.counters["empty_ns_per_frame"] = emptyNs / frames;
  state.counters["ratio"] = emptyNs > 0.0 ? pluginNs / emptyNs : 0.0;
  std::string problem = plugin.session->Close();
  problem += empty.session->Close();
  if (!problem.empty()) state.SkipWithError(problem.c_str());
}

void BM_FrameRatioIdle(benchmark::State& state) {
  RunRatioAt(state, 500.0f);
}
BENCHMARK(BM_FrameRatioIdle);

void BM_FrameRatioInBand(benchmark::State& state) {
  RunRatioAt(state, 50.0f);
}
BENCHMARK(BM_FrameRatioInBand);

}  // namespace

BENCHMARK_MAIN();
