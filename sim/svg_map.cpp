#include "sim/svg_map.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string_view>

namespace sim {
namespace {

constexpr double kWidth = 1200;
constexpr double kHeight = 930;

// Colours, one per kind of thing, shared by the drawing and the legend.
constexpr const char* kPaper = "#f6f1e3";
constexpr const char* kInk = "#333333";
constexpr const char* kRing = "#8a8170";
constexpr const char* kPlayer = "#1f5fbf";
constexpr const char* kFlight = "#e07b00";
constexpr const char* kDeath = "#c0392b";
constexpr const char* kAlive = "#3f8f3f";
constexpr const char* kDead = "#8c8c8c";
constexpr const char* kLoot = "#d4a017";
constexpr const char* kHomeBlip = "#6b3fa0";
constexpr const char* kEnemyBlip = "#d62728";

// A square window on the world, drawn at a fixed place on the page.
struct Panel {
  std::string_view id;
  double left;
  double top;
  double size;     // pixels, square
  double radiusM;  // metres from the window's middle to its edge
  Vec3 origin;     // world point at the window's middle

  double Scale() const { return size / (2 * radiusM); }
  double X(const Vec3& p) const { return left + size / 2 + (p.x - origin.x) * Scale(); }
  // World north (+y) is up on the page.
  double Y(const Vec3& p) const { return top + size / 2 - (p.y - origin.y) * Scale(); }
  bool Contains(const Vec3& p) const {
    return std::abs(p.x - origin.x) <= radiusM && std::abs(p.y - origin.y) <= radiusM;
  }
};

std::string Num(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  std::string text = buffer;
  if (text == "-0.0") text = "0.0";
  return text;
}

std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

class Svg {
 public:
  void Raw(std::string_view text) { out_ += text; }

  void Text(double x, double y, std::string_view text, std::string_view extra = "") {
    out_ += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"";
    if (!extra.empty()) out_ += " " + std::string(extra);
    out_ += ">" + Escape(text) + "</text>\n";
  }

  void Circle(double cx, double cy, double r, std::string_view style) {
    out_ += "<circle cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) + "\" r=\"" + Num(r) + "\" " +
            std::string(style) + "/>\n";
  }

  void Line(double x1, double y1, double x2, double y2, std::string_view style) {
    out_ += "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
            Num(y2) + "\" " + std::string(style) + "/>\n";
  }

  void Rect(double x, double y, double w, double h, std::string_view style) {
    out_ += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" +
            Num(h) + "\" " + std::string(style) + "/>\n";
  }

  void Polyline(const Panel& panel, const std::vector<Vec3>& points, std::string_view style) {
    if (points.size() < 2) return;
    out_ += "<polyline points=\"";
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (i > 0) out_ += " ";
      out_ += Num(panel.X(points[i])) + "," + Num(panel.Y(points[i]));
    }
    out_ += "\" fill=\"none\" " + std::string(style) + "/>\n";
  }

  // An X of half-size `r`.
  void Cross(double x, double y, double r, std::string_view colour, double width) {
    const std::string style = "stroke=\"" + std::string(colour) + "\" stroke-width=\"" +
                              Num(width) + "\" stroke-linecap=\"round\"";
    Line(x - r, y - r, x + r, y + r, style);
    Line(x - r, y + r, x + r, y - r, style);
  }

  // A house shape: the home blip.
  void House(double x, double y, double r) {
    out_ += "<path d=\"M" + Num(x) + "," + Num(y - r) + " L" + Num(x + r) + "," + Num(y) + " L" +
            Num(x + r * 0.7) + "," + Num(y) + " L" + Num(x + r * 0.7) + "," + Num(y + r) + " L" +
            Num(x - r * 0.7) + "," + Num(y + r) + " L" + Num(x - r * 0.7) + "," + Num(y) + " L" +
            Num(x - r) + "," + Num(y) + " Z\" fill=\"" + kHomeBlip +
            "\" stroke=\"white\" stroke-width=\"1\"/>\n";
  }

  // A money bag: the money-stack blip.
  void MoneyBadge(double x, double y) {
    Circle(x, y, 7,
           std::string("fill=\"") + kLoot + "\" stroke=\"" + kInk + "\" stroke-width=\"1\"");
    Text(x, y + 4, "$", "font-size=\"11\" font-weight=\"bold\" text-anchor=\"middle\"");
  }

  void LootSquare(double x, double y, double half, bool filled) {
    Rect(x - half, y - half, 2 * half, 2 * half,
         filled ? std::string("fill=\"") + kLoot + "\" stroke=\"" + kInk + "\" stroke-width=\"1\""
                : std::string("fill=\"none\" stroke=\"") + kLoot +
                      "\" stroke-width=\"2\" stroke-dasharray=\"3,2\"");
  }

  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

enum class LabelAt : unsigned char { kNone, kTop, kBottom };

void Ring(Svg& svg, const Panel& panel, const Vec3& centre, double radiusM, std::string_view label,
          LabelAt at) {
  const double x = panel.X(centre);
  const double y = panel.Y(centre);
  const double r = radiusM * panel.Scale();
  svg.Circle(x, y, r,
             std::string("fill=\"none\" stroke=\"") + kRing +
                 "\" stroke-width=\"1.2\" stroke-dasharray=\"6,4\"");
  // A white halo keeps the label readable where it crosses a marker or a path.
  const std::string style =
      std::string("font-size=\"11\" fill=\"") + kRing +
      "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\" text-anchor=";
  switch (at) {
    case LabelAt::kNone:
      break;
    case LabelAt::kTop:
      svg.Text(x, y - r - 4, label, style + "\"middle\"");
      break;
    case LabelAt::kBottom:
      svg.Text(x, y + r + 13, label, style + "\"middle\"");
      break;
  }
}

void PanelFrame(Svg& svg, const Panel& panel, std::string_view caption) {
  svg.Raw("<clipPath id=\"" + std::string(panel.id) + "-clip\"><rect x=\"" + Num(panel.left) +
          "\" y=\"" + Num(panel.top) + "\" width=\"" + Num(panel.size) + "\" height=\"" +
          Num(panel.size) + "\"/></clipPath>\n");
  svg.Rect(panel.left, panel.top, panel.size, panel.size,
           std::string("fill=\"") + kPaper + "\" stroke=\"" + kInk + "\" stroke-width=\"1\"");
  svg.Text(panel.left, panel.top - 8, caption, "font-size=\"13\" font-weight=\"bold\"");
}

void ScaleBar(Svg& svg, const Panel& panel, double metres) {
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
}

void NorthArrow(Svg& svg, const Panel& panel) {
  const double x = panel.left + panel.size - 22;
  const double y = panel.top + 18;
  svg.Raw("<path d=\"M" + Num(x) + "," + Num(y) + " L" + Num(x + 6) + "," + Num(y + 16) + " L" +
          Num(x) + "," + Num(y + 12) + " L" + Num(x - 6) + "," + Num(y + 16) + " Z\" fill=\"" +
          kInk + "\"/>\n");
  svg.Text(x, y + 30, "N", "font-size=\"11\" text-anchor=\"middle\"");
}

std::string FormatClockMinute(int minutes) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", minutes / 60 % 24, minutes % 60);
  return buffer;
}

const char* OccupantColour(const MapOccupant& occupant) {
  if (occupant.death) return kDead;
  if (occupant.gotAway) return kFlight;
  return kAlive;
}

std::string OccupantId(const MapOccupant& occupant) {
  std::string id = "occupant-" + std::to_string(occupant.index);
  if (occupant.set > 1) id += "-set" + std::to_string(occupant.set);
  return id;
}

void DrawOverview(Svg& svg, const Panel& panel, const Panel& detail, const MapData& map) {
  PanelFrame(svg, panel,
             "The encounter area, " + std::to_string(static_cast<int>(2 * panel.radiusM)) +
                 " m across: distance rings around the centre");
  svg.Raw("<g clip-path=\"url(#" + std::string(panel.id) + "-clip)\">\n");
  Ring(svg, panel, map.centre, 100, "100 m: teardown beyond", LabelAt::kTop);
  Ring(svg, panel, map.centre, 80, "80 m: occupants and money appear", LabelAt::kTop);
  Ring(svg, panel, map.centre, 32, "32 m: approach talk", LabelAt::kBottom);
  Ring(svg, panel, map.centre, 20, "20 m: confrontation", LabelAt::kBottom);
  Ring(svg, panel, map.centre, 4, "", LabelAt::kNone);
  svg.Rect(panel.X(map.centre) - detail.radiusM * panel.Scale(),
           panel.Y(map.centre) - detail.radiusM * panel.Scale(), 2 * detail.radiusM * panel.Scale(),
           2 * detail.radiusM * panel.Scale(),
           std::string("fill=\"none\" stroke=\"") + kInk +
               "\" stroke-width=\"0.8\" stroke-dasharray=\"2,2\"");

  svg.Raw("<g class=\"player-path\">\n");
  svg.Polyline(
      panel, map.playerPath,
      std::string("stroke=\"") + kPlayer + "\" stroke-width=\"2.5\" stroke-linejoin=\"round\"");
  if (!map.playerPath.empty()) {
    const Vec3& start = map.playerPath.front();
    const Vec3& end = map.playerPath.back();
    svg.Circle(panel.X(start), panel.Y(start), 6,
               std::string("fill=\"white\" stroke=\"") + kPlayer + "\" stroke-width=\"2.5\"");
    svg.Text(panel.X(start) + 9, panel.Y(start) + 4, "start", "font-size=\"11\"");
    svg.Rect(panel.X(end) - 5, panel.Y(end) - 5, 10, 10, std::string("fill=\"") + kPlayer + "\"");
    svg.Text(panel.X(end) + 9, panel.Y(end) + 4, "end", "font-size=\"11\"");
  }
  svg.Raw("</g>\n");

  for (const MapOccupant& occupant : map.occupants) {
    if (occupant.flight.size() < 2) continue;
    svg.Raw("<g class=\"flight\">\n");
    svg.Polyline(
        panel, occupant.flight,
        std::string("stroke=\"") + kFlight + "\" stroke-width=\"2.5\" stroke-dasharray=\"7,4\"");
    const Vec3& last = occupant.flight.back();
    const std::string what = occupant.gotAway ? "got away" : occupant.death ? "shot" : "fleeing";
    svg.Text(panel.X(last) + 8, panel.Y(last) - 6,
             "occupant " + std::to_string(occupant.index) + " " + what,
             std::string("font-size=\"11\" fill=\"") + kFlight + "\"");
    if (occupant.gotAway) {
      svg.Circle(panel.X(last), panel.Y(last), 5,
                 std::string("fill=\"white\" stroke=\"") + kFlight + "\" stroke-width=\"2\"");
    }
    svg.Raw("</g>\n");
  }

  // Deaths outside the close-up are drawn here; the others there.
  for (const MapOccupant& occupant : map.occupants) {
    if (!occupant.death || detail.Contains(*occupant.death)) continue;
    svg.Raw("<g class=\"death\" id=\"death-" + OccupantId(occupant) + "\">\n");
    svg.Cross(panel.X(*occupant.death), panel.Y(*occupant.death), 5, kDeath, 2.5);
    svg.Raw("</g>\n");
  }

  svg.House(panel.X(map.centre), panel.Y(map.centre) - 14, 7);
  svg.Raw("</g>\n");
  NorthArrow(svg, panel);
  ScaleBar(svg, panel, 50);
}

void DrawDetail(Svg& svg, const Panel& panel, const MapData& map) {
  PanelFrame(svg, panel,
             "The yard, " + std::to_string(static_cast<int>(2 * panel.radiusM)) +
                 " m across: occupants, money and blips");
  svg.Raw("<g clip-path=\"url(#" + std::string(panel.id) + "-clip)\">\n");
  // A one-metre grid gives a sense of scale at a glance.
  for (int i = -static_cast<int>(panel.radiusM); i <= static_cast<int>(panel.radiusM); ++i) {
    const double x = panel.left + panel.size / 2 + i * panel.Scale();
    const double y = panel.top + panel.size / 2 + i * panel.Scale();
    const std::string style = "stroke=\"#e4dcc6\" stroke-width=\"1\"";
    svg.Line(x, panel.top, x, panel.top + panel.size, style);
    svg.Line(panel.left, y, panel.left + panel.size, y, style);
  }
  Ring(svg, panel, map.centre, 4, "4 m: home blip goes", LabelAt::kBottom);
  const Vec3 loot = map.lootPlaced.value_or(map.lootSpot);
  Ring(svg, panel, map.lootSpot, 1.5, "1.5 m: money blip goes", LabelAt::kTop);

  const double cx = panel.X(map.centre);
  const double cy = panel.Y(map.centre);
  const std::string centreStyle = std::string("stroke=\"") + kInk + "\" stroke-width=\"1.5\"";
  svg.Line(cx - 8, cy, cx + 8, cy, centreStyle);
  svg.Line(cx, cy - 8, cx, cy + 8, centreStyle);
  svg.Text(cx + 6, cy + 16, "centre", "font-size=\"11\"");

  svg.Raw("<g class=\"player-path\">\n");
  svg.Polyline(
      panel, map.playerPath,
      std::string("stroke=\"") + kPlayer + "\" stroke-width=\"2.5\" stroke-opacity=\"0.6\"");
  svg.Raw("</g>\n");
  for (const MapOccupant& occupant : map.occupants) {
    svg.Polyline(
        panel, occupant.flight,
        std::string("stroke=\"") + kFlight + "\" stroke-width=\"2.5\" stroke-dasharray=\"7,4\"");
  }

  if (map.lootPlaced) {
    svg.Raw("<g class=\"loot\">\n");
    svg.LootSquare(panel.X(loot), panel.Y(loot), 7, true);
    svg.Text(panel.X(loot) - 10, panel.Y(loot) + 4, "money",
             "font-size=\"11\" text-anchor=\"end\"");
    svg.Raw("</g>\n");
  }
  if (!map.lootPlaced || Distance(*map.lootPlaced, map.lootSpot) > 0.1) {
    svg.LootSquare(panel.X(map.lootSpot), panel.Y(map.lootSpot), 7, false);
  }

  // Occupants on different floors can stand almost on top of each other; a
  // marker that would hide an earlier one moves aside, tied to its true spot.
  // The home blip's house above the centre counts as taken too.
  std::vector<std::pair<double, double>> taken = {{cx, cy - 22}};
  std::vector<std::pair<double, double>> placed;
  constexpr std::array<std::pair<double, double>, 8> kNudges = {
      {{24, 0}, {-24, 0}, {0, 24}, {0, -24}, {24, 24}, {-24, 24}, {24, -24}, {-24, -24}}};
  auto isFree = [&taken](double x, double y) {
    for (const auto& [px, py] : taken) {
      if (std::hypot(px - x, py - y) < 20) return false;
    }
    return true;
  };
  for (const MapOccupant& occupant : map.occupants) {
    const double trueX = panel.X(occupant.spawn);
    const double trueY = panel.Y(occupant.spawn);
    double x = trueX;
    double y = trueY;
    for (std::size_t i = 0; !isFree(x, y) && i < kNudges.size(); ++i) {
      x = trueX + kNudges[i].first;
      y = trueY + kNudges[i].second;
    }
    taken.emplace_back(x, y);
    placed.emplace_back(x, y);
    const double radians = occupant.heading * std::numbers::pi / 180.0;
    // Counter-clockwise from north: 90 degrees faces west.
    const double hx = -std::sin(radians);
    const double hy = std::cos(radians);
    svg.Raw("<g class=\"occupant-spawn\" id=\"" + OccupantId(occupant) + "\">\n");
    if (x != trueX) {
      svg.Line(trueX, trueY, x, y, std::string("stroke=\"") + kInk + "\" stroke-width=\"1\"");
      svg.Circle(trueX, trueY, 2, std::string("fill=\"") + kInk + "\"");
    }
    svg.Line(x, y, x + hx * 24, y - hy * 24,
             std::string("stroke=\"") + kInk + "\" stroke-width=\"2.5\" stroke-linecap=\"round\"");
    if (occupant.blips > 0) {
      svg.Circle(x, y, 14,
                 std::string("class=\"blip\" fill=\"none\" stroke=\"") + kEnemyBlip +
                     "\" stroke-width=\"1.2\"");
    }
    svg.Circle(x, y, 10,
               std::string("fill=\"") + OccupantColour(occupant) +
                   "\" stroke=\"white\" stroke-width=\"1.5\"");
    svg.Text(x, y + 4, std::to_string(occupant.index),
             "font-size=\"11\" font-weight=\"bold\" fill=\"white\" text-anchor=\"middle\"");
    svg.Raw("</g>\n");
  }
  for (std::size_t i = 0; i < map.occupants.size(); ++i) {
    const MapOccupant& occupant = map.occupants[i];
    if (!occupant.death || !panel.Contains(*occupant.death)) continue;
    svg.Raw("<g class=\"death\" id=\"death-" + OccupantId(occupant) + "\">\n");
    // One shot where he stood is marked beside his (possibly moved) marker.
    const bool atSpawn = Distance(*occupant.death, occupant.spawn) < 0.5;
    const double x = atSpawn ? placed[i].first : panel.X(*occupant.death);
    const double y = atSpawn ? placed[i].second : panel.Y(*occupant.death);
    // Beside the spawn marker, so that a man shot where he stood stays readable.
    svg.Cross(x + 13, y - 13, 5, kDeath, 2.5);
    svg.Raw("</g>\n");
  }

  for (const MapBlip& blip : map.blips) {
    if (!panel.Contains(blip.position)) continue;
    const double x = panel.X(blip.position);
    const double y = panel.Y(blip.position);
    if (blip.kind == MapBlip::Kind::kLoot) {
      svg.Raw("<g class=\"blip\">\n");
      svg.MoneyBadge(x + 12, y - 14);
      svg.Raw("</g>\n");
    } else if (blip.kind == MapBlip::Kind::kHome) {
      svg.Raw("<g class=\"blip\">\n");
      svg.House(x, y - 22, 9);
      svg.Raw("</g>\n");
    }
  }
  svg.Raw("</g>\n");
  NorthArrow(svg, panel);
  ScaleBar(svg, panel, 2);
}

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

void DrawBlipTable(Svg& svg, double left, double top, const MapData& map) {
  svg.Text(left, top, "Blips on the map (game clock)", "font-size=\"13\" font-weight=\"bold\"");
  double y = top + 20;
  int occupantAdded = 0;
  int occupantRemoved = 0;
  constexpr int kMaxRows = 9;
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
      svg.House(left + 7, y - 4, 6);
    } else if (blip.kind == MapBlip::Kind::kLoot) {
      svg.MoneyBadge(left + 7, y - 4);
    }
    const std::string label = blip.label.empty() ? "(no label)" : "\"" + blip.label + "\"";
    const std::string when =
        FormatClockMinute(blip.addedClock) + " to " +
        (blip.removedClock ? FormatClockMinute(*blip.removedClock) : "the end");
    svg.Text(left + 20, y, label + "  " + std::string(BlipKindName(blip.kind)) + ", " + when,
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
  const double row = 20;
  const std::array<double, 3> columns = {left, left + 390, left + 780};
  struct Entry {
    int column;
    int line;
    std::string_view text;
  };
  constexpr std::array<Entry, 11> kEntries = {{
      {0, 1, "player's path, from the start circle to the end square"},
      {0, 2, "occupant's spawn point (number: index), tick: heading"},
      {0, 3, "spawn colour: green alive, grey dead, orange got away"},
      {0, 4, "where an occupant died"},
      {1, 1, "flight of the last occupant"},
      {1, 2, "money stack (dashed: where the money is kept)"},
      {1, 3, "home blip"},
      {1, 4, "money-stack blip"},
      {2, 1, "blip on an occupant"},
      {2, 2, "distance ring (metres from the centre;"},
      {2, 3, "  1.5 m is measured from the money)"},
  }};
  for (const Entry& entry : kEntries) {
    const double x = columns[entry.column];
    const double y = top + entry.line * row;
    svg.Text(x + 34, y + 4, entry.text, "font-size=\"12\"");
  }
  const double y1 = top + row;
  const double y2 = top + 2 * row;
  const double y3 = top + 3 * row;
  const double y4 = top + 4 * row;
  svg.Line(columns[0], y1, columns[0] + 26, y1,
           std::string("stroke=\"") + kPlayer + "\" stroke-width=\"2.5\"");
  svg.Circle(columns[0] + 13, y2, 7, std::string("fill=\"") + kAlive + "\"");
  svg.Line(columns[0] + 13, y2, columns[0] + 13, y2 - 12,
           std::string("stroke=\"") + kInk + "\" stroke-width=\"2\"");
  svg.Circle(columns[0] + 6, y3, 5, std::string("fill=\"") + kAlive + "\"");
  svg.Circle(columns[0] + 16, y3, 5, std::string("fill=\"") + kDead + "\"");
  svg.Circle(columns[0] + 26, y3, 5, std::string("fill=\"") + kFlight + "\"");
  svg.Cross(columns[0] + 13, y4, 5, kDeath, 2.5);
  svg.Line(columns[1], y1, columns[1] + 26, y1,
           std::string("stroke=\"") + kFlight + "\" stroke-width=\"2.5\" stroke-dasharray=\"7,4\"");
  svg.LootSquare(columns[1] + 8, y2, 6, true);
  svg.LootSquare(columns[1] + 22, y2, 5, false);
  svg.House(columns[1] + 13, y3, 7);
  svg.MoneyBadge(columns[1] + 13, y4);
  svg.Circle(columns[2] + 13, y1, 7,
             std::string("fill=\"none\" stroke=\"") + kEnemyBlip + "\" stroke-width=\"1.5\"");
  svg.Circle(columns[2] + 13, y2 + 4, 9,
             std::string("fill=\"none\" stroke=\"") + kRing + "\" stroke-dasharray=\"6,4\"");
}

}  // namespace

std::string RenderMap(const MapData& map) {
  Svg svg;
  svg.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  svg.Raw("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" +
          Num(kHeight) + "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(kHeight) +
          "\" font-family=\"sans-serif\" fill=\"" + kInk + "\">\n");
  svg.Raw("<title>" + Escape(map.title) + "</title>\n");
  svg.Rect(0, 0, kWidth, kHeight, "fill=\"white\"");
  svg.Text(20, 30, map.title, "font-size=\"20\" font-weight=\"bold\"");
  svg.Text(20, 50, map.subtitle, "font-size=\"13\"");

  const Panel overview{"overview", 20, 80, 680, 170, map.centre};
  const Panel detail{"yard", 730, 80, 450, 9, map.centre};
  DrawOverview(svg, overview, detail, map);
  DrawDetail(svg, detail, map);
  DrawBlipTable(svg, 730, 565, map);
  DrawLegend(svg, 20, 800);
  svg.Raw("</svg>\n");
  return svg.Take();
}

}  // namespace sim
