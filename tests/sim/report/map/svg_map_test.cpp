#include "sim/report/map/svg_map.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace sim {
namespace {

// Every <g> of `className`, anywhere under `element`.
void CollectGroups(const tinyxml2::XMLElement* element, const char* className,
                   std::vector<const tinyxml2::XMLElement*>* out) {
  for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    const char* cls = child->Attribute("class");
    if (std::strcmp(child->Name(), "g") == 0 && cls != nullptr &&
        std::strcmp(cls, className) == 0) {
      out->push_back(child);
    }
    CollectGroups(child, className, out);
  }
}

MapData ThreeOccupants() {
  MapData map;
  map.title = "Homestead <1> & \"friends\"";
  map.subtitle = "test";
  map.centre = {100, 200, 10};
  map.lootSpot = {98, 201, 10};
  map.lootPlaced = map.lootSpot;
  MapOccupant standing;
  standing.index = 0;
  standing.spawn = {102, 199, 10};
  MapOccupant shot = standing;  // the same spot, one floor up
  shot.index = 1;
  shot.spawn.z = 13;
  shot.death = shot.spawn;
  MapOccupant fled;
  fled.index = 2;
  fled.spawn = {101, 203, 10};
  fled.gotAway = true;
  fled.flight = {{101, 203, 10}, {101, 240, 10}, {101, 270, 10}};
  map.occupants = {standing, shot, fled};
  map.playerPath = {{100, 50, 10}, {100, 185, 10}};
  MapBlip home;
  home.kind = MapBlip::Kind::kHome;
  home.label = "Galdervine & co";
  home.position = map.centre;
  map.blips = {home};
  return map;
}

TEST(SvgMapTest, IsWellFormedWithOneMarkerPerOccupantAndEscapedTexts) {
  const std::string svg = RenderMap(ThreeOccupants());
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(svg.c_str(), svg.size()), tinyxml2::XML_SUCCESS) << doc.ErrorStr();
  const tinyxml2::XMLElement* root = doc.RootElement();
  ASSERT_STREQ(root->Name(), "svg");
  ASSERT_NE(root->FirstChildElement("title"), nullptr);
  EXPECT_STREQ(root->FirstChildElement("title")->GetText(), "Homestead <1> & \"friends\"");

  std::vector<const tinyxml2::XMLElement*> spawns;
  CollectGroups(root, "occupant-spawn", &spawns);
  ASSERT_EQ(spawns.size(), 3u);
  EXPECT_STREQ(spawns[2]->Attribute("id"), "occupant-2");
  std::vector<const tinyxml2::XMLElement*> deaths;
  CollectGroups(root, "death", &deaths);
  EXPECT_EQ(deaths.size(), 1u);
  std::vector<const tinyxml2::XMLElement*> flights;
  CollectGroups(root, "flight", &flights);
  EXPECT_EQ(flights.size(), 1u);
}

TEST(SvgMapTest, OccupantsOnTheSameSpotGetSeparateMarkers) {
  const std::string svg = RenderMap(ThreeOccupants());
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(svg.c_str(), svg.size()), tinyxml2::XML_SUCCESS);
  std::vector<const tinyxml2::XMLElement*> spawns;
  CollectGroups(doc.RootElement(), "occupant-spawn", &spawns);
  ASSERT_EQ(spawns.size(), 3u);
  // The marker is the group's last circle; occupants 0 and 1 share a spot.
  auto markerX = [](const tinyxml2::XMLElement* group) {
    const tinyxml2::XMLElement* last = nullptr;
    for (const auto* c = group->FirstChildElement("circle"); c != nullptr;
         c = c->NextSiblingElement("circle")) {
      last = c;
    }
    return last->DoubleAttribute("cx");
  };
  EXPECT_GE(std::abs(markerX(spawns[0]) - markerX(spawns[1])), 20.0);
}

// Every element named `name`, anywhere under `element`.
void CollectElements(const tinyxml2::XMLElement* element, const char* name,
                     std::vector<const tinyxml2::XMLElement*>* out) {
  for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    if (std::strcmp(child->Name(), name) == 0) out->push_back(child);
    CollectElements(child, name, out);
  }
}

// Out to the yard and back the same way, then on around and over the rings.
MapData RiddenOutAndBack() {
  MapData map = ThreeOccupants();
  MapOccupant removed;
  removed.index = 3;
  removed.spawn = {97, 197, 10};
  removed.heading = 90;  // faces west
  removed.removed = true;
  map.occupants.push_back(removed);
  map.playerPath.clear();
  map.playerPathUs.clear();
  int64_t us = 0;
  auto ride = [&map, &us](double x, double y, int steps, int64_t stepUs) {
    const Vec3 from = map.playerPath.empty() ? Vec3{x, y, 10} : map.playerPath.back();
    for (int i = 1; i <= steps; ++i) {
      map.playerPath.push_back(
          {from.x + (x - from.x) * i / steps, from.y + (y - from.y) * i / steps, 10});
      map.playerPathUs.push_back(us += stepUs);
    }
  };
  map.playerPath.push_back({100, 50, 10});
  map.playerPathUs.push_back(0);
  ride(100, 196, 60, 1'000'000);
  ride(99, 60, 60, 1'000'000);
  ride(20, 120, 40, 1'000'000);
  // Along the top of the 20 m and 100 m rings, where their labels would go.
  ride(60, 220, 20, 1'000'000);
  ride(170, 220, 30, 1'000'000);
  ride(170, 300, 20, 1'000'000);
  ride(40, 300, 30, 1'000'000);
  map.finalState = "homestead 1 cooling down since 15:01";
  return map;
}

TEST(SvgMapTest, LabelsCoverNeitherThePlayersPathNorEachOther) {
  std::vector<LabelBox> labels;
  const std::string svg = RenderMap(RiddenOutAndBack(), &labels);
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(svg.c_str(), svg.size()), tinyxml2::XML_SUCCESS) << doc.ErrorStr();
  std::vector<const tinyxml2::XMLElement*> paths;
  CollectGroups(doc.RootElement(), "player-path", &paths);
  std::vector<std::pair<double, double>> points;  // along the drawn path, every half pixel
  for (const tinyxml2::XMLElement* group : paths) {
    for (const auto* line = group->FirstChildElement("polyline"); line != nullptr;
         line = line->NextSiblingElement("polyline")) {
      std::vector<std::pair<double, double>> corners;
      std::istringstream in(line->Attribute("points"));
      for (std::string pair; in >> pair;) {
        corners.emplace_back(std::stod(pair), std::stod(pair.substr(pair.find(',') + 1)));
      }
      for (std::size_t i = 1; i < corners.size(); ++i) {
        const auto [ax, ay] = corners[i - 1];
        const auto [bx, by] = corners[i];
        const int steps = 1 + static_cast<int>(2 * (std::abs(bx - ax) + std::abs(by - ay)));
        for (int k = 0; k <= steps; ++k) {
          points.emplace_back(ax + (bx - ax) * k / steps, ay + (by - ay) * k / steps);
        }
      }
    }
  }
  ASSERT_GT(points.size(), 100u);
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const LabelBox& a = labels[i];
    SCOPED_TRACE(a.text);
    texts.push_back(a.text);
    for (const auto& [x, y] : points) {
      EXPECT_FALSE(x > a.left && x < a.right && y > a.top && y < a.bottom)
          << "over the path at " << x << "," << y;
    }
    for (std::size_t j = i + 1; j < labels.size(); ++j) {
      const LabelBox& b = labels[j];
      EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
          << "over " << b.text;
    }
  }
  for (const char* wanted : {"start", "end", "centre", "100 m: teardown beyond",
                             "20 m: confrontation", "4 m: home blip goes", "0:30"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), wanted), texts.end()) << wanted;
  }
}

TEST(SvgMapTest, TellsDirectionRetracingRemovalFinalStateAndPastablePositions) {
  const std::string svg = RenderMap(RiddenOutAndBack());
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(svg.c_str(), svg.size()), tinyxml2::XML_SUCCESS) << doc.ErrorStr();
  std::vector<const tinyxml2::XMLElement*> polylines;
  CollectElements(doc.RootElement(), "polyline", &polylines);
  std::size_t out = 0;
  std::size_t back = 0;
  for (const auto* p : polylines) {
    const char* cls = p->Attribute("class");
    if (cls == nullptr) continue;
    out += std::strcmp(cls, "ridden-out") == 0 ? 1 : 0;
    back += std::strcmp(cls, "ridden-back") == 0 ? 1 : 0;
  }
  EXPECT_EQ(out, 4u) << "two panels, out and on around the rings";
  EXPECT_EQ(back, 2u) << "two panels, the way back";
  std::vector<const tinyxml2::XMLElement*> paths;
  CollectElements(doc.RootElement(), "path", &paths);
  EXPECT_GE(std::count_if(paths.begin(), paths.end(),
                          [](const auto* p) {
                            const char* cls = p->Attribute("class");
                            return cls != nullptr && std::strcmp(cls, "direction") == 0;
                          }),
            5);

  std::vector<const tinyxml2::XMLElement*> spawns;
  CollectGroups(doc.RootElement(), "occupant-spawn", &spawns);
  ASSERT_EQ(spawns.size(), 4u);
  const tinyxml2::XMLElement* removed = spawns[3];
  EXPECT_STREQ(removed->FirstChildElement("title")->GetText(),
               "occupant 3 spawned at 97.00 197.00 10.00, heading 90.0; removed alive at teardown");
  const tinyxml2::XMLElement* heading = removed->FirstChildElement("line");
  EXPECT_LT(heading->DoubleAttribute("x2"), heading->DoubleAttribute("x1") - 20) << "west";
  EXPECT_NEAR(heading->DoubleAttribute("y2"), heading->DoubleAttribute("y1"), 0.11);
  const tinyxml2::XMLElement* marker = removed->LastChildElement("circle");
  EXPECT_STREQ(marker->Attribute("fill"), "white");

  for (const char* text :
       {"At the end: homestead 1 cooling down since 15:01", "100.00 200.00 10.00",
        "ring 100 m from the centre: teardown beyond", "ring 80 m", "ring 32 m", "ring 20 m",
        "ring 4 m from the centre", "ring 1.5 m from the money", "ridden back over earlier ground",
        "time mark", "removed alive by the plug-in at teardown"}) {
    EXPECT_NE(svg.find(text), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace sim
