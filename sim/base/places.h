// The simulator's knowledge of the map: where the robbable homesteads stand
// and where each keeps its money. Scenarios name these places ("homestead 7",
// "loot of homestead 1") before the plug-in has shown any of them, the player
// rides to them, and the map is drawn around them. They come from the
// plug-in's own catalogue (src/registry/catalogue_data.h), so a homestead moved
// or added there is known here after a rebuild; a test checks that the loaded
// plug-in really places its blips, money and occupants where the table says.
#ifndef HOMESTEAD_SIM_BASE_PLACES_H
#define HOMESTEAD_SIM_BASE_PLACES_H

#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace sim {

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

inline double Distance(const Vec3& a, const Vec3& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                   (a.z - b.z) * (a.z - b.z));
}

// A single-precision point, widened exactly: the plug-in's Vector3 and the
// world's platform::Vec3 alike (any type with float members x, y and z).
template <typename FloatPoint>
constexpr Vec3 Widen(const FloatPoint& v) {
  return {v.x, v.y, v.z};
}

struct HomesteadPlace {
  int id;
  Vec3 centre;
  Vec3 loot;  // where the money stack is kept
};

// Every homestead on the map, by id.
std::span<const HomesteadPlace> Homesteads();

// The homestead with `id`, or null when the map has none with that id.
const HomesteadPlace* FindHomestead(int id);

// "1 or 7": the ids the map knows, for error messages and help.
std::string KnownHomesteadIds();

// Compass points (compass.def); north is +y and east is +x.
enum class Compass : unsigned char {
#define HOMESTEAD_COMPASS(enumerator, name, east, north) enumerator,
#include "sim/base/compass.def"
#undef HOMESTEAD_COMPASS
};
// Their names, in the order of Compass.
inline constexpr std::array kCompassNames = {
#define HOMESTEAD_COMPASS(enumerator, name, east, north) std::string_view(name),
#include "sim/base/compass.def"
#undef HOMESTEAD_COMPASS
};
inline constexpr std::size_t kCompassCount = kCompassNames.size();

// Parses "north", "northeast", ... ; false when `word` names no compass point.
bool CompassFromName(const std::string& word, Compass* out);

// The point `distance` metres from `origin` towards `direction`, at the same height.
Vec3 Offset(const Vec3& origin, Compass direction, double distance);

}  // namespace sim

#endif  // HOMESTEAD_SIM_BASE_PLACES_H
