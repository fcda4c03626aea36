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

constexpr std::array<CompassPoint, kCompassCount> kCompass = {{
    {0.0, 1.0},                // north
    {kDiagonal, kDiagonal},    // northeast
    {1.0, 0.0},                // east
    {kDiagonal, -kDiagonal},   // southeast
    {0.0, -1.0},               // south
    {-kDiagonal, -kDiagonal},  // southwest
    {-1.0, 0.0},               // west
    {-kDiagonal, kDiagonal},   // northwest
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
