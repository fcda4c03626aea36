#include <string>

#include "encounter/distances.h"
#include "sim/report/map/map_marks.h"
#include "sim/report/map/panels.h"

namespace sim::map_render {
namespace {

using homestead::kApproachRadius;
using homestead::kConfrontationRadius;
using homestead::kHomeBlipRadius;
using homestead::kStageRadius;
using homestead::kTeardownDistance;

// The rings around the centre and the outline of the yard's close-up.
void DrawRingsAndYard(Svg& svg, const Panel& panel, const Panel& detail, const MapData& map) {
  for (double ring :
       {kTeardownDistance, kStageRadius, kApproachRadius, kConfrontationRadius, kHomeBlipRadius}) {
    Ring(svg, panel, map.centre, ring);
  }
  svg.Rect(panel.X(map.centre) - detail.radiusM * panel.Scale(),
           panel.Y(map.centre) - detail.radiusM * panel.Scale(), 2 * detail.radiusM * panel.Scale(),
           2 * detail.radiusM * panel.Scale(),
           std::string("fill=\"none\" stroke=\"") + kInk +
               "\" stroke-width=\"0.8\" stroke-dasharray=\"2,2\"");
}

void DrawFlights(Svg& svg, const Panel& panel, const MapData& map, Labeller& labels) {
  for (const MapOccupant& occupant : map.occupants) {
    if (occupant.flight.size() < 2) continue;
    const std::vector<Point> flight = OnPage(panel, occupant.flight);
    labels.AddPath(flight);
    svg.Raw("<g class=\"flight\">\n");
    svg.Title(OccupantName(occupant) + " fled from " + ScenarioPosition(occupant.flight.front()) +
              " to " + ScenarioPosition(occupant.flight.back()));
    svg.Polyline(flight, std::string("stroke=\"") + kFlight +
                             "\" stroke-width=\"2.5\" stroke-dasharray=\"7,4\"");
    if (occupant.gotAway) {
      svg.Circle(flight.back().x, flight.back().y, 5,
                 std::string("fill=\"white\" stroke=\"") + kFlight + "\" stroke-width=\"2\"");
      labels.AddBox(Box::Around(flight.back(), 6));
    }
    svg.Raw("</g>\n");
  }
}

// Deaths outside the close-up are drawn here; the others there.
void DrawDeathsOutside(Svg& svg, const Panel& panel, const Panel& detail, const MapData& map,
                       Labeller& labels) {
  for (const MapOccupant& occupant : map.occupants) {
    if (!occupant.death || detail.Contains(*occupant.death)) continue;
    const Point at = panel.At(*occupant.death);
    svg.Raw("<g class=\"death\" id=\"death-" + OccupantId(occupant) + "\">\n");
    svg.Title(OccupantName(occupant) + " died at " + ScenarioPosition(*occupant.death));
    svg.Cross(at.x, at.y, 5, kDeath, 2.5);
    svg.Raw("</g>\n");
    labels.AddBox(Box::Around(at, 6));
  }
}

// The house over the centre, and the player's start and end.
void DrawCentreAndEnds(Svg& svg, const Panel& panel, const MapData& map, Labeller& labels) {
  const Point centre = panel.At(map.centre);
  svg.Raw("<g class=\"centre\">\n");
  svg.Title("centre of the homestead: " + ScenarioPosition(map.centre));
  House(svg, centre.x, centre.y - 14, 7);
  svg.Raw("</g>\n");
  labels.AddBox({centre.x - 8, centre.y - 22, centre.x + 8, centre.y - 6});

  if (map.playerPath.empty()) return;
  const Point start = panel.At(map.playerPath.front());
  const Point end = panel.At(map.playerPath.back());
  svg.Raw("<g class=\"player-start\">\n");
  svg.Title("the player's start: " + ScenarioPosition(map.playerPath.front()));
  svg.Circle(start.x, start.y, 6,
             std::string("fill=\"white\" stroke=\"") + kPlayer + "\" stroke-width=\"2.5\"");
  svg.Raw("</g>\n<g class=\"player-end\">\n");
  svg.Title("the player's end: " + ScenarioPosition(map.playerPath.back()));
  svg.Rect(end.x - 5, end.y - 5, 10, 10, std::string("fill=\"") + kPlayer + "\"");
  svg.Raw("</g>\n");
  labels.AddBox(Box::Around(start, 8));
  labels.AddBox(Box::Around(end, 7));
}

// Labels last, so that they avoid everything drawn.
void PlaceLabels(Svg& svg, const Panel& panel, const MapData& map, Labeller& labels) {
  if (!map.playerPath.empty()) {
    labels.Place(svg, {panel.At(map.playerPath.front())}, 9, "start", 11, kInk);
    labels.Place(svg, {panel.At(map.playerPath.back())}, 8, "end", 11, kInk);
  }
  for (const MapOccupant& occupant : map.occupants) {
    if (occupant.flight.size() < 2) continue;
    const std::string what = occupant.gotAway ? "got away" : occupant.death ? "shot" : "fleeing";
    labels.Place(svg, {panel.At(occupant.flight.back())}, 7,
                 "occupant " + std::to_string(occupant.index) + " " + what, 11, kFlight);
  }
  RingLabel(svg, labels, panel, map.centre, kTeardownDistance,
            Metres(kTeardownDistance) + ": teardown beyond");
  RingLabel(svg, labels, panel, map.centre, kStageRadius,
            Metres(kStageRadius) + ": occupants and money appear");
  RingLabel(svg, labels, panel, map.centre, kApproachRadius,
            Metres(kApproachRadius) + ": approach talk");
  RingLabel(svg, labels, panel, map.centre, kConfrontationRadius,
            Metres(kConfrontationRadius) + ": confrontation");
}

}  // namespace

void DrawOverview(Svg& svg, const Panel& panel, const Panel& detail, const MapData& map,
                  const std::vector<bool>& back, std::vector<LabelBox>* report) {
  PanelFrame(svg, panel,
             "The encounter area, " + std::to_string(static_cast<int>(2 * panel.radiusM)) +
                 " m across: distance rings around the centre");
  Labeller labels(PanelBox(panel), report);
  svg.Raw("<g clip-path=\"url(#" + std::string(panel.id) + "-clip)\">\n");
  DrawRingsAndYard(svg, panel, detail, map);
  DrawPlayerPath(svg, panel, map.playerPath, back, 1.0, 70, labels);
  DrawFlights(svg, panel, map, labels);
  DrawDeathsOutside(svg, panel, detail, map, labels);
  DrawCentreAndEnds(svg, panel, map, labels);
  DrawTimeMarks(svg, panel, map, labels);
  svg.Raw("</g>\n");
  ScaleAndNorth(svg, panel, 50, labels);
  PlaceLabels(svg, panel, map, labels);
}

}  // namespace sim::map_render
