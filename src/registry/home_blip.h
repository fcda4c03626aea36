// A homestead's home blip: its appearance and its two labels, the one it gets
// at start-up and the one it gets back when its cooldown ends.
#ifndef HOMESTEAD_REGISTRY_HOME_BLIP_H
#define HOMESTEAD_REGISTRY_HOME_BLIP_H

#include "host/blips.h"
#include "registry/homestead.h"

namespace homestead {

inline constexpr host::MarkerLook kHomeBlipLook = {"blip_robbery_home", 0.6f,
                                                   "BLIP_MODIFIER_SCALE_2"};
inline constexpr const char* kStartupHomeLabel = "Galdervine";
inline constexpr const char* kRestoredHomeLabel = "Tarnwick";

// Adds a home blip at `h.center` with `label` and marks it active.
void CreateHomeBlip(Homestead& h, const char* label);

}  // namespace homestead

#endif  // HOMESTEAD_REGISTRY_HOME_BLIP_H
