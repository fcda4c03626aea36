// The geometry of the map's panels and of the player's path on them: a panel
// maps world metres (north up) to page pixels; the path is shifted a little
// to the right of the way he rode, so that a way ridden back lies beside the
// way out, and cut into runs ridden out and ridden back.
#ifndef HOMESTEAD_SIM_REPORT_MAP_PATH_GEOMETRY_H
#define HOMESTEAD_SIM_REPORT_MAP_PATH_GEOMETRY_H

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/base/places.h"
#include "sim/report/map/svg_writer.h"

namespace sim::map_render {

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

// The unit vector of a heading (degrees counter-clockwise from north) on the
// page, without libm so that every system draws the same bytes.
Point HeadingOnPage(double degrees);

// The unit vector from `a` to `b`; zero when they are one point.
Point Unit(Point a, Point b);

// The player's path on a panel: drawn offset to the right of each stretch,
// split into runs ridden out and ridden back, with direction arrows and time
// ticks.
struct PathRun {
  std::vector<Point> points;
  bool back = false;
};

// For each stretch i (from point i to i + 1) of `path`, whether it goes back
// over an earlier stretch ridden the other way.
std::vector<bool> RiddenBack(const std::vector<Vec3>& path);

// The path on `panel`, shifted to the right of each stretch and cut where
// `back` (from RiddenBack) changes.
std::vector<PathRun> PathRuns(const Panel& panel, const std::vector<Vec3>& path,
                              const std::vector<bool>& back);

// `points` on `panel`'s page.
std::vector<Point> OnPage(const Panel& panel, const std::vector<Vec3>& points);

// The interval of time marks for a run that lasted `totalUs`.
int64_t TimeMarkInterval(int64_t totalUs);

}  // namespace sim::map_render

#endif  // HOMESTEAD_SIM_REPORT_MAP_PATH_GEOMETRY_H
