// Positions in a scenario: a point given as x y z, a homestead's centre, the
// place where a homestead keeps its money, or a distance towards a compass
// point from a homestead's centre.
#ifndef HOMESTEAD_SIM_SCENARIO_POSITION_H
#define HOMESTEAD_SIM_SCENARIO_POSITION_H

#include <cstdint>
#include <string>

#include "sim/base/places.h"

namespace sim {

// A point on the map, given absolutely or relative to a homestead.
struct Position {
  enum class Kind : uint8_t {
    kPoint,    // x y z
    kCentre,   // homestead N
    kLoot,     // loot of homestead N
    kCompass,  // 150m south of homestead N
  };
  Kind kind = Kind::kPoint;
  Vec3 point;           // kPoint
  int homestead = 0;    // the others
  double distance = 0;  // kCompass, metres
  Compass direction = Compass::kSouth;

  // Where the position lies; the homestead is known to exist once parsed.
  Vec3 Resolve() const;
  // As written in a scenario, e.g. "150m south of homestead 1".
  std::string Describe() const;
};

}  // namespace sim

#endif  // HOMESTEAD_SIM_SCENARIO_POSITION_H
