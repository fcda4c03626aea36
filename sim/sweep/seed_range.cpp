#include "sim/sweep/seed_range.h"

#include <charconv>
#include <optional>

namespace sim::sweep {
namespace {

std::optional<uint32_t> ParseSeed(std::string_view text) {
  uint32_t seed = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return seed;
}

}  // namespace

std::variant<SeedRange, std::string> ParseSeedRange(std::string_view text) {
  const std::size_t dash = text.find('-');
  const std::string_view low = text.substr(0, dash);
  const std::string_view high = dash == text.npos ? low : text.substr(dash + 1);
  const std::optional<uint32_t> first = ParseSeed(low);
  const std::optional<uint32_t> last = ParseSeed(high);
  if (!first || !last) {
    return "invalid seed range '" + std::string(text) +
           "'; expected A-B, two whole numbers from 0 to 4294967295 (e.g. 1-1000)";
  }
  if (*first > *last) {
    return "invalid seed range '" + std::string(text) + "'; the first seed " +
           std::to_string(*first) + " is above the last " + std::to_string(*last);
  }
  return SeedRange{*first, *last};
}

}  // namespace sim::sweep
