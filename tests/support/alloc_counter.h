// Counts the program's heap allocations. Linking this library replaces every
// global operator new and delete of the program, so it goes only into a binary
// of its own (a benchmark, the allocation test) and never beside another
// replacement. The replacements allocate from the C library.
#ifndef HOMESTEAD_TESTS_SUPPORT_ALLOC_COUNTER_H
#define HOMESTEAD_TESTS_SUPPORT_ALLOC_COUNTER_H

#include <cstddef>

namespace support {

// Allocations made through any global operator new since the program started;
// the difference of two readings is what ran between them allocated.
std::size_t AllocationCount();

}  // namespace support

#endif  // HOMESTEAD_TESTS_SUPPORT_ALLOC_COUNTER_H
