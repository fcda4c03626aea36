// The marks the map is drawn with, shared by its two panels and its legend:
// one colour per kind of thing, the homestead's shapes, the player's path
// with its arrows and time marks, the rings, a panel's frame, scale and north
// arrow, and the names and tooltips of the occupants.
#ifndef HOMESTEAD_SIM_REPORT_MAP_MAP_MARKS_H
#define HOMESTEAD_SIM_REPORT_MAP_MAP_MARKS_H

#include <string>
#include <string_view>
#include <vector>

#include "sim/base/places.h"
#include "sim/report/map/labels.h"
#include "sim/report/map/path_geometry.h"
#include "sim/report/map/svg_writer.h"
#include "sim/report/map_model.h"

namespace sim::map_render {

// Colours, one per kind of thing, shared by the drawing and the legend.
inline constexpr const char* kPaper = "#f6f1e3";
inline constexpr const char* kInk = "#333333";
inline constexpr const char* kRing = "#8a8170";
inline constexpr const char* kPlayer = "#1f5fbf";
inline constexpr const char* kFlight = "#e07b00";
inline constexpr const char* kDeath = "#c0392b";
inline constexpr const char* kAlive = "#3f8f3f";
inline constexpr const char* kDead = "#8c8c8c";
inline constexpr const char* kLoot = "#d4a017";
inline constexpr const char* kHomeBlip = "#6b3fa0";
inline constexpr const char* kEnemyBlip = "#d62728";
// What a reloaded plug-in's old instance left in the world.
inline constexpr const char* kLeftBehind = "#c2185b";
// The dashes of a way ridden back.
inline constexpr const char* kReturnDash = "8,5";

// "80 m": one of the plug-in's distances as the rings' labels show it.
std::string Metres(float metres);

// "x y z" to two decimals: a POSITION a scenario file accepts.
std::string ScenarioPosition(const Vec3& p);

// A house shape: the home blip.
void House(Svg& svg, double x, double y, double r);

// A money bag: the money-stack blip.
void MoneyBadge(Svg& svg, double x, double y);

void LootSquare(Svg& svg, double x, double y, double half, bool filled);

void CentreCross(Svg& svg, double x, double y);

// A dashed square around a mark at (x, y): left behind by a reload.
void LeftBehindSquare(Svg& svg, double x, double y, double half);

void DrawPathRuns(Svg& svg, const std::vector<PathRun>& runs, double opacity);

// Arrows every `spacing` pixels along the drawn path; each arrow's box joins
// the labeller's obstacles.
void DrawArrows(Svg& svg, const std::vector<PathRun>& runs, double spacing, Labeller& labels);

// Ticks across the path at whole multiples of the interval of simulated time,
// where the player was moving, labelled with the time.
void DrawTimeMarks(Svg& svg, const Panel& panel, const MapData& map, Labeller& labels);

// The player's path on `panel` (runs from PathRuns, opacity 0 to 1) with an
// arrow every `arrowSpacing` pixels, all kept clear of labels.
void DrawPlayerPath(Svg& svg, const Panel& panel, const std::vector<Vec3>& path,
                    const std::vector<bool>& back, double opacity, double arrowSpacing,
                    Labeller& labels);

void Ring(Svg& svg, const Panel& panel, const Vec3& centre, double radiusM);

// The ring's label, somewhere on its circumference.
void RingLabel(Svg& svg, Labeller& labels, const Panel& panel, const Vec3& centre, double radiusM,
               std::string_view text);

void PanelFrame(Svg& svg, const Panel& panel, std::string_view caption);

Box PanelBox(const Panel& panel);

// The scale bar in the bottom-left corner and the north arrow in the top-right
// one; both are kept free of labels.
void ScaleAndNorth(Svg& svg, const Panel& panel, double metres, Labeller& labels);

const char* OccupantColour(const MapOccupant& occupant);

std::string OccupantName(const MapOccupant& occupant);

std::string OccupantId(const MapOccupant& occupant);

std::string OccupantTooltip(const MapOccupant& occupant);

}  // namespace sim::map_render

#endif  // HOMESTEAD_SIM_REPORT_MAP_MAP_MARKS_H
