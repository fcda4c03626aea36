#include "sim/base/places.h"

#include <array>
#include <iterator>
#include <string_view>

#include "registry/catalogue_data.h"

namespace sim {
namespace {

using homestead::kCatalogue;

constexpr std::array<HomesteadPlace, std::size(kCatalogue)> PlacesFromCatalogue() {
  std::array<HomesteadPlace, std::size(kCatalogue)> places{};
  for (std::size_t i = 0; i < places.size(); ++i) {
    places[i] = {kCatalogue[i].id, Widen(kCatalogue[i].center), Widen(kCatalogue[i].lootPosition)};
  }
  return places;
}

constexpr std::array<HomesteadPlace, std::size(kCatalogue)> kHomesteads = PlacesFromCatalogue();

// Unit vectors, in the order of Compass.
struct CompassPoint {
  double dx;
  double dy;
};

constexpr double kDiagonal = 0.70710678118654752440;

// A step east and north as a unit vector.
constexpr CompassPoint Unit(int east, int north) {
  const double scale = east != 0 && north != 0 ? kDiagonal : 1.0;
  return {east * scale, north * scale};
}

constexpr std::array<CompassPoint, kCompassCount> kCompass = {{
#define HOMESTEAD_COMPASS(enumerator, name, east, north) Unit(east, north),
#include "sim/base/compass.def"
#undef HOMESTEAD_COMPASS
}};

}  // namespace

std::span<const HomesteadPlace> Homesteads() {
  return kHomesteads;
}

const HomesteadPlace* FindHomestead(int id) {
  for (const HomesteadPlace& place : kHomesteads) {
    if (place.id == id) return &place;
  }
  return nullptr;
}

std::string KnownHomesteadIds() {
  std::string ids;
  for (std::size_t i = 0; i < kHomesteads.size(); ++i) {
    if (i > 0) ids += i + 1 == kHomesteads.size() ? " or " : ", ";
    ids += std::to_string(kHomesteads[i].id);
  }
  return ids;
}

bool CompassFromName(const std::string& word, Compass* out) {
  for (std::size_t i = 0; i < kCompassNames.size(); ++i) {
    if (kCompassNames[i] == word) {
      *out = static_cast<Compass>(i);
      return true;
    }
  }
  return false;
}

Vec3 Offset(const Vec3& origin, Compass direction, double distance) {
  const CompassPoint& point = kCompass[static_cast<std::size_t>(direction)];
  return {origin.x + point.dx * distance, origin.y + point.dy * distance, origin.z};
}

}  // namespace sim
