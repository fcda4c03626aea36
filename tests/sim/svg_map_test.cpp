#include "sim/svg_map.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <cstring>
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

}  // namespace
}  // namespace sim
