#include "sim/scenario/position.h"

#include <cstdio>

#include "platform/format.h"

namespace sim {

Vec3 Position::Resolve() const {
  if (kind == Kind::kPoint) return point;
  const HomesteadPlace* place = FindHomestead(homestead);
  if (kind == Kind::kLoot) return place->loot;
  if (kind == Kind::kCentre) return place->centre;
  return Offset(place->centre, direction, distance);
}

std::string Position::Describe() const {
  char buffer[96];
  switch (kind) {
    case Kind::kPoint:
      return platform::FixedTriple(point.x, point.y, point.z, " ");
    case Kind::kCentre:
      return "homestead " + std::to_string(homestead);
    case Kind::kLoot:
      return "loot of homestead " + std::to_string(homestead);
    case Kind::kCompass:
      break;
  }
  std::snprintf(buffer, sizeof buffer, "%gm %s of homestead %d", distance,
                std::string(kCompassNames[static_cast<std::size_t>(direction)]).c_str(), homestead);
  return buffer;
}

}  // namespace sim
