// Builds the map of one homestead from what the recorder observed: the
// homestead's places, its state at the end, its occupants with their blips,
// the player's path up to where he is now, and the blips that belong to it or
// lie near it.
#ifndef HOMESTEAD_SIM_RUN_MAP_BUILDER_H
#define HOMESTEAD_SIM_RUN_MAP_BUILDER_H

#include <cstdint>
#include <string>

#include "sim/base/places.h"
#include "sim/report/map_model.h"
#include "sim/run/observations.h"

namespace sim {

// Whether the map of homestead `focus` shows the blip: one of its own, or one
// that belongs to no homestead and lies near it.
bool MapShowsBlip(const ObservedBlip& blip, int focus);

// The player is at `player` at simulated time `nowUs`; his path ends there.
MapData BuildMap(const Observations& seen, int focus, const Vec3& player, int64_t nowUs,
                 std::string title, std::string subtitle);

}  // namespace sim

#endif  // HOMESTEAD_SIM_RUN_MAP_BUILDER_H
