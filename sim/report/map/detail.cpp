#include <array>
#include <string>

#include "encounter/distances.h"
#include "sim/report/map/map_marks.h"
#include "sim/report/map/panels.h"

namespace sim::map_render {
namespace {

using homestead::kHomeBlipRadius;
using homestead::kLootBlipRadius;

// A one-metre grid gives a sense of scale at a glance; the rings go on it.
void DrawGridAndRings(Svg& svg, const Panel& panel, const MapData& map) {
  for (int i = -static_cast<int>(panel.radiusM); i <= static_cast<int>(panel.radiusM); ++i) {
    const double x = panel.left + panel.size / 2 + i * panel.Scale();
    const double y = panel.top + panel.size / 2 + i * panel.Scale();
    const std::string style = "stroke=\"#e4dcc6\" stroke-width=\"1\"";
    svg.Line(x, panel.top, x, panel.top + panel.size, style);
    svg.Line(panel.left, y, panel.left + panel.size, y, style);
  }
  Ring(svg, panel, map.centre, kHomeBlipRadius);
  Ring(svg, panel, map.lootSpot, kLootBlipRadius);
}

void DrawCentre(Svg& svg, Point centre, const MapData& map, Labeller& labels) {
  svg.Raw("<g class=\"centre\">\n");
  svg.Title("centre of the homestead: " + ScenarioPosition(map.centre));
  CentreCross(svg, centre.x, centre.y);
  svg.Raw("</g>\n");
  labels.AddBox(Box::Around(centre, 9));
}

void DrawFlights(Svg& svg, const Panel& panel, const MapData& map, Labeller& labels) {
  for (const MapOccupant& occupant : map.occupants) {
    const std::vector<Point> flight = OnPage(panel, occupant.flight);
    labels.AddPath(flight);
    svg.Polyline(flight, std::string("stroke=\"") + kFlight +
                             "\" stroke-width=\"2.5\" stroke-dasharray=\"7,4\"");
  }
}

// The money stack where it was placed, and where it is kept when that differs.
void DrawMoney(Svg& svg, const Panel& panel, const MapData& map, const Vec3& loot,
               Labeller& labels) {
  if (map.lootPlaced) {
    svg.Raw("<g class=\"loot\">\n");
    svg.Title("money stack placed at " + ScenarioPosition(*map.lootPlaced));
    LootSquare(svg, panel.X(loot), panel.Y(loot), 7, true);
    svg.Raw("</g>\n");
  }
  if (!map.lootPlaced || Distance(*map.lootPlaced, map.lootSpot) > 0.1) {
    svg.Raw("<g class=\"loot-spot\">\n");
    svg.Title("where the money is kept: " + ScenarioPosition(map.lootSpot));
    LootSquare(svg, panel.X(map.lootSpot), panel.Y(map.lootSpot), 7, false);
    svg.Raw("</g>\n");
  }
  for (const Vec3& left : map.lootLeftBehind) {
    svg.Raw("<g class=\"loot-left-behind\">\n");
    svg.Title("money stack left behind by a reload at " + ScenarioPosition(left));
    LootSquare(svg, panel.X(left), panel.Y(left), 7, true);
    LeftBehindSquare(svg, panel.X(left), panel.Y(left), 11);
    svg.Raw("</g>\n");
    labels.AddBox(Box::Around(panel.At(left), 12));
  }
  labels.AddBox(Box::Around(panel.At(loot), 8));
  labels.AddBox(Box::Around(panel.At(map.lootSpot), 8));
}

// One occupant's marker at `at`, tied to `truth` (his spawn) when moved aside.
void DrawOccupant(Svg& svg, const MapOccupant& occupant, Point truth, Point at, Labeller& labels) {
  const Point heading = HeadingOnPage(occupant.heading);
  svg.Raw("<g class=\"occupant-spawn\" id=\"" + OccupantId(occupant) + "\">\n");
  svg.Title(OccupantTooltip(occupant));
  if (at.x != truth.x || at.y != truth.y) {
    svg.Line(truth.x, truth.y, at.x, at.y,
             std::string("stroke=\"") + kInk + "\" stroke-width=\"1\"");
    svg.Circle(truth.x, truth.y, 2, std::string("fill=\"") + kInk + "\"");
    labels.AddPath({truth, at});
  }
  const Point tip{at.x + heading.x * 24, at.y + heading.y * 24};
  svg.Line(at.x, at.y, tip.x, tip.y,
           std::string("stroke=\"") + kInk + "\" stroke-width=\"2.5\" stroke-linecap=\"round\"");
  labels.AddPath({at, tip});
  if (occupant.blips > 0) {
    svg.Circle(at.x, at.y, 14,
               std::string("class=\"blip\" fill=\"none\" stroke=\"") + kEnemyBlip +
                   "\" stroke-width=\"1.2\"");
  }
  const bool hollow = occupant.removed && !occupant.death && !occupant.gotAway;
  svg.Circle(at.x, at.y, 10,
             std::string("fill=\"") + OccupantColour(occupant) + "\" stroke=\"" +
                 (hollow ? kInk : "white") + "\" stroke-width=\"1.5\"" +
                 (hollow ? " stroke-dasharray=\"3,2\"" : ""));
  svg.Text(at.x, at.y + 4, std::to_string(occupant.index),
           std::string("font-size=\"11\" font-weight=\"bold\" fill=\"") +
               (hollow ? kInk : "white") + "\" text-anchor=\"middle\"");
  if (occupant.leftBehind) LeftBehindSquare(svg, at.x, at.y, 16);
  svg.Raw("</g>\n");
  labels.AddBox(Box::Around(at, 15));
}

// Occupants on different floors can stand almost on top of each other; a
// marker that would hide an earlier one moves aside, tied to its true spot.
// The home blip's house above the centre counts as taken too. Returns where
// each marker went, in the order of map.occupants.
std::vector<Point> DrawOccupants(Svg& svg, const Panel& panel, Point centre, const MapData& map,
                                 Labeller& labels) {
  std::vector<Point> taken = {{centre.x, centre.y - 22}};
  std::vector<Point> placed;
  constexpr std::array<Point, 8> kNudges = {
      {{24, 0}, {-24, 0}, {0, 24}, {0, -24}, {24, 24}, {-24, 24}, {24, -24}, {-24, -24}}};
  auto isFree = [&taken](Point p) {
    for (const Point& t : taken) {
      if ((t.x - p.x) * (t.x - p.x) + (t.y - p.y) * (t.y - p.y) < 20 * 20) return false;
    }
    return true;
  };
  for (const MapOccupant& occupant : map.occupants) {
    const Point truth = panel.At(occupant.spawn);
    Point at = truth;
    for (std::size_t i = 0; !isFree(at) && i < kNudges.size(); ++i) {
      at = {truth.x + kNudges[i].x, truth.y + kNudges[i].y};
    }
    taken.push_back(at);
    placed.push_back(at);
    DrawOccupant(svg, occupant, truth, at, labels);
  }
  return placed;
}

void DrawDeaths(Svg& svg, const Panel& panel, const MapData& map, const std::vector<Point>& placed,
                Labeller& labels) {
  for (std::size_t i = 0; i < map.occupants.size(); ++i) {
    const MapOccupant& occupant = map.occupants[i];
    if (!occupant.death || !panel.Contains(*occupant.death)) continue;
    svg.Raw("<g class=\"death\" id=\"death-" + OccupantId(occupant) + "\">\n");
    svg.Title(OccupantName(occupant) + " died at " + ScenarioPosition(*occupant.death));
    // One shot where he stood is marked beside his (possibly moved) marker.
    const bool atSpawn = Distance(*occupant.death, occupant.spawn) < 0.5;
    const Point at = atSpawn ? placed[i] : panel.At(*occupant.death);
    svg.Cross(at.x + 13, at.y - 13, 5, kDeath, 2.5);
    svg.Raw("</g>\n");
    labels.AddBox(Box::Around({at.x + 13, at.y - 13}, 6));
  }
}

// The home and money-stack blips; occupants' blips are drawn with them.
void DrawBlips(Svg& svg, const Panel& panel, const MapData& map, Labeller& labels) {
  for (const MapBlip& blip : map.blips) {
    if (!panel.Contains(blip.position)) continue;
    const double x = panel.X(blip.position);
    const double y = panel.Y(blip.position);
    if (blip.kind == MapBlip::Kind::kLoot) {
      svg.Raw("<g class=\"blip\">\n");
      svg.Title("money-stack blip at " + ScenarioPosition(blip.position) +
                (blip.leftBehind ? ", left behind by a reload" : ""));
      MoneyBadge(svg, x + 12, y - 14);
      if (blip.leftBehind) LeftBehindSquare(svg, x + 12, y - 14, 10);
      svg.Raw("</g>\n");
      labels.AddBox(Box::Around({x + 12, y - 14}, 8));
    } else if (blip.kind == MapBlip::Kind::kHome) {
      svg.Raw("<g class=\"blip\">\n");
      svg.Title("home blip at " + ScenarioPosition(blip.position) +
                (blip.leftBehind ? ", left behind by a reload" : ""));
      House(svg, x, y - 22, 9);
      if (blip.leftBehind) LeftBehindSquare(svg, x, y - 22, 12);
      svg.Raw("</g>\n");
      labels.AddBox({x - 10, y - 32, x + 10, y - 12});
    }
  }
}

}  // namespace

void DrawDetail(Svg& svg, const Panel& panel, const MapData& map, const std::vector<bool>& back,
                std::vector<LabelBox>* report) {
  PanelFrame(svg, panel,
             "The yard, " + std::to_string(static_cast<int>(2 * panel.radiusM)) +
                 " m across: occupants, money and blips");
  Labeller labels(PanelBox(panel), report);
  svg.Raw("<g clip-path=\"url(#" + std::string(panel.id) + "-clip)\">\n");
  DrawGridAndRings(svg, panel, map);
  const Point centre = panel.At(map.centre);
  DrawCentre(svg, centre, map, labels);
  DrawPlayerPath(svg, panel, map.playerPath, back, 0.6, 90, labels);
  DrawFlights(svg, panel, map, labels);
  const Vec3 loot = map.lootPlaced.value_or(map.lootSpot);
  DrawMoney(svg, panel, map, loot, labels);
  const std::vector<Point> placed = DrawOccupants(svg, panel, centre, map, labels);
  DrawDeaths(svg, panel, map, placed, labels);
  DrawBlips(svg, panel, map, labels);
  DrawTimeMarks(svg, panel, map, labels);
  svg.Raw("</g>\n");
  ScaleAndNorth(svg, panel, 2, labels);

  labels.Place(svg, {centre}, 10, "centre", 11, kInk);
  labels.Place(svg, {panel.At(loot)}, 10, "money", 11, kInk);
  RingLabel(svg, labels, panel, map.centre, kHomeBlipRadius,
            Metres(kHomeBlipRadius) + ": home blip goes");
  RingLabel(svg, labels, panel, map.lootSpot, kLootBlipRadius,
            Metres(kLootBlipRadius) + ": money blip goes");
}

}  // namespace sim::map_render
