// The seeds a sweep plays: "A-B", both ends included, each 0 to 4294967295,
// A not above B; "N" alone is the range of one seed.
#ifndef HOMESTEAD_SIM_SWEEP_SEED_RANGE_H
#define HOMESTEAD_SIM_SWEEP_SEED_RANGE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace sim::sweep {

struct SeedRange {
  uint32_t first = 0;
  uint32_t last = 0;
  uint64_t count() const { return uint64_t{last} - first + 1; }
  friend bool operator==(const SeedRange&, const SeedRange&) = default;
};

// The range, or a message that says what is wrong with `text`.
std::variant<SeedRange, std::string> ParseSeedRange(std::string_view text);

}  // namespace sim::sweep

#endif  // HOMESTEAD_SIM_SWEEP_SEED_RANGE_H
