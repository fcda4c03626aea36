// Cost of one encounter tick in steady state, with a minimal in-process host:
// nobody near, and an encounter in the band with nothing new to do. Reports
// host calls and heap allocations per tick next to the time.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "encounter/tick.h"
#include "host/host_api.h"
#include "registry/catalogue.h"
#include "registry/registry.h"

using namespace homestead;

namespace {

std::size_t gAllocations = 0;

// The smallest host that keeps a tick busy: a player position, every ped
// dead, every entity existing, no speech; other calls answer 0.
struct BenchHost {
  uint64_t hash = 0;
  uint64_t args[16] = {};
  int argCount = 0;
  uint64_t result[3] = {};
  float playerX = 0, playerY = 0, playerZ = 0;
  std::size_t calls = 0;
} gHost;

float ArgFloat(int i) {
  return std::bit_cast<float>(static_cast<uint32_t>(gHost.args[i]));
}

void Answer() {
  ++gHost.calls;
  gHost.result[0] = gHost.result[1] = gHost.result[2] = 0;
  switch (gHost.hash) {
    case host::op::kGetEntityCoords:
      gHost.result[0] = std::bit_cast<uint32_t>(gHost.playerX);
      gHost.result[1] = std::bit_cast<uint32_t>(gHost.playerY);
      gHost.result[2] = std::bit_cast<uint32_t>(gHost.playerZ);
      break;
    case host::op::kDistanceBetweenCoords: {
      const float dx = ArgFloat(0) - ArgFloat(3), dy = ArgFloat(1) - ArgFloat(4),
                  dz = ArgFloat(2) - ArgFloat(5);
      gHost.result[0] = std::bit_cast<uint32_t>(std::sqrt(dx * dx + dy * dy + dz * dz));
      break;
    }
    case host::op::kPlayerPedId:
      gHost.result[0] = 1;
      break;
    case host::op::kIsEntityDead:
    case host::op::kDoesEntityExist:
    case host::op::kHasModelLoaded:
      gHost.result[0] = 1;
      break;
    case host::op::kCreatePed:
    case host::op::kCreateObject:
      gHost.result[0] = 100 + gHost.calls % 1000;
      break;
    default:
      break;
  }
}

}  // namespace

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

extern "C" {
void scriptRegister(void*, void (*)(void)) {}
void scriptUnregister(void*) {}
void scriptWait(uint32_t) {}
void nativeInit(uint64_t hash) {
  gHost.hash = hash;
  gHost.argCount = 0;
}
void nativePush64(uint64_t value) {
  if (gHost.argCount < 16) gHost.args[gHost.argCount++] = value;
}
uint64_t* nativeCall(void) {
  Answer();
  return gHost.result;
}
}

namespace {

void RunTicks(benchmark::State& state) {
  const std::size_t callsBefore = gHost.calls;
  const std::size_t allocationsBefore = gAllocations;
  for (auto _ : state) TickEncounters();
  const auto ticks = static_cast<double>(state.iterations());
  state.counters["host_calls_per_tick"] = static_cast<double>(gHost.calls - callsBefore) / ticks;
  state.counters["allocations_per_tick"] =
      static_cast<double>(gAllocations - allocationsBefore) / ticks;
}

void BM_TickNobodyNear(benchmark::State& state) {
  Registry() = HomesteadRegistry();
  InitHomesteads();
  gHost.playerX = 0;
  gHost.playerY = 0;
  gHost.playerZ = 0;
  RunTicks(state);
}
BENCHMARK(BM_TickNobodyNear);

// Within 30 m of homestead 1 after the robbery: everyone dead, every stage done.
void BM_TickEncounterSettled(benchmark::State& state) {
  Registry() = HomesteadRegistry();
  InitHomesteads();
  Homestead& h = Registry().FindOrInsert(1);
  gHost.playerX = h.center.x + 30.0f;
  gHost.playerY = h.center.y;
  gHost.playerZ = h.center.z;
  TickEncounters();  // spawns; every ped then answers dead
  h.approachDone = h.confronted = h.outcomeDone = true;
  RunTicks(state);
}
BENCHMARK(BM_TickEncounterSettled);

}  // namespace

BENCHMARK_MAIN();
