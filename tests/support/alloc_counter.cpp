#include "support/alloc_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_allocations{0};

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
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (size == 0) size = 1;
  return alignment > alignof(std::max_align_t) ? AlignedAlloc(size, alignment) : std::malloc(size);
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment) {
  if (void* p = Allocate(size, alignment)) return p;
  throw std::bad_alloc();
}

}  // namespace

namespace support {

std::size_t AllocationCount() {
  return g_allocations.load(std::memory_order_relaxed);
}

}  // namespace support

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
