// What the map of one homestead shows after a run: the homestead's places,
// its occupants with their spawns, deaths and flight, the player's path with
// its simulated times, the blips, and the homestead's state at the end. The
// run fills it in from what it observed; the renderer (sim/report/map/)
// draws it.
#ifndef HOMESTEAD_SIM_REPORT_MAP_MODEL_H
#define HOMESTEAD_SIM_REPORT_MAP_MODEL_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/base/places.h"

namespace sim {

// Metres from the centre to the edge of the two square windows on the world
// that the map draws (and the replay page too): the encounter area and the
// yard.
inline constexpr double kOverviewRadiusM = 170;
inline constexpr double kYardRadiusM = 9;

struct MapOccupant {
  int index = 0;              // creation order within his homestead's set
  int set = 1;                // 1 for the first set spawned in the run, 2 ...
  Vec3 spawn;                 // where he was created
  double heading = 0;         // degrees counter-clockwise from north
  std::optional<Vec3> death;  // where he died, if he did
  bool gotAway = false;       // removed alive while fleeing
  std::vector<Vec3> flight;   // his path from the flee order on, if he fled
  int blips = 0;              // blips that were put on him
  bool removed = false;       // deleted alive by the plug-in, not fleeing
  bool leftBehind = false;    // in the world when the plug-in was reloaded
};

struct MapBlip {
  enum class Kind : unsigned char { kHome, kLoot, kOccupant, kOther };
  Kind kind = Kind::kOther;
  std::string label;                // empty when it has none
  Vec3 position;                    // where it was when added
  int addedClock = 0;               // game clock, minutes since midnight
  std::optional<int> removedClock;  // none while it is still on the map
  bool leftBehind = false;          // on the map when the plug-in was reloaded
};

struct MapData {
  std::string title;     // e.g. "Homestead 1, scenario robbery"
  std::string subtitle;  // seed, game clock span and simulated time
  Vec3 centre;
  Vec3 lootSpot;                   // where the money is kept
  std::optional<Vec3> lootPlaced;  // where the money stack object was created
  // Money stacks in the world when the plug-in was reloaded, where they lay.
  std::vector<Vec3> lootLeftBehind;
  std::vector<MapOccupant> occupants;
  std::vector<Vec3> playerPath;  // in time order; first is the start
  // Simulated time of each point of playerPath, in microseconds; may be empty
  // (then the path has no time marks).
  std::vector<int64_t> playerPathUs;
  std::string finalState;      // e.g. "cooling down since 15:01"; empty: not shown
  std::vector<MapBlip> blips;  // in the order they were added; occupant
                               // blips are drawn with their occupant
};

}  // namespace sim

#endif  // HOMESTEAD_SIM_REPORT_MAP_MODEL_H
