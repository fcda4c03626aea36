#include "sim/run/map_builder.h"

#include <utility>

#include "sim/scenario/scenario.h"

namespace sim {
namespace {

// A blip that belongs to no homestead is drawn when it lies this close.
constexpr double kUnownedBlipNear = 200.0;

}  // namespace

bool MapShowsBlip(const ObservedBlip& blip, int focus) {
  if (blip.homestead == focus) return true;
  return blip.homestead == 0 &&
         Distance(blip.map.position, FindHomestead(focus)->centre) <= kUnownedBlipNear;
}

MapData BuildMap(const Observations& seen, int focus, const Vec3& player, int64_t nowUs,
                 std::string title, std::string subtitle) {
  const HomesteadPlace* place = FindHomestead(focus);
  MapData map;
  map.title = std::move(title);
  map.subtitle = std::move(subtitle);
  map.centre = place->centre;
  map.lootSpot = place->loot;
  for (const HomesteadTrack& track : seen.tracks) {
    if (track.id != focus) continue;
    map.lootPlaced = track.lootPlaced;
    map.lootLeftBehind = track.lootLeftBehind;
    map.finalState =
        "homestead " + std::to_string(track.id) + " " + std::string(StateName(track.state));
    if (!track.stage.empty()) map.finalState += ", " + std::string(track.stage) + " stage";
    if (track.stateClock) map.finalState += " since " + FormatClock(*track.stateClock);
  }
  for (const ObservedOccupant& occupant : seen.occupants) {
    if (occupant.homestead != focus) continue;
    MapOccupant mark;
    mark.index = occupant.index;
    mark.set = occupant.set;
    mark.spawn = occupant.spawn;
    mark.heading = occupant.heading;
    mark.death = occupant.death;
    mark.gotAway = occupant.gotAway;
    mark.flight = occupant.flight;
    mark.removed = occupant.deleted && !occupant.dead && !occupant.gotAway;
    mark.leftBehind = occupant.leftBehind;
    for (const auto& [handle, blip] : seen.blips) {
      if (blip.entity == occupant.ped) ++mark.blips;
    }
    map.occupants.push_back(std::move(mark));
  }
  map.playerPath = seen.playerPath;
  map.playerPathUs = seen.playerPathUs;
  if (map.playerPath.empty() || Distance(map.playerPath.back(), player) > 0.0) {
    map.playerPath.push_back(player);
    map.playerPathUs.push_back(nowUs);
  }
  for (const auto& [handle, blip] : seen.blips) {
    if (MapShowsBlip(blip, focus)) map.blips.push_back(blip.map);
  }
  return map;
}

}  // namespace sim
