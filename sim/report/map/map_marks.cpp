#include "sim/report/map/map_marks.h"

#include <cstdio>
#include <optional>

#include "platform/format.h"
#include "sim/base/sim_time.h"

namespace sim::map_render {

std::string Metres(float metres) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g m", static_cast<double>(metres));
  return buffer;
}

std::string ScenarioPosition(const Vec3& p) {
  return platform::FixedTriple(p.x, p.y, p.z, " ");
}

void House(Svg& svg, double x, double y, double r) {
  svg.Raw("<path d=\"M" + Num(x) + "," + Num(y - r) + " L" + Num(x + r) + "," + Num(y) + " L" +
          Num(x + r * 0.7) + "," + Num(y) + " L" + Num(x + r * 0.7) + "," + Num(y + r) + " L" +
          Num(x - r * 0.7) + "," + Num(y + r) + " L" + Num(x - r * 0.7) + "," + Num(y) + " L" +
          Num(x - r) + "," + Num(y) + " Z\" fill=\"" + kHomeBlip +
          "\" stroke=\"white\" stroke-width=\"1\"/>\n");
}

void MoneyBadge(Svg& svg, double x, double y) {
  svg.Circle(x, y, 7,
             std::string("fill=\"") + kLoot + "\" stroke=\"" + kInk + "\" stroke-width=\"1\"");
  svg.Text(x, y + 4, "$", "font-size=\"11\" font-weight=\"bold\" text-anchor=\"middle\"");
}

void LootSquare(Svg& svg, double x, double y, double half, bool filled) {
  svg.Rect(x - half, y - half, 2 * half, 2 * half,
           filled ? std::string("fill=\"") + kLoot + "\" stroke=\"" + kInk + "\" stroke-width=\"1\""
                  : std::string("fill=\"none\" stroke=\"") + kLoot +
                        "\" stroke-width=\"2\" stroke-dasharray=\"3,2\"");
}

void LeftBehindSquare(Svg& svg, double x, double y, double half) {
  svg.Rect(x - half, y - half, 2 * half, 2 * half,
           std::string("class=\"left-behind\" fill=\"none\" stroke=\"") + kLeftBehind +
               "\" stroke-width=\"1.5\" stroke-dasharray=\"4,2\"");
}

void CentreCross(Svg& svg, double x, double y) {
  const std::string style = std::string("stroke=\"") + kInk + "\" stroke-width=\"1.5\"";
  svg.Line(x - 8, y, x + 8, y, style);
  svg.Line(x, y - 8, x, y + 8, style);
}

void DrawPathRuns(Svg& svg, const std::vector<PathRun>& runs, double opacity) {
  for (const PathRun& run : runs) {
    std::string style = std::string("class=\"") + (run.back ? "ridden-back" : "ridden-out") +
                        "\" stroke=\"" + kPlayer + "\" stroke-width=\"2.5\"" +
                        " stroke-linejoin=\"round\" stroke-opacity=\"" + Num(opacity) + "\"";
    if (run.back) style += std::string(" stroke-dasharray=\"") + kReturnDash + "\"";
    svg.Polyline(run.points, style);
  }
}

void DrawArrows(Svg& svg, const std::vector<PathRun>& runs, double spacing, Labeller& labels) {
  double untilNext = spacing / 2;
  for (const PathRun& run : runs) {
    for (std::size_t i = 1; i < run.points.size(); ++i) {
      const Point a = run.points[i - 1];
      const Point b = run.points[i];
      const double dx = b.x - a.x;
      const double dy = b.y - a.y;
      const double length = std::sqrt(dx * dx + dy * dy);
      double at = untilNext;
      for (; at < length; at += spacing) {
        const Point p{a.x + dx * at / length, a.y + dy * at / length};
        svg.Arrow(p, {dx / length, dy / length}, kPlayer);
        labels.AddBox(Box::Around(p, 6));
      }
      untilNext = at - length;
    }
  }
}

void DrawTimeMarks(Svg& svg, const Panel& panel, const MapData& map, Labeller& labels) {
  const std::vector<Vec3>& path = map.playerPath;
  if (map.playerPathUs.size() != path.size() || path.size() < 2) return;
  const int64_t interval = TimeMarkInterval(map.playerPathUs.back() - map.playerPathUs.front());
  std::optional<Point> last;
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    const int64_t t0 = map.playerPathUs[i];
    const int64_t t1 = map.playerPathUs[i + 1];
    const Point a = panel.At(path[i]);
    const Point b = panel.At(path[i + 1]);
    const Point u = Unit(a, b);
    for (int64_t mark = (t0 / interval + 1) * interval; mark <= t1 && t1 > t0; mark += interval) {
      const double f = static_cast<double>(mark - t0) / static_cast<double>(t1 - t0);
      const Point p{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f};
      if (!panel.Contains(path[i]) || !panel.Contains(path[i + 1])) continue;
      // Marks where he stood still would pile up: one per place.
      if (last && (p.x - last->x) * (p.x - last->x) + (p.y - last->y) * (p.y - last->y) < 400) {
        continue;
      }
      last = p;
      const Point n{-u.y * 7, u.x * 7};
      svg.Line(p.x - n.x, p.y - n.y, p.x + n.x, p.y + n.y,
               std::string("class=\"time-mark\" stroke=\"") + kInk + "\" stroke-width=\"1.5\"");
      labels.AddBox(Box::Around(p, 7));
      labels.Place(svg, {p}, 6, SimTimeSecondsText(mark), 10, kInk);
    }
  }
}

void Ring(Svg& svg, const Panel& panel, const Vec3& centre, double radiusM) {
  svg.Circle(panel.X(centre), panel.Y(centre), radiusM * panel.Scale(),
             std::string("fill=\"none\" stroke=\"") + kRing +
                 "\" stroke-width=\"1.2\" stroke-dasharray=\"6,4\"");
}

void RingLabel(Svg& svg, Labeller& labels, const Panel& panel, const Vec3& centre, double radiusM,
               std::string_view text) {
  const double x = panel.X(centre);
  const double y = panel.Y(centre);
  const double r = radiusM * panel.Scale();
  const double d = r * 0.7071;
  labels.Place(svg,
               {{x, y - r},
                {x, y + r},
                {x + d, y - d},
                {x - d, y - d},
                {x + d, y + d},
                {x - d, y + d},
                {x + r, y},
                {x - r, y}},
               3, text, 11, kRing);
}

void PanelFrame(Svg& svg, const Panel& panel, std::string_view caption) {
  svg.Raw("<clipPath id=\"" + std::string(panel.id) + "-clip\"><rect x=\"" + Num(panel.left) +
          "\" y=\"" + Num(panel.top) + "\" width=\"" + Num(panel.size) + "\" height=\"" +
          Num(panel.size) + "\"/></clipPath>\n");
  svg.Rect(panel.left, panel.top, panel.size, panel.size,
           std::string("fill=\"") + kPaper + "\" stroke=\"" + kInk + "\" stroke-width=\"1\"");
  svg.Text(panel.left, panel.top - 8, caption, "font-size=\"13\" font-weight=\"bold\"");
}

Box PanelBox(const Panel& panel) {
  return {panel.left + 2, panel.top + 2, panel.left + panel.size - 2, panel.top + panel.size - 2};
}

void ScaleAndNorth(Svg& svg, const Panel& panel, double metres, Labeller& labels) {
  const double x = panel.left + 14;
  const double y = panel.top + panel.size - 16;
  const double w = metres * panel.Scale();
  const std::string style = std::string("stroke=\"") + kInk + "\" stroke-width=\"2\"";
  svg.Line(x, y, x + w, y, style);
  svg.Line(x, y - 5, x, y + 5, style);
  svg.Line(x + w, y - 5, x + w, y + 5, style);
  char label[32];
  std::snprintf(label, sizeof label, "%g m", metres);
  svg.Text(x + w / 2, y - 7, label, "font-size=\"11\" text-anchor=\"middle\"");
  labels.AddBox({x - 4, y - 20, x + w + 4, y + 6});

  const double nx = panel.left + panel.size - 22;
  const double ny = panel.top + 18;
  svg.Raw("<path d=\"M" + Num(nx) + "," + Num(ny) + " L" + Num(nx + 6) + "," + Num(ny + 16) + " L" +
          Num(nx) + "," + Num(ny + 12) + " L" + Num(nx - 6) + "," + Num(ny + 16) + " Z\" fill=\"" +
          kInk + "\"/>\n");
  svg.Text(nx, ny + 30, "N", "font-size=\"11\" text-anchor=\"middle\"");
  labels.AddBox({nx - 10, ny - 2, nx + 10, ny + 34});
}

const char* OccupantColour(const MapOccupant& occupant) {
  if (occupant.death) return kDead;
  if (occupant.gotAway) return kFlight;
  if (occupant.removed) return "white";
  return kAlive;
}

std::string OccupantName(const MapOccupant& occupant) {
  std::string name = "occupant " + std::to_string(occupant.index);
  if (occupant.set > 1) name += " (set " + std::to_string(occupant.set) + ")";
  return name;
}

std::string OccupantId(const MapOccupant& occupant) {
  std::string id = "occupant-" + std::to_string(occupant.index);
  if (occupant.set > 1) id += "-set" + std::to_string(occupant.set);
  return id;
}

std::string OccupantTooltip(const MapOccupant& occupant) {
  char heading[32];
  std::snprintf(heading, sizeof heading, "%.1f", occupant.heading);
  std::string text = OccupantName(occupant) + " spawned at " + ScenarioPosition(occupant.spawn) +
                     ", heading " + heading;
  if (occupant.death) {
    text += "; shot dead at " + ScenarioPosition(*occupant.death);
  } else if (occupant.gotAway) {
    text += "; got away";
  } else if (occupant.removed) {
    text += "; removed alive at teardown";
  } else {
    text += "; alive at the end";
  }
  if (occupant.leftBehind) text += "; left behind by a reload";
  return text;
}

void DrawPlayerPath(Svg& svg, const Panel& panel, const std::vector<Vec3>& path,
                    const std::vector<bool>& back, double opacity, double arrowSpacing,
                    Labeller& labels) {
  const std::vector<PathRun> runs = PathRuns(panel, path, back);
  svg.Raw("<g class=\"player-path\">\n");
  DrawPathRuns(svg, runs, opacity);
  for (const PathRun& run : runs) labels.AddPath(run.points);
  DrawArrows(svg, runs, arrowSpacing, labels);
  svg.Raw("</g>\n");
}

}  // namespace sim::map_render
