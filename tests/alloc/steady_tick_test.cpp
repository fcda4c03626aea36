// A tick that has nothing new to do must not touch the heap: it runs every
// frame for as long as the plug-in is loaded. Every global operator new is
// replaced here and counts while counting is switched on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>

#include "encounter/scripted_world.h"
#include "encounter/tick.h"
#include "registry/catalogue.h"
#include "registry/registry.h"

namespace {

bool g_counting = false;
std::size_t g_allocations = 0;

// Over-aligned blocks come from the C library's aligned allocator, which on
// Windows has a release function of its own.
void* AlignedAlloc(std::size_t size, std::size_t alignment) {
#if defined(_WIN32)
  return _aligned_malloc(size, alignment);
#else
  return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
#endif
}

void AlignedFree(void* p) {
#if defined(_WIN32)
  _aligned_free(p);
#else
  std::free(p);
#endif
}

void* Allocate(std::size_t size, std::size_t alignment) {
  if (g_counting) ++g_allocations;
  if (size == 0) size = 1;
  return alignment > alignof(std::max_align_t) ? AlignedAlloc(size, alignment) : std::malloc(size);
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment) {
  if (void* p = Allocate(size, alignment)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return AllocateOrThrow(size, alignof(std::max_align_t));
}
void* operator new[](std::size_t size) {
  return AllocateOrThrow(size, alignof(std::max_align_t));
}
void* operator new(std::size_t size, std::align_val_t a) {
  return AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, alignof(std::max_align_t));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, alignof(std::max_align_t));
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  AlignedFree(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  AlignedFree(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  AlignedFree(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  AlignedFree(p);
}

namespace homestead {
namespace {

// Heap allocations made by `body`, with the hook's log switched off.
std::size_t AllocationsDuring(const std::function<void()>& body) {
  fake::FakeHook::Get().recordEvents = false;
  const std::size_t before = g_allocations;
  g_counting = true;
  body();
  g_counting = false;
  fake::FakeHook::Get().recordEvents = true;
  return g_allocations - before;
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
