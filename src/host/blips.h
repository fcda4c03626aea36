// How the plug-in marks its own places on the map: the blip style of its
// markers, their look, and a blip's label as a literal text.
#ifndef HOMESTEAD_HOST_BLIPS_H
#define HOMESTEAD_HOST_BLIPS_H

#include "host/host_api.h"

namespace homestead::host {

// Style of the plug-in's markers, on coordinates (the home blip) or on an
// entity (the money stack); occupants carry the enemy style instead.
inline constexpr Hash kMarkerBlipStyle = 1664425300;

// Names `blip` with the literal text `label`: a string handle from
// CreateVarString, passed whole to SetBlipName.
void SetBlipLabel(Blip blip, const char* label);

// The look of one kind of marker: the names of its sprite and of its
// modifier (hashed with HashKey when applied) and its scale.
struct MarkerLook {
  const char* sprite;
  float scale;
  const char* modifier;
};

// Styles the marker `blip` in host calls of this order: its sprite, its
// scale, the literal `label`, its modifier. Allocates nothing.
void StyleMarkerBlip(Blip blip, const MarkerLook& look, const char* label);

}  // namespace homestead::host

#endif  // HOMESTEAD_HOST_BLIPS_H
