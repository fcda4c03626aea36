// The map of one homestead after a run, drawn as a self-contained SVG.
//
// Two panels: an overview of the whole encounter area with five rings around
// the centre at the plug-in's distances (src/encounter/distances.h: teardown,
// stage, approach, confrontation and home blip), the player's path and the
// flight of the last occupant; and a close-up of the yard with the home-blip
// ring around the centre, the money-blip ring around the money's place, each
// occupant's spawn point with a tick for his heading, where each died, and the
// blips. The player's path carries arrows for his direction and ticks with the
// simulated time; it is drawn a little to the right of the way he rode, so a
// way ridden back lies beside the way out, and dashed where it goes back over
// ground already covered. Labels are placed where they cover neither the path
// nor each other. A legend with every ring and shape, a table of every blip,
// the homestead's state at the end and a table of positions in scenario syntax
// (also in each marker's tooltip) complete it. Output depends only on the
// data, so the same run draws the same bytes.
#ifndef HOMESTEAD_SIM_REPORT_MAP_SVG_MAP_H
#define HOMESTEAD_SIM_REPORT_MAP_SVG_MAP_H

#include <string>
#include <vector>

#include "sim/report/map/labels.h"
#include "sim/report/map_model.h"

namespace sim {

// `labels`, when given, receives the box of every label placed on a panel.
std::string RenderMap(const MapData& map, std::vector<LabelBox>* labels = nullptr);

}  // namespace sim

#endif  // HOMESTEAD_SIM_REPORT_MAP_SVG_MAP_H
