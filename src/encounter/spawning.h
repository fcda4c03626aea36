// Defender spawning and model loading.
#ifndef HOMESTEAD_ENCOUNTER_SPAWNING_H
#define HOMESTEAD_ENCOUNTER_SPAWNING_H

#include <cstdint>

namespace homestead {

// Requests `model` once and polls HasModelLoaded once per frame until it is
// loaded, or until kMaxModelPolls polls have answered no; then returns and the
// caller creates its entity as if the model were loaded.
void LoadModel(uint32_t model);
inline constexpr int kMaxModelPolls = 300;

// Style of an occupant's blip: given at spawning (on guard) and again when he
// attacks.
inline constexpr const char* kEnemyBlipStyle = "BLIP_STYLE_ENEMY";

// Creates one ped per DefenderSpawn, in catalogue order, into an empty
// `defenders` list of an available homestead, unless the activity is suppressed.
void SpawnDefenders(int32_t homesteadId);

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_SPAWNING_H
