// Building the catalogue (registry/catalogue_data.h) into the registry, and
// the start-up map blips.
#ifndef HOMESTEAD_REGISTRY_CATALOGUE_H
#define HOMESTEAD_REGISTRY_CATALOGUE_H

#include <cstdint>

#include "registry/catalogue_data.h"
#include "registry/homestead.h"

// Home-blip appearance shared by start-up and the end of a cooldown.
inline constexpr const char* kHomeBlipSprite = "blip_robbery_home";
inline constexpr float kHomeBlipScale = 0.6f;
inline constexpr const char* kHomeBlipModifier = "BLIP_MODIFIER_SCALE_2";
inline constexpr const char* kStartupHomeLabel = "Galdervine";

// Names `blip` with the literal text `label`: a string handle from
// CreateVarString, passed whole to SetBlipName.
void SetBlipLabel(int32_t blip, const char* label);

// Adds a home blip at `h.center` with `label` and marks it active.
void CreateHomeBlip(Homestead& h, const char* label);

// Builds the catalogue into the registry, replacing any record under the same
// id, then gives every homestead without a home blip its "Galdervine" blip.
void InitHomesteads();

#endif  // HOMESTEAD_REGISTRY_CATALOGUE_H
