// What the recorder has made of the world so far: each homestead's robbery
// cycle, the occupants it recognised, the blips and the player's sampled path.
// The recorder fills it in as events arrive; the map is built from it.
#ifndef HOMESTEAD_SIM_RUN_OBSERVATIONS_H
#define HOMESTEAD_SIM_RUN_OBSERVATIONS_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "sim/base/places.h"
#include "sim/report/map_model.h"

namespace sim {

// A homestead's place in its robbery cycle, as the world shows it.
enum class HomesteadState : uint8_t { kAvailable, kEncounter, kCoolingDown };

// "available", "encounter running", "cooling down".
std::string_view StateName(HomesteadState state);

struct ObservedOccupant {
  int32_t ped = 0;
  int homestead = 0;
  int set = 0;    // 1 for the homestead's first set, 2 ...
  int index = 0;  // creation order within the set
  Vec3 spawn;
  double heading = 0;
  bool dead = false;
  std::optional<Vec3> death;
  bool fleeing = false;
  bool gotAway = false;
  bool deleted = false;
  bool leftBehind = false;  // in the world when the plug-in was reloaded
  std::vector<Vec3> flight;
};

// One homestead followed through its cycles.
struct HomesteadTrack {
  int id = 0;
  HomesteadState state = HomesteadState::kAvailable;
  int sets = 0;
  std::vector<std::size_t> current;  // indices into Observations::occupants
  bool homeBlipSeen = false;
  int32_t lootObject = 0;
  std::optional<Vec3> lootPlaced;
  bool attacked = false;          // the current set was sent to attack
  std::optional<int> stateClock;  // game clock minute of the last state change
  std::string_view stage;         // of the running encounter; empty when none
  // Money stacks in the world when the plug-in was reloaded, where they lay.
  std::vector<Vec3> lootLeftBehind;
};

struct ObservedBlip {
  MapBlip map;
  int homestead = 0;
  int32_t entity = 0;  // 0 for a blip on coordinates
};

struct Observations {
  std::vector<HomesteadTrack> tracks;
  std::vector<ObservedOccupant> occupants;
  std::map<int32_t, ObservedBlip> blips;  // by handle
  std::vector<Vec3> playerPath;           // sampled, in time order
  std::vector<int64_t> playerPathUs;      // simulated time of each point
};

}  // namespace sim

#endif  // HOMESTEAD_SIM_RUN_OBSERVATIONS_H
