// Writes SVG elements into a growing text: the shapes the map is made of, with
// coordinates to one decimal ("-0.0" written as "0.0") and text escaped, so
// that the same drawing calls always give the same bytes.
#ifndef HOMESTEAD_SIM_REPORT_MAP_SVG_WRITER_H
#define HOMESTEAD_SIM_REPORT_MAP_SVG_WRITER_H

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim::map_render {

// A point on the page, in pixels; y grows down.
struct Point {
  double x = 0;
  double y = 0;
};

// `value` to one decimal, as every coordinate is written.
std::string Num(double value);

// `text` with &, <, > and " escaped for an attribute or element.
std::string Escape(std::string_view text);

class Svg {
 public:
  void Raw(std::string_view text) { out_ += text; }
  // `extra`: further attributes, written as given.
  void Text(double x, double y, std::string_view text, std::string_view extra = "");
  void Title(std::string_view text);
  // `style`: the element's further attributes, written as given.
  void Circle(double cx, double cy, double r, std::string_view style);
  void Line(double x1, double y1, double x2, double y2, std::string_view style);
  void Rect(double x, double y, double w, double h, std::string_view style);
  // Nothing for fewer than two points.
  void Polyline(const std::vector<Point>& points, std::string_view style);
  // A triangle pointing along the unit vector `u`.
  void Arrow(Point at, Point u, std::string_view colour);
  // An X of half-size `r`.
  void Cross(double x, double y, double r, std::string_view colour, double width);

  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace sim::map_render

#endif  // HOMESTEAD_SIM_REPORT_MAP_SVG_WRITER_H
