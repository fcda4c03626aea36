#include "sim/report/map/svg_writer.h"

#include <cstdio>

namespace sim::map_render {

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

void Svg::Text(double x, double y, std::string_view text, std::string_view extra) {
  out_ += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"";
  if (!extra.empty()) out_ += " " + std::string(extra);
  out_ += ">" + Escape(text) + "</text>\n";
}

void Svg::Title(std::string_view text) {
  out_ += "<title>" + Escape(text) + "</title>\n";
}

void Svg::Circle(double cx, double cy, double r, std::string_view style) {
  out_ += "<circle cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) + "\" r=\"" + Num(r) + "\" " +
          std::string(style) + "/>\n";
}

void Svg::Line(double x1, double y1, double x2, double y2, std::string_view style) {
  out_ += "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
          Num(y2) + "\" " + std::string(style) + "/>\n";
}

void Svg::Rect(double x, double y, double w, double h, std::string_view style) {
  out_ += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" +
          Num(h) + "\" " + std::string(style) + "/>\n";
}

void Svg::Polyline(const std::vector<Point>& points, std::string_view style) {
  if (points.size() < 2) return;
  out_ += "<polyline points=\"";
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0) out_ += " ";
    out_ += Num(points[i].x) + "," + Num(points[i].y);
  }
  out_ += "\" fill=\"none\" " + std::string(style) + "/>\n";
}

void Svg::Arrow(Point at, Point u, std::string_view colour) {
  const Point n{-u.y, u.x};
  out_ += "<path class=\"direction\" d=\"M" + Num(at.x + u.x * 6) + "," + Num(at.y + u.y * 6) +
          " L" + Num(at.x - u.x * 4 + n.x * 4.5) + "," + Num(at.y - u.y * 4 + n.y * 4.5) + " L" +
          Num(at.x - u.x * 4 - n.x * 4.5) + "," + Num(at.y - u.y * 4 - n.y * 4.5) + " Z\" fill=\"" +
          std::string(colour) + "\" stroke=\"white\" stroke-width=\"0.8\"/>\n";
}

void Svg::Cross(double x, double y, double r, std::string_view colour, double width) {
  const std::string style = "stroke=\"" + std::string(colour) + "\" stroke-width=\"" + Num(width) +
                            "\" stroke-linecap=\"round\"";
  Line(x - r, y - r, x + r, y + r, style);
  Line(x - r, y + r, x + r, y - r, style);
}

}  // namespace sim::map_render
