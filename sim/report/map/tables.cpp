#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "encounter/distances.h"
#include "platform/format.h"
#include "sim/report/map/map_marks.h"
#include "sim/report/map/panels.h"

namespace sim::map_render {
namespace {

using homestead::kApproachRadius;
using homestead::kConfrontationRadius;
using homestead::kHomeBlipRadius;
using homestead::kLootBlipRadius;
using homestead::kStageRadius;
using homestead::kTeardownDistance;

std::string_view BlipKindName(MapBlip::Kind kind) {
  switch (kind) {
    case MapBlip::Kind::kHome:
      return "home";
    case MapBlip::Kind::kLoot:
      return "money stack";
    case MapBlip::Kind::kOccupant:
      return "occupant";
    case MapBlip::Kind::kOther:
      break;
  }
  return "other";
}

// The legend's rows: three columns of text, each row with room for a swatch
// on its left.
class LegendRows {
 public:
  LegendRows(Svg& svg, double left, double top)
      : svg_(svg), top_(top), columns_{left, left + 390, left + 780} {}

  // Writes row `line` of `column` and returns where its swatch goes.
  Point Row(int column, int line, std::string_view text) {
    constexpr double kRow = 20;
    const double x = columns_[static_cast<std::size_t>(column)];
    const double y = top_ + line * kRow;
    svg_.Text(x + 34, y + 4, text, "font-size=\"12\"");
    return Point{x, y};
  }

 private:
  Svg& svg_;
  double top_;
  std::array<double, 3> columns_;
};

// The player's path and the occupants' spawns.
void LegendPathAndOccupants(Svg& svg, LegendRows& rows) {
  const std::string player = std::string("stroke=\"") + kPlayer + "\" stroke-width=\"2.5\"";
  Point p = rows.Row(0, 1, "player's path, ridden out; arrows: his direction");
  svg.Line(p.x, p.y, p.x + 26, p.y, player);
  svg.Arrow({p.x + 13, p.y}, {1, 0}, kPlayer);
  p = rows.Row(0, 2, "the same, ridden back over earlier ground");
  svg.Line(p.x, p.y, p.x + 26, p.y, player + " stroke-dasharray=\"" + kReturnDash + "\"");
  p = rows.Row(0, 3, "(drawn 3 px to the right of his way)");
  p = rows.Row(0, 4, "start and end of the player's path");
  svg.Circle(p.x + 7, p.y, 5,
             std::string("fill=\"white\" stroke=\"") + kPlayer + "\" stroke-width=\"2\"");
  svg.Rect(p.x + 18, p.y - 4, 8, 8, std::string("fill=\"") + kPlayer + "\"");
  p = rows.Row(0, 5, "time mark: simulated time m:ss, as in the timeline");
  svg.Line(p.x + 13, p.y - 7, p.x + 13, p.y + 7,
           std::string("stroke=\"") + kInk + "\" stroke-width=\"1.5\"");
  p = rows.Row(0, 6, "occupant's spawn point (number: index), tick: heading");
  svg.Circle(p.x + 13, p.y, 7, std::string("fill=\"") + kAlive + "\"");
  svg.Line(p.x + 13, p.y, p.x + 13, p.y - 12,
           std::string("stroke=\"") + kInk + "\" stroke-width=\"2\"");
  p = rows.Row(0, 7, "green: alive at the end; grey: dead; orange: got away");
  svg.Circle(p.x + 6, p.y, 5, std::string("fill=\"") + kAlive + "\"");
  svg.Circle(p.x + 16, p.y, 5, std::string("fill=\"") + kDead + "\"");
  svg.Circle(p.x + 26, p.y, 5, std::string("fill=\"") + kFlight + "\"");
  p = rows.Row(0, 8, "removed alive by the plug-in at teardown");
  svg.Circle(p.x + 13, p.y, 6,
             std::string("fill=\"white\" stroke=\"") + kInk +
                 "\" stroke-width=\"1.5\" stroke-dasharray=\"3,2\"");
  p = rows.Row(0, 9, "marker moved aside: dot and line to where he stood");
  svg.Circle(p.x + 4, p.y, 2, std::string("fill=\"") + kInk + "\"");
  svg.Line(p.x + 4, p.y, p.x + 20, p.y, std::string("stroke=\"") + kInk + "\" stroke-width=\"1\"");
  svg.Circle(p.x + 22, p.y, 5, std::string("fill=\"") + kAlive + "\"");
}

// Deaths, flight, the money, the blips and the centre.
void LegendMarks(Svg& svg, LegendRows& rows) {
  Point p = rows.Row(1, 1, "where an occupant died");
  svg.Cross(p.x + 13, p.y, 5, kDeath, 2.5);
  p = rows.Row(1, 2, "flight of the last occupant");
  svg.Line(p.x, p.y, p.x + 26, p.y,
           std::string("stroke=\"") + kFlight + "\" stroke-width=\"2.5\" stroke-dasharray=\"7,4\"");
  p = rows.Row(1, 3, "where he left the world alive (got away)");
  svg.Circle(p.x + 13, p.y, 5,
             std::string("fill=\"white\" stroke=\"") + kFlight + "\" stroke-width=\"2\"");
  p = rows.Row(1, 4, "money stack, where the plug-in placed it");
  LootSquare(svg, p.x + 13, p.y, 6, true);
  p = rows.Row(1, 5, "where the money is kept (when not the same)");
  LootSquare(svg, p.x + 13, p.y, 5, false);
  p = rows.Row(1, 6, "home blip");
  House(svg, p.x + 13, p.y, 7);
  p = rows.Row(1, 7, "money-stack blip");
  MoneyBadge(svg, p.x + 13, p.y);
  p = rows.Row(1, 8, "blip on an occupant");
  svg.Circle(p.x + 13, p.y, 7,
             std::string("fill=\"none\" stroke=\"") + kEnemyBlip + "\" stroke-width=\"1.5\"");
  p = rows.Row(1, 9, "centre of the homestead");
  CentreCross(svg, p.x + 13, p.y);
  p = rows.Row(1, 10, "dashed square: left behind by a reload");
  LeftBehindSquare(svg, p.x + 13, p.y, 8);
}

// The rings and the rest.
void LegendRings(Svg& svg, LegendRows& rows) {
  const std::string ring = std::string("fill=\"none\" stroke=\"") + kRing +
                           "\" stroke-width=\"1.2\" stroke-dasharray=\"6,4\"";
  for (const auto& [line, text] : std::array<std::pair<int, std::string>, 6>{{
           {1, "ring " + Metres(kTeardownDistance) + " from the centre: teardown beyond"},
           {2, "ring " + Metres(kStageRadius) + ": occupants and money appear"},
           {3, "ring " + Metres(kApproachRadius) + ": approach talk"},
           {4, "ring " + Metres(kConfrontationRadius) + ": confrontation"},
           {5, "ring " + Metres(kHomeBlipRadius) + " from the centre: home blip goes"},
           {6, "ring " + Metres(kLootBlipRadius) + " from the money: money blip goes"},
       }}) {
    const Point p = rows.Row(2, line, text);
    svg.Circle(p.x + 13, p.y, 8, ring);
  }
  Point p = rows.Row(2, 7, "dotted square: the part shown in the yard");
  svg.Rect(p.x + 4, p.y - 7, 18, 14,
           std::string("fill=\"none\" stroke=\"") + kInk +
               "\" stroke-width=\"0.8\" stroke-dasharray=\"2,2\"");
  p = rows.Row(2, 8, "N: north; bar: scale");
  p = rows.Row(2, 9, "hover a marker for its position");
}

}  // namespace

void DrawBlipTable(Svg& svg, double left, double top, const MapData& map) {
  svg.Text(left, top, "Blips on the map (game clock)", "font-size=\"13\" font-weight=\"bold\"");
  double y = top + 20;
  int occupantAdded = 0;
  int occupantRemoved = 0;
  constexpr int kMaxRows = 8;
  int rows = 0;
  for (const MapBlip& blip : map.blips) {
    if (blip.kind == MapBlip::Kind::kOccupant) {
      ++occupantAdded;
      if (blip.removedClock) ++occupantRemoved;
      continue;
    }
    if (rows == kMaxRows) continue;
    ++rows;
    if (blip.kind == MapBlip::Kind::kHome) {
      House(svg, left + 7, y - 4, 6);
    } else if (blip.kind == MapBlip::Kind::kLoot) {
      MoneyBadge(svg, left + 7, y - 4);
    }
    const std::string label = blip.label.empty() ? "(no label)" : "\"" + blip.label + "\"";
    const std::string when =
        platform::ClockText(blip.addedClock) + " to " +
        (blip.removedClock ? platform::ClockText(*blip.removedClock) : "the end");
    svg.Text(left + 20, y,
             label + "  " + std::string(BlipKindName(blip.kind)) + ", " + when +
                 (blip.leftBehind ? ", left behind by a reload" : ""),
             "font-size=\"12\"");
    y += 18;
  }
  if (occupantAdded > 0) {
    svg.Circle(left + 7, y - 4, 6,
               std::string("fill=\"none\" stroke=\"") + kEnemyBlip + "\" stroke-width=\"1.5\"");
    svg.Text(left + 20, y,
             std::to_string(occupantAdded) + " blips on occupants, " +
                 std::to_string(occupantRemoved) + " removed again",
             "font-size=\"12\"");
  }
}

void DrawLegend(Svg& svg, double left, double top) {
  svg.Text(left, top, "Legend", "font-size=\"13\" font-weight=\"bold\"");
  LegendRows rows(svg, left, top);
  LegendPathAndOccupants(svg, rows);
  LegendMarks(svg, rows);
  LegendRings(svg, rows);
}

void DrawPositions(Svg& svg, double left, double top, const MapData& map) {
  svg.Text(left, top,
           "Positions, as a scenario writes them (\"ride to X Y Z\", \"start at X Y Z\")",
           "font-size=\"13\" font-weight=\"bold\"");
  std::vector<std::pair<std::string, Vec3>> rows = {{"centre", map.centre},
                                                    {"money kept", map.lootSpot}};
  if (map.lootPlaced && Distance(*map.lootPlaced, map.lootSpot) > 0.1) {
    rows.emplace_back("money placed", *map.lootPlaced);
  }
  if (!map.playerPath.empty()) {
    rows.emplace_back("player start", map.playerPath.front());
    rows.emplace_back("player end", map.playerPath.back());
  }
  for (const MapOccupant& occupant : map.occupants) {
    rows.emplace_back(OccupantName(occupant), occupant.spawn);
    if (occupant.death && Distance(*occupant.death, occupant.spawn) >= 0.5) {
      rows.emplace_back(OccupantName(occupant) + " died", *occupant.death);
    } else if (occupant.gotAway && !occupant.flight.empty()) {
      rows.emplace_back(OccupantName(occupant) + " left", occupant.flight.back());
    }
  }
  constexpr std::size_t kPerColumn = 8;
  constexpr std::size_t kColumns = 3;
  for (std::size_t i = 0; i < rows.size() && i < kPerColumn * kColumns; ++i) {
    const double x = left + static_cast<double>(i / kPerColumn) * 390;
    const double y = top + 20 + static_cast<double>(i % kPerColumn) * 18;
    svg.Text(x, y, rows[i].first, "font-size=\"12\"");
    svg.Text(x + 150, y, ScenarioPosition(rows[i].second),
             "font-size=\"12\" font-family=\"monospace\"");
  }
  if (rows.size() > kPerColumn * kColumns) {
    svg.Text(left, top + 20 + kPerColumn * 18,
             std::to_string(rows.size() - kPerColumn * kColumns) + " more in the markers' tooltips",
             "font-size=\"12\"");
  }
}

}  // namespace sim::map_render
