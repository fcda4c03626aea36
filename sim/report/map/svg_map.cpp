#include "sim/report/map/svg_map.h"

#include "sim/report/map/map_marks.h"
#include "sim/report/map/panels.h"
#include "sim/report/map/path_geometry.h"
#include "sim/report/map/svg_writer.h"

namespace sim {
namespace {

using map_render::Num;
using map_render::Panel;
using map_render::Svg;

constexpr double kWidth = 1200;
constexpr double kHeight = 1230;

}  // namespace

std::string RenderMap(const MapData& map, std::vector<LabelBox>* labels) {
  Svg svg;
  svg.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  svg.Raw("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" +
          Num(kHeight) + "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(kHeight) +
          "\" font-family=\"sans-serif\" fill=\"" + map_render::kInk + "\">\n");
  svg.Raw("<title>" + map_render::Escape(map.title) + "</title>\n");
  svg.Rect(0, 0, kWidth, kHeight, "fill=\"white\"");
  svg.Text(20, 30, map.title, "font-size=\"20\" font-weight=\"bold\"");
  svg.Text(20, 50, map.subtitle, "font-size=\"13\"");
  if (!map.finalState.empty()) {
    svg.Text(20, 70, "At the end: " + map.finalState, "class=\"final-state\" font-size=\"13\"");
  }

  const Panel overview{"overview", 20, 100, 680, kOverviewRadiusM, map.centre};
  const Panel detail{"yard", 730, 100, 450, kYardRadiusM, map.centre};
  const std::vector<bool> back = map_render::RiddenBack(map.playerPath);
  map_render::DrawOverview(svg, overview, detail, map, back, labels);
  map_render::DrawDetail(svg, detail, map, back, labels);
  map_render::DrawBlipTable(svg, 730, 590, map);
  map_render::DrawLegend(svg, 20, 815);
  map_render::DrawPositions(svg, 20, 1030, map);
  svg.Raw("</svg>\n");
  return svg.Take();
}

}  // namespace sim
