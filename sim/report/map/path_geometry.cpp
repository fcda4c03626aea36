#include "sim/report/map/path_geometry.h"

#include "platform/portable_math.h"

namespace sim::map_render {
namespace {

// The player's path is drawn this far to the right of the way he rode, so
// that a way back lies beside the way out.
constexpr double kPathOffsetPx = 3;
// A stretch of path within this many metres of an earlier stretch ridden the
// other way is drawn as ridden back.
constexpr double kRetraceMetres = 4;

}  // namespace

Point HeadingOnPage(double degrees) {
  const platform::SinCos sc = platform::SinCosDegrees(degrees);
  // Counter-clockwise from north: 90 degrees faces west; page y grows down.
  return {-sc.sin, -sc.cos};
}

Point Unit(Point a, Point b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length = std::sqrt(dx * dx + dy * dy);
  if (length < 1e-9) return {0, 0};
  return {dx / length, dy / length};
}

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

std::vector<Point> OnPage(const Panel& panel, const std::vector<Vec3>& points) {
  std::vector<Point> page;
  for (const Vec3& p : points) page.push_back(panel.At(p));
  return page;
}

int64_t TimeMarkInterval(int64_t totalUs) {
  for (int64_t seconds : {5, 10, 15, 30, 60, 120, 300, 600, 1800}) {
    if (totalUs / (seconds * 1'000'000) <= 16) return seconds * 1'000'000;
  }
  return 3600LL * 1'000'000;
}

}  // namespace sim::map_render
