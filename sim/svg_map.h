// The map of one homestead after a run, drawn as a self-contained SVG.
//
// Two panels: an overview of the whole encounter area with the distance rings
// (20, 32, 80 and 100 m around the centre), the player's path and the flight
// of the last occupant; and a close-up of the yard with the 4 m home-blip ring
// around the centre, the 1.5 m loot ring around the money's place, each
// occupant's spawn point with a tick for his heading, where each died, and the
// blips. The player's path carries arrows for his direction and ticks with the
// simulated time; it is drawn a little to the right of the way he rode, so a
// way ridden back lies beside the way out, and dashed where it goes back over
// ground already covered. Labels are placed where they cover neither the path
// nor each other. A legend with every ring and shape, a table of every blip,
// the homestead's state at the end and a table of positions in scenario syntax
// (also in each marker's tooltip) complete it. Output depends only on the
// data, so the same run draws the same bytes.
#ifndef HOMESTEAD_SIM_SVG_MAP_H
#define HOMESTEAD_SIM_SVG_MAP_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/places.h"

namespace sim {

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
};

struct MapBlip {
  enum class Kind : unsigned char { kHome, kLoot, kOccupant, kOther };
  Kind kind = Kind::kOther;
  std::string label;                // empty when it has none
  Vec3 position;                    // where it was when added
  int addedClock = 0;               // game clock, minutes since midnight
  std::optional<int> removedClock;  // none while it is still on the map
};

struct MapData {
  std::string title;     // e.g. "robbery at homestead 1"
  std::string subtitle;  // e.g. "seed 1 · 14:00 to 20:41 · 6:51 simulated"
  Vec3 centre;
  Vec3 lootSpot;                   // where the money is kept
  std::optional<Vec3> lootPlaced;  // where the money stack object was created
  std::vector<MapOccupant> occupants;
  std::vector<Vec3> playerPath;  // in time order; first is the start
  // Simulated time of each point of playerPath, in microseconds; may be empty
  // (then the path has no time marks).
  std::vector<int64_t> playerPathUs;
  std::string finalState;      // e.g. "cooling down since 15:01"; empty: not shown
  std::vector<MapBlip> blips;  // in the order they were added; occupant
                               // blips are drawn with their occupant
};

// A label's box on the page, as the map reserves it for the label's text.
struct LabelBox {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
  std::string text;
};

// `labels`, when given, receives the box of every label placed on a panel.
std::string RenderMap(const MapData& map, std::vector<LabelBox>* labels = nullptr);

}  // namespace sim

#endif  // HOMESTEAD_SIM_SVG_MAP_H
