// A tick that has nothing new to do must not touch the heap: it runs every
// frame for as long as the plug-in is loaded. The allocation counter linked
// into this binary counts every global operator new.
#include <gtest/gtest.h>

#include <functional>

#include "encounter/scripted_world.h"
#include "encounter/tick.h"
#include "registry/catalogue.h"
#include "registry/registry.h"
#include "support/alloc_counter.h"

namespace homestead {
namespace {

// Heap allocations made by `body`, with the hook's log switched off.
std::size_t AllocationsDuring(const std::function<void()>& body) {
  fake::FakeHook::Get().recordEvents = false;
  const std::size_t before = support::AllocationCount();
  body();
  const std::size_t after = support::AllocationCount();
  fake::FakeHook::Get().recordEvents = true;
  return after - before;
}

// The pointer escapes through a volatile, so the allocation cannot be elided.
int* volatile g_sink = nullptr;

TEST(SteadyTickTest, TheCounterSeesAnAllocation) {
  const std::size_t n = AllocationsDuring([] {
    g_sink = new int(7);
    delete g_sink;
  });
  EXPECT_EQ(n, 1u);
}

TEST(SteadyTickTest, QuietTicksAllocateNothing) {
  struct Case {
    const char* name;
    float metresFromHomestead1;
  };
  // Far from both homesteads; and inside homestead 1's band once its
  // occupants and money stack are out, with nobody close enough to talk.
  for (const Case& c : {Case{"nobody near", 400.0f}, Case{"encounter in the band", 50.0f}}) {
    SCOPED_TRACE(c.name);
    world::ScriptedWorld w;
    InitHomesteads();
    const Homestead& h = Registry().FindOrInsert(1);
    w.PutPlayer(Vector3(h.center.x + c.metresFromHomestead1, h.center.y, h.center.z));
    TickEncounters();  // spawns, if due, and lets the hook's buffers grow
    TickEncounters();
    const bool inBand = c.metresFromHomestead1 <= 80.0f;
    ASSERT_EQ(h.defenders.size(), inBand ? 6u : 0u);

    const std::size_t callsBefore = fake::FakeHook::Get().callCount;
    const std::size_t allocations = AllocationsDuring([] {
      for (int i = 0; i < 100; ++i) TickEncounters();
    });

    EXPECT_EQ(allocations, 0u);
    // The ticks did run: the catalogue's two homesteads were measured each time.
    EXPECT_GE(fake::FakeHook::Get().callCount - callsBefore, 100u * 8u);
    EXPECT_EQ(fake::FakeHook::Get().waitCount, 0u);
  }
}

}  // namespace
}  // namespace homestead
