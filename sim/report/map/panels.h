// The parts of the map's page: the overview of the encounter area, the
// close-up of the yard, and beneath them the blip table, the legend and the
// positions in scenario syntax. Each draws onto `svg`; a panel reports the
// box of every label it placed into `report` when that is not null.
#ifndef HOMESTEAD_SIM_REPORT_MAP_PANELS_H
#define HOMESTEAD_SIM_REPORT_MAP_PANELS_H

#include <vector>

#include "sim/report/map/labels.h"
#include "sim/report/map/path_geometry.h"
#include "sim/report/map/svg_writer.h"
#include "sim/report/map_model.h"

namespace sim::map_render {

// The whole encounter area: rings, the player's path, flights, deaths
// outside the yard, the start and end. `detail` is outlined on it; `back`
// comes from RiddenBack(map.playerPath).
void DrawOverview(Svg& svg, const Panel& panel, const Panel& detail, const MapData& map,
                  const std::vector<bool>& back, std::vector<LabelBox>* report);

// The yard: occupants' spawns and headings, deaths, the money and the blips.
void DrawDetail(Svg& svg, const Panel& panel, const MapData& map, const std::vector<bool>& back,
                std::vector<LabelBox>* report);

// The blips other than occupants', with their game-clock times, and a count
// of the occupants' blips.
void DrawBlipTable(Svg& svg, double left, double top, const MapData& map);

// One row per ring, mark and shape on the map, each with its own swatch.
void DrawLegend(Svg& svg, double left, double top);

// The positions of the centre and every marker, as a scenario writes them.
void DrawPositions(Svg& svg, double left, double top, const MapData& map);

}  // namespace sim::map_render

#endif  // HOMESTEAD_SIM_REPORT_MAP_PANELS_H
