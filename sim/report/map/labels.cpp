#include "sim/report/map/labels.h"

#include <array>

namespace sim::map_render {

bool Box::Crosses(Point a, Point b) const {
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

bool Labeller::Place(Svg& svg, std::initializer_list<Point> anchors, double gap,
                     std::string_view text, double fontSize, std::string_view colour) {
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

bool Labeller::Free(const Box& box) const {
  if (!box.Inside(bounds_)) return false;
  for (const Box& other : taken_) {
    if (box.Overlaps(other)) return false;
  }
  for (const auto& [a, b] : segments_) {
    if (box.Crosses(a, b)) return false;
  }
  return true;
}

}  // namespace sim::map_render
