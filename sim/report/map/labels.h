// Label placement: a panel's labels go where they cover neither a path nor a
// marker nor another label, tried at spots around their anchor, nearest
// first. A label with no free spot is left out rather than drawn over
// something.
#ifndef HOMESTEAD_SIM_REPORT_MAP_LABELS_H
#define HOMESTEAD_SIM_REPORT_MAP_LABELS_H

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/report/map/svg_writer.h"

namespace sim {

// A label's box on the page, as the map reserves it for the label's text.
struct LabelBox {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
  std::string text;
};

}  // namespace sim

namespace sim::map_render {

// A rectangle on the page.
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
  bool Crosses(Point a, Point b) const;
};

// The labels of one panel and what they must keep clear of.
class Labeller {
 public:
  Labeller(Box bounds, std::vector<LabelBox>* report) : bounds_(bounds), report_(report) {}

  void AddPath(const std::vector<Point>& points) {
    for (std::size_t i = 1; i < points.size(); ++i) {
      segments_.emplace_back(points[i - 1], points[i]);
    }
  }
  void AddBox(const Box& box) { taken_.push_back(box); }

  // Places `text` near one of `anchors`, at least `gap` pixels from it, and
  // draws it; false when no spot is free.
  bool Place(Svg& svg, std::initializer_list<Point> anchors, double gap, std::string_view text,
             double fontSize, std::string_view colour);

 private:
  bool Free(const Box& box) const;

  Box bounds_;
  std::vector<LabelBox>* report_;
  std::vector<std::pair<Point, Point>> segments_;
  std::vector<Box> taken_;
};

}  // namespace sim::map_render

#endif  // HOMESTEAD_SIM_REPORT_MAP_LABELS_H
