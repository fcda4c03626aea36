#include "sim/report/map/svg_map.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "encounter/distances.h"
#include "platform/format.h"
#include "platform/portable_math.h"

namespace sim {
namespace {

using homestead::kApproachRadius;
using homestead::kConfrontationRadius;
using homestead::kHomeBlipRadius;
using homestead::kLootBlipRadius;
using homestead::kStageRadius;
using homestead::kTeardownDistance;

constexpr double kWidth = 1200;
constexpr double kHeight = 1230;

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

// The player's path is drawn this far to the right of the way he rode, so
// that a way back lies beside the way out.
constexpr double kPathOffsetPx = 3;
// A stretch of path within this many metres of an earlier stretch ridden the
// other way is drawn as ridden back.
constexpr double kRetraceMetres = 4;
constexpr const char* kReturnDash = "8,5";

struct Point {
  double x = 0;
  double y = 0;
};

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
  Point At(const Vec3& p) const { return {X(p), Y(p)}; }
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

// "80 m": one of the plug-in's distances as the rings' labels show it.
std::string Metres(float metres) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g m", static_cast<double>(metres));
  return buffer;
}

// "x y z" to two decimals: a POSITION a scenario file accepts.
std::string ScenarioPosition(const Vec3& p) {
  return platform::FixedTriple(p.x, p.y, p.z, " ");
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

// "1:05": simulated minutes and seconds, as in the timeline.
std::string FormatSimTime(int64_t us) {
  const int64_t seconds = us / 1'000'000;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return buffer;
}

// The unit vector of a heading (degrees counter-clockwise from north) on the
// page, without libm so that every system draws the same bytes.
Point HeadingOnPage(double degrees) {
  const platform::SinCos sc = platform::SinCosDegrees(degrees);
  // Counter-clockwise from north: 90 degrees faces west; page y grows down.
  return {-sc.sin, -sc.cos};
}

struct Box {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;

  static Box Around(Point p, double half) {
    return {p.x - half, p.y - half, p.x + half, p.y + half};
  }
  bool Overlaps(const Box& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
  bool Inside(const Box& o) const {
    return left >= o.left && right <= o.right && top >= o.top && bottom <= o.bottom;
  }
  // Whether the segment a-b passes through the box (Liang-Barsky clipping).
  bool Crosses(Point a, Point b) const {
    double t0 = 0;
    double t1 = 1;
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const std::array<std::pair<double, double>, 4> edges = {
        {{-dx, a.x - left}, {dx, right - a.x}, {-dy, a.y - top}, {dy, bottom - a.y}}};
    for (const auto& [p, q] : edges) {
      if (p == 0) {
        if (q < 0) return false;
        continue;
      }
      const double t = q / p;
      if (p < 0) {
        if (t > t1) return false;
        if (t > t0) t0 = t;
      } else {
        if (t < t0) return false;
        if (t < t1) t1 = t;
      }
    }
    return t0 <= t1;
  }
};

class Svg {
 public:
  void Raw(std::string_view text) { out_ += text; }

  void Text(double x, double y, std::string_view text, std::string_view extra = "") {
    out_ += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"";
    if (!extra.empty()) out_ += " " + std::string(extra);
    out_ += ">" + Escape(text) + "</text>\n";
  }

  void Title(std::string_view text) { out_ += "<title>" + Escape(text) + "</title>\n"; }

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

  void Polyline(const std::vector<Point>& points, std::string_view style) {
    if (points.size() < 2) return;
    out_ += "<polyline points=\"";
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (i > 0) out_ += " ";
      out_ += Num(points[i].x) + "," + Num(points[i].y);
    }
    out_ += "\" fill=\"none\" " + std::string(style) + "/>\n";
  }

  void Polyline(const Panel& panel, const std::vector<Vec3>& points, std::string_view style) {
    std::vector<Point> page;
    for (const Vec3& p : points) page.push_back(panel.At(p));
    Polyline(page, style);
  }

  // A triangle pointing along the unit vector `u`.
  void Arrow(Point at, Point u, std::string_view colour) {
    const Point n{-u.y, u.x};
    out_ += "<path class=\"direction\" d=\"M" + Num(at.x + u.x * 6) + "," + Num(at.y + u.y * 6) +
            " L" + Num(at.x - u.x * 4 + n.x * 4.5) + "," + Num(at.y - u.y * 4 + n.y * 4.5) + " L" +
            Num(at.x - u.x * 4 - n.x * 4.5) + "," + Num(at.y - u.y * 4 - n.y * 4.5) +
            " Z\" fill=\"" + std::string(colour) + "\" stroke=\"white\" stroke-width=\"0.8\"/>\n";
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

  void CentreCross(double x, double y) {
    const std::string style = std::string("stroke=\"") + kInk + "\" stroke-width=\"1.5\"";
    Line(x - 8, y, x + 8, y, style);
    Line(x, y - 8, x, y + 8, style);
  }

  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

// Puts labels where they cover neither a path nor a marker nor another label:
// it tries spots around the anchor, nearest first, and takes the first free
// one. A label with no free spot is left out rather than drawn over something.
class Labeller {
 public:
  Labeller(Box bounds, std::vector<LabelBox>* report) : bounds_(bounds), report_(report) {}

  void AddPath(const std::vector<Point>& points) {
    for (std::size_t i = 1; i < points.size(); ++i) {
      segments_.emplace_back(points[i - 1], points[i]);
    }
  }
  void AddBox(const Box& box) { taken_.push_back(box); }

  // Places `text` near one of `anchors`, at least `gap` pixels from it.
  bool Place(Svg& svg, std::initializer_list<Point> anchors, double gap, std::string_view text,
             double fontSize, std::string_view colour) {
    constexpr double kD = 0.7071;  // the diagonals, on the unit circle
    constexpr std::array<Point, 8> kDirections = {
        {{1, 0}, {-1, 0}, {0, -1}, {0, 1}, {kD, -kD}, {kD, kD}, {-kD, -kD}, {-kD, kD}}};
    // A generous estimate of a sans-serif text's width and height.
    const double width = 0.62 * fontSize * static_cast<double>(text.size());
    const double height = 1.15 * fontSize;
    for (double extra : {0.0, 8.0, 18.0, 32.0, 50.0}) {
      for (const Point& anchor : anchors) {
        for (const Point& d : kDirections) {
          const double r = gap + extra;
          const double cx = anchor.x + d.x * r;
          const double cy = anchor.y + d.y * r;
          // The box's near side faces the anchor.
          const double left = d.x > 0.1 ? cx : d.x < -0.1 ? cx - width : cx - width / 2;
          const double top = d.y > 0.1 ? cy : d.y < -0.1 ? cy - height : cy - height / 2;
          const Box box{left, top, left + width, top + height};
          if (!Free(box)) continue;
          taken_.push_back(box);
          svg.Text(box.left, box.bottom - 0.27 * fontSize, text,
                   "class=\"label\" font-size=\"" + Num(fontSize) + "\" fill=\"" +
                       std::string(colour) +
                       "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\"");
          if (report_ != nullptr) {
            report_->push_back({box.left, box.top, box.right, box.bottom, std::string(text)});
          }
          return true;
        }
      }
    }
    return false;
  }

 private:
  bool Free(const Box& box) const {
    if (!box.Inside(bounds_)) return false;
    for (const Box& other : taken_) {
      if (box.Overlaps(other)) return false;
    }
    for (const auto& [a, b] : segments_) {
      if (box.Crosses(a, b)) return false;
    }
    return true;
  }

  Box bounds_;
  std::vector<LabelBox>* report_;
  std::vector<std::pair<Point, Point>> segments_;
  std::vector<Box> taken_;
};

// The player's path on a panel: drawn offset to the right of each stretch,
// split into runs ridden out and ridden back, with direction arrows and time
// ticks.
struct PathRun {
  std::vector<Point> points;
  bool back = false;
};

Point Unit(Point a, Point b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length = std::sqrt(dx * dx + dy * dy);
  if (length < 1e-9) return {0, 0};
  return {dx / length, dy / length};
}

// For each stretch i (from point i to i + 1) of `path`, whether it goes back
// over an earlier stretch ridden the other way.
std::vector<bool> RiddenBack(const std::vector<Vec3>& path) {
  std::vector<bool> back(path.size() > 0 ? path.size() - 1 : 0, false);
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    const Vec3 mid{(path[i].x + path[i + 1].x) / 2, (path[i].y + path[i + 1].y) / 2, 0};
    const double ux = path[i + 1].x - path[i].x;
    const double uy = path[i + 1].y - path[i].y;
    for (std::size_t j = 0; j + 2 < i && !back[i]; ++j) {
      const double vx = path[j + 1].x - path[j].x;
      const double vy = path[j + 1].y - path[j].y;
      if (ux * vx + uy * vy >= 0) continue;
      // Distance from the midpoint to stretch j, on the ground plane.
      const double length2 = vx * vx + vy * vy;
      double t = length2 > 0 ? ((mid.x - path[j].x) * vx + (mid.y - path[j].y) * vy) / length2 : 0;
      t = t < 0 ? 0 : t > 1 ? 1 : t;
      const double dx = mid.x - (path[j].x + t * vx);
      const double dy = mid.y - (path[j].y + t * vy);
      back[i] = dx * dx + dy * dy <= kRetraceMetres * kRetraceMetres;
    }
  }
  return back;
}

std::vector<PathRun> PathRuns(const Panel& panel, const std::vector<Vec3>& path,
                              const std::vector<bool>& back) {
  std::vector<Point> page;
  for (const Vec3& p : path) page.push_back(panel.At(p));
  // Each point moves to the right of the stretches beside it; at a turn
  // right round the two cancel and the point stays.
  std::vector<Point> shifted = page;
  for (std::size_t i = 0; i < page.size(); ++i) {
    Point n{0, 0};
    if (i > 0) {
      const Point u = Unit(page[i - 1], page[i]);
      n = {n.x - u.y, n.y + u.x};
    }
    if (i + 1 < page.size()) {
      const Point u = Unit(page[i], page[i + 1]);
      n = {n.x - u.y, n.y + u.x};
    }
    const double length = std::sqrt(n.x * n.x + n.y * n.y);
    if (length > 1e-6) {
      shifted[i] = {page[i].x + n.x / length * kPathOffsetPx,
                    page[i].y + n.y / length * kPathOffsetPx};
    }
  }
  std::vector<PathRun> runs;
  for (std::size_t i = 0; i + 1 < shifted.size(); ++i) {
    if (runs.empty() || runs.back().back != back[i]) {
      runs.push_back({{shifted[i]}, back[i]});
    }
    runs.back().points.push_back(shifted[i + 1]);
  }
  return runs;
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

// Arrows every `spacing` pixels along the drawn path; each arrow's box joins
// the labeller's obstacles.
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

// The interval of time marks for a run that lasted `totalUs`.
int64_t TimeMarkInterval(int64_t totalUs) {
  for (int64_t seconds : {5, 10, 15, 30, 60, 120, 300, 600, 1800}) {
    if (totalUs / (seconds * 1'000'000) <= 16) return seconds * 1'000'000;
  }
  return 3600LL * 1'000'000;
}

// Ticks across the path at whole multiples of the interval of simulated time,
// where the player was moving, labelled with the time.
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
      labels.Place(svg, {p}, 6, FormatSimTime(mark), 10, kInk);
    }
  }
}

std::vector<Point> OnPage(const Panel& panel, const std::vector<Vec3>& points) {
  std::vector<Point> page;
  for (const Vec3& p : points) page.push_back(panel.At(p));
  return page;
}

void Ring(Svg& svg, const Panel& panel, const Vec3& centre, double radiusM) {
  svg.Circle(panel.X(centre), panel.Y(centre), radiusM * panel.Scale(),
             std::string("fill=\"none\" stroke=\"") + kRing +
                 "\" stroke-width=\"1.2\" stroke-dasharray=\"6,4\"");
}

// The ring's label, somewhere on its circumference.
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

// The scale bar in the bottom-left corner and the north arrow in the top-right
// one; both are kept free of labels.
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
  return text;
}

void DrawOverview(Svg& svg, const Panel& panel, const Panel& detail, const MapData& map,
                  const std::vector<bool>& back, std::vector<LabelBox>* report) {
  PanelFrame(svg, panel,
             "The encounter area, " + std::to_string(static_cast<int>(2 * panel.radiusM)) +
                 " m across: distance rings around the centre");
  Labeller labels(PanelBox(panel), report);
  svg.Raw("<g clip-path=\"url(#" + std::string(panel.id) + "-clip)\">\n");
  for (double ring :
       {kTeardownDistance, kStageRadius, kApproachRadius, kConfrontationRadius, kHomeBlipRadius}) {
    Ring(svg, panel, map.centre, ring);
  }
  svg.Rect(panel.X(map.centre) - detail.radiusM * panel.Scale(),
           panel.Y(map.centre) - detail.radiusM * panel.Scale(), 2 * detail.radiusM * panel.Scale(),
           2 * detail.radiusM * panel.Scale(),
           std::string("fill=\"none\" stroke=\"") + kInk +
               "\" stroke-width=\"0.8\" stroke-dasharray=\"2,2\"");

  const std::vector<PathRun> runs = PathRuns(panel, map.playerPath, back);
  svg.Raw("<g class=\"player-path\">\n");
  DrawPathRuns(svg, runs, 1.0);
  for (const PathRun& run : runs) labels.AddPath(run.points);
  DrawArrows(svg, runs, 70, labels);
  svg.Raw("</g>\n");

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

  // Deaths outside the close-up are drawn here; the others there.
  for (const MapOccupant& occupant : map.occupants) {
    if (!occupant.death || detail.Contains(*occupant.death)) continue;
    const Point at = panel.At(*occupant.death);
    svg.Raw("<g class=\"death\" id=\"death-" + OccupantId(occupant) + "\">\n");
    svg.Title(OccupantName(occupant) + " died at " + ScenarioPosition(*occupant.death));
    svg.Cross(at.x, at.y, 5, kDeath, 2.5);
    svg.Raw("</g>\n");
    labels.AddBox(Box::Around(at, 6));
  }

  const Point centre = panel.At(map.centre);
  svg.Raw("<g class=\"centre\">\n");
  svg.Title("centre of the homestead: " + ScenarioPosition(map.centre));
  svg.House(centre.x, centre.y - 14, 7);
  svg.Raw("</g>\n");
  labels.AddBox({centre.x - 8, centre.y - 22, centre.x + 8, centre.y - 6});

  if (!map.playerPath.empty()) {
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
  DrawTimeMarks(svg, panel, map, labels);
  svg.Raw("</g>\n");
  ScaleAndNorth(svg, panel, 50, labels);

  // Labels last, so that they avoid everything drawn.
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

void DrawDetail(Svg& svg, const Panel& panel, const MapData& map, const std::vector<bool>& back,
                std::vector<LabelBox>* report) {
  PanelFrame(svg, panel,
             "The yard, " + std::to_string(static_cast<int>(2 * panel.radiusM)) +
                 " m across: occupants, money and blips");
  Labeller labels(PanelBox(panel), report);
  svg.Raw("<g clip-path=\"url(#" + std::string(panel.id) + "-clip)\">\n");
  // A one-metre grid gives a sense of scale at a glance.
  for (int i = -static_cast<int>(panel.radiusM); i <= static_cast<int>(panel.radiusM); ++i) {
    const double x = panel.left + panel.size / 2 + i * panel.Scale();
    const double y = panel.top + panel.size / 2 + i * panel.Scale();
    const std::string style = "stroke=\"#e4dcc6\" stroke-width=\"1\"";
    svg.Line(x, panel.top, x, panel.top + panel.size, style);
    svg.Line(panel.left, y, panel.left + panel.size, y, style);
  }
  Ring(svg, panel, map.centre, kHomeBlipRadius);
  const Vec3 loot = map.lootPlaced.value_or(map.lootSpot);
  Ring(svg, panel, map.lootSpot, kLootBlipRadius);

  const double cx = panel.X(map.centre);
  const double cy = panel.Y(map.centre);
  svg.Raw("<g class=\"centre\">\n");
  svg.Title("centre of the homestead: " + ScenarioPosition(map.centre));
  svg.CentreCross(cx, cy);
  svg.Raw("</g>\n");
  labels.AddBox(Box::Around({cx, cy}, 9));

  const std::vector<PathRun> runs = PathRuns(panel, map.playerPath, back);
  svg.Raw("<g class=\"player-path\">\n");
  DrawPathRuns(svg, runs, 0.6);
  for (const PathRun& run : runs) labels.AddPath(run.points);
  DrawArrows(svg, runs, 90, labels);
  svg.Raw("</g>\n");
  for (const MapOccupant& occupant : map.occupants) {
    const std::vector<Point> flight = OnPage(panel, occupant.flight);
    labels.AddPath(flight);
    svg.Polyline(flight, std::string("stroke=\"") + kFlight +
                             "\" stroke-width=\"2.5\" stroke-dasharray=\"7,4\"");
  }

  if (map.lootPlaced) {
    svg.Raw("<g class=\"loot\">\n");
    svg.Title("money stack placed at " + ScenarioPosition(*map.lootPlaced));
    svg.LootSquare(panel.X(loot), panel.Y(loot), 7, true);
    svg.Raw("</g>\n");
  }
  if (!map.lootPlaced || Distance(*map.lootPlaced, map.lootSpot) > 0.1) {
    svg.Raw("<g class=\"loot-spot\">\n");
    svg.Title("where the money is kept: " + ScenarioPosition(map.lootSpot));
    svg.LootSquare(panel.X(map.lootSpot), panel.Y(map.lootSpot), 7, false);
    svg.Raw("</g>\n");
  }
  labels.AddBox(Box::Around(panel.At(loot), 8));
  labels.AddBox(Box::Around(panel.At(map.lootSpot), 8));

  // Occupants on different floors can stand almost on top of each other; a
  // marker that would hide an earlier one moves aside, tied to its true spot.
  // The home blip's house above the centre counts as taken too.
  std::vector<Point> taken = {{cx, cy - 22}};
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
    svg.Raw("</g>\n");
    labels.AddBox(Box::Around(at, 15));
  }
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

  for (const MapBlip& blip : map.blips) {
    if (!panel.Contains(blip.position)) continue;
    const double x = panel.X(blip.position);
    const double y = panel.Y(blip.position);
    if (blip.kind == MapBlip::Kind::kLoot) {
      svg.Raw("<g class=\"blip\">\n");
      svg.Title("money-stack blip at " + ScenarioPosition(blip.position));
      svg.MoneyBadge(x + 12, y - 14);
      svg.Raw("</g>\n");
      labels.AddBox(Box::Around({x + 12, y - 14}, 8));
    } else if (blip.kind == MapBlip::Kind::kHome) {
      svg.Raw("<g class=\"blip\">\n");
      svg.Title("home blip at " + ScenarioPosition(blip.position));
      svg.House(x, y - 22, 9);
      svg.Raw("</g>\n");
      labels.AddBox({x - 10, y - 32, x + 10, y - 12});
    }
  }
  DrawTimeMarks(svg, panel, map, labels);
  svg.Raw("</g>\n");
  ScaleAndNorth(svg, panel, 2, labels);

  labels.Place(svg, {{cx, cy}}, 10, "centre", 11, kInk);
  labels.Place(svg, {panel.At(loot)}, 10, "money", 11, kInk);
  RingLabel(svg, labels, panel, map.centre, kHomeBlipRadius,
            Metres(kHomeBlipRadius) + ": home blip goes");
  RingLabel(svg, labels, panel, map.lootSpot, kLootBlipRadius,
            Metres(kLootBlipRadius) + ": money blip goes");
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
      svg.House(left + 7, y - 4, 6);
    } else if (blip.kind == MapBlip::Kind::kLoot) {
      svg.MoneyBadge(left + 7, y - 4);
    }
    const std::string label = blip.label.empty() ? "(no label)" : "\"" + blip.label + "\"";
    const std::string when =
        platform::ClockText(blip.addedClock) + " to " +
        (blip.removedClock ? platform::ClockText(*blip.removedClock) : "the end");
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

// One row per ring, mark and shape on the map, each with its own swatch.
void DrawLegend(Svg& svg, double left, double top) {
  svg.Text(left, top, "Legend", "font-size=\"13\" font-weight=\"bold\"");
  constexpr double kRow = 20;
  const std::array<double, 3> columns = {left, left + 390, left + 780};
  auto row = [&](int column, int line, std::string_view text) {
    const double x = columns[static_cast<std::size_t>(column)];
    const double y = top + line * kRow;
    svg.Text(x + 34, y + 4, text, "font-size=\"12\"");
    return Point{x, y};
  };
  const std::string player = std::string("stroke=\"") + kPlayer + "\" stroke-width=\"2.5\"";
  const std::string ring = std::string("fill=\"none\" stroke=\"") + kRing +
                           "\" stroke-width=\"1.2\" stroke-dasharray=\"6,4\"";

  Point p = row(0, 1, "player's path, ridden out; arrows: his direction");
  svg.Line(p.x, p.y, p.x + 26, p.y, player);
  svg.Arrow({p.x + 13, p.y}, {1, 0}, kPlayer);
  p = row(0, 2, "the same, ridden back over earlier ground");
  svg.Line(p.x, p.y, p.x + 26, p.y, player + " stroke-dasharray=\"" + kReturnDash + "\"");
  p = row(0, 3, "(drawn 3 px to the right of his way)");
  p = row(0, 4, "start and end of the player's path");
  svg.Circle(p.x + 7, p.y, 5,
             std::string("fill=\"white\" stroke=\"") + kPlayer + "\" stroke-width=\"2\"");
  svg.Rect(p.x + 18, p.y - 4, 8, 8, std::string("fill=\"") + kPlayer + "\"");
  p = row(0, 5, "time mark: simulated time m:ss, as in the timeline");
  svg.Line(p.x + 13, p.y - 7, p.x + 13, p.y + 7,
           std::string("stroke=\"") + kInk + "\" stroke-width=\"1.5\"");
  p = row(0, 6, "occupant's spawn point (number: index), tick: heading");
  svg.Circle(p.x + 13, p.y, 7, std::string("fill=\"") + kAlive + "\"");
  svg.Line(p.x + 13, p.y, p.x + 13, p.y - 12,
           std::string("stroke=\"") + kInk + "\" stroke-width=\"2\"");
  p = row(0, 7, "green: alive at the end; grey: dead; orange: got away");
  svg.Circle(p.x + 6, p.y, 5, std::string("fill=\"") + kAlive + "\"");
  svg.Circle(p.x + 16, p.y, 5, std::string("fill=\"") + kDead + "\"");
  svg.Circle(p.x + 26, p.y, 5, std::string("fill=\"") + kFlight + "\"");
  p = row(0, 8, "removed alive by the plug-in at teardown");
  svg.Circle(p.x + 13, p.y, 6,
             std::string("fill=\"white\" stroke=\"") + kInk +
                 "\" stroke-width=\"1.5\" stroke-dasharray=\"3,2\"");
  p = row(0, 9, "marker moved aside: dot and line to where he stood");
  svg.Circle(p.x + 4, p.y, 2, std::string("fill=\"") + kInk + "\"");
  svg.Line(p.x + 4, p.y, p.x + 20, p.y, std::string("stroke=\"") + kInk + "\" stroke-width=\"1\"");
  svg.Circle(p.x + 22, p.y, 5, std::string("fill=\"") + kAlive + "\"");

  p = row(1, 1, "where an occupant died");
  svg.Cross(p.x + 13, p.y, 5, kDeath, 2.5);
  p = row(1, 2, "flight of the last occupant");
  svg.Line(p.x, p.y, p.x + 26, p.y,
           std::string("stroke=\"") + kFlight + "\" stroke-width=\"2.5\" stroke-dasharray=\"7,4\"");
  p = row(1, 3, "where he left the world alive (got away)");
  svg.Circle(p.x + 13, p.y, 5,
             std::string("fill=\"white\" stroke=\"") + kFlight + "\" stroke-width=\"2\"");
  p = row(1, 4, "money stack, where the plug-in placed it");
  svg.LootSquare(p.x + 13, p.y, 6, true);
  p = row(1, 5, "where the money is kept (when not the same)");
  svg.LootSquare(p.x + 13, p.y, 5, false);
  p = row(1, 6, "home blip");
  svg.House(p.x + 13, p.y, 7);
  p = row(1, 7, "money-stack blip");
  svg.MoneyBadge(p.x + 13, p.y);
  p = row(1, 8, "blip on an occupant");
  svg.Circle(p.x + 13, p.y, 7,
             std::string("fill=\"none\" stroke=\"") + kEnemyBlip + "\" stroke-width=\"1.5\"");
  p = row(1, 9, "centre of the homestead");
  svg.CentreCross(p.x + 13, p.y);

  for (const auto& [line, text] : std::array<std::pair<int, std::string>, 6>{{
           {1, "ring " + Metres(kTeardownDistance) + " from the centre: teardown beyond"},
           {2, "ring " + Metres(kStageRadius) + ": occupants and money appear"},
           {3, "ring " + Metres(kApproachRadius) + ": approach talk"},
           {4, "ring " + Metres(kConfrontationRadius) + ": confrontation"},
           {5, "ring " + Metres(kHomeBlipRadius) + " from the centre: home blip goes"},
           {6, "ring " + Metres(kLootBlipRadius) + " from the money: money blip goes"},
       }}) {
    p = row(2, line, text);
    svg.Circle(p.x + 13, p.y, 8, ring);
  }
  p = row(2, 7, "dotted square: the part shown in the yard");
  svg.Rect(p.x + 4, p.y - 7, 18, 14,
           std::string("fill=\"none\" stroke=\"") + kInk +
               "\" stroke-width=\"0.8\" stroke-dasharray=\"2,2\"");
  p = row(2, 8, "N: north; bar: scale");
  p = row(2, 9, "hover a marker for its position");
}

// The positions of the centre and every marker, as a scenario writes them.
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

}  // namespace

std::string RenderMap(const MapData& map, std::vector<LabelBox>* labels) {
  Svg svg;
  svg.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  svg.Raw("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" +
          Num(kHeight) + "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(kHeight) +
          "\" font-family=\"sans-serif\" fill=\"" + kInk + "\">\n");
  svg.Raw("<title>" + Escape(map.title) + "</title>\n");
  svg.Rect(0, 0, kWidth, kHeight, "fill=\"white\"");
  svg.Text(20, 30, map.title, "font-size=\"20\" font-weight=\"bold\"");
  svg.Text(20, 50, map.subtitle, "font-size=\"13\"");
  if (!map.finalState.empty()) {
    svg.Text(20, 70, "At the end: " + map.finalState, "class=\"final-state\" font-size=\"13\"");
  }

  const Panel overview{"overview", 20, 100, 680, 170, map.centre};
  const Panel detail{"yard", 730, 100, 450, 9, map.centre};
  const std::vector<bool> back = RiddenBack(map.playerPath);
  DrawOverview(svg, overview, detail, map, back, labels);
  DrawDetail(svg, detail, map, back, labels);
  DrawBlipTable(svg, 730, 590, map);
  DrawLegend(svg, 20, 815);
  DrawPositions(svg, 20, 1030, map);
  svg.Raw("</svg>\n");
  return svg.Take();
}

}  // namespace sim
