// What the tests read from the shipped homestead catalogue instead of copying
// it: the ids, an id the catalogue lacks, the ids as messages list them, and
// the handle the world gives the blip of a homestead's first restore.
#ifndef HOMESTEAD_TESTS_SUPPORT_CATALOGUE_READS_H
#define HOMESTEAD_TESTS_SUPPORT_CATALOGUE_READS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "registry/catalogue_data.h"

namespace homestead::catalogue {

inline constexpr std::size_t kCount = std::size(kCatalogue);

// One more than the largest id: never in the catalogue.
inline constexpr int32_t UnknownId() {
  int32_t largest = 0;
  for (const CatalogueEntry& entry : kCatalogue) largest = std::max(largest, entry.id);
  return largest + 1;
}

// The index of `id` in the catalogue, or kCount when it has none.
inline constexpr std::size_t IndexOf(int32_t id) {
  for (std::size_t i = 0; i < kCount; ++i) {
    if (kCatalogue[i].id == id) return i;
  }
  return kCount;
}

// "1 or 7", "1, 7 or 9": the ids in table order, as error messages and help
// list them.
inline std::string IdList() {
  std::string ids;
  for (std::size_t i = 0; i < kCount; ++i) {
    if (i > 0) ids += i + 1 == kCount ? " or " : ", ";
    ids += std::to_string(kCatalogue[i].id);
  }
  return ids;
}

}  // namespace homestead::catalogue

#endif  // HOMESTEAD_TESTS_SUPPORT_CATALOGUE_READS_H
