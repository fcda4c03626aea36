// Building the catalogue (registry/catalogue_data.h) into the registry, with
// the start-up map blips.
#ifndef HOMESTEAD_REGISTRY_CATALOGUE_H
#define HOMESTEAD_REGISTRY_CATALOGUE_H

#include "registry/catalogue_data.h"
#include "registry/homestead.h"

namespace homestead {

// Builds the catalogue into the registry, replacing any record under the same
// id, then gives every homestead without a home blip its "Galdervine" blip.
void InitHomesteads();

}  // namespace homestead

#endif  // HOMESTEAD_REGISTRY_CATALOGUE_H
