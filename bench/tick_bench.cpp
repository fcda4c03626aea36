// Cost of one encounter tick in steady state, with a minimal in-process host:
// nobody near, and an encounter in the band with nothing new to do. Reports
// host calls and heap allocations per tick next to the time.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "encounter/tick.h"
#include "host/host_api.h"
#include "registry/catalogue.h"
#include "registry/registry.h"
#include "support/alloc_counter.h"
#include "support/stub_hook.h"

using namespace homestead;

namespace {

using support::StubCall;
using support::StubHook;

// The smallest host that keeps a tick busy: a player position, every ped
// dead, every entity existing, no speech; other calls answer 0.
struct BenchWorld {
  float playerX = 0, playerY = 0, playerZ = 0;
} gWorld;

void Answer(StubCall& call) {
  switch (call.hash) {
    case host::op::kGetEntityCoords:
      call.result[0] = std::bit_cast<uint32_t>(gWorld.playerX);
      call.result[1] = std::bit_cast<uint32_t>(gWorld.playerY);
      call.result[2] = std::bit_cast<uint32_t>(gWorld.playerZ);
      break;
    case host::op::kDistanceBetweenCoords: {
      const float dx = call.ArgFloat(0) - call.ArgFloat(3),
                  dy = call.ArgFloat(1) - call.ArgFloat(4),
                  dz = call.ArgFloat(2) - call.ArgFloat(5);
      call.result[0] = std::bit_cast<uint32_t>(std::sqrt(dx * dx + dy * dy + dz * dz));
      break;
    }
    case host::op::kPlayerPedId:
      call.result[0] = 1;
      break;
    case host::op::kIsEntityDead:
    case host::op::kDoesEntityExist:
    case host::op::kHasModelLoaded:
      call.result[0] = 1;
      break;
    case host::op::kCreatePed:
    case host::op::kCreateObject:
      call.result[0] = 100 + call.number % 1000;
      break;
    default:
      break;
  }
}

void RunTicks(benchmark::State& state) {
  StubHook::Get().answer = Answer;
  const std::size_t callsBefore = StubHook::Get().call.number;
  const std::size_t allocationsBefore = support::AllocationCount();
  for (auto _ : state) TickEncounters();
  const auto ticks = static_cast<double>(state.iterations());
  state.counters["host_calls_per_tick"] =
      static_cast<double>(StubHook::Get().call.number - callsBefore) / ticks;
  state.counters["allocations_per_tick"] =
      static_cast<double>(support::AllocationCount() - allocationsBefore) / ticks;
}

void BM_TickNobodyNear(benchmark::State& state) {
  Registry() = HomesteadRegistry();
  InitHomesteads();
  gWorld.playerX = 0;
  gWorld.playerY = 0;
  gWorld.playerZ = 0;
  RunTicks(state);
}
BENCHMARK(BM_TickNobodyNear);

// Within 30 m of homestead 1 after the robbery: everyone dead, every stage done.
void BM_TickEncounterSettled(benchmark::State& state) {
  Registry() = HomesteadRegistry();
  InitHomesteads();
  Homestead& h = Registry().FindOrInsert(1);
  gWorld.playerX = h.center.x + 30.0f;
  gWorld.playerY = h.center.y;
  gWorld.playerZ = h.center.z;
  TickEncounters();  // spawns; every ped then answers dead
  h.approachDone = h.confronted = h.outcomeDone = true;
  RunTicks(state);
}
BENCHMARK(BM_TickEncounterSettled);

}  // namespace

BENCHMARK_MAIN();
