// A blip's label as a literal text, for every blip the plug-in names.
#ifndef HOMESTEAD_HOST_BLIPS_H
#define HOMESTEAD_HOST_BLIPS_H

#include "host/host_api.h"

namespace homestead::host {

// Names `blip` with the literal text `label`: a string handle from
// CreateVarString, passed whole to SetBlipName.
void SetBlipLabel(Blip blip, const char* label);

}  // namespace homestead::host

#endif  // HOMESTEAD_HOST_BLIPS_H
