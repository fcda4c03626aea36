#include "registry/home_blip.h"

#include "host/blips.h"
#include "host/host_api.h"

namespace homestead {

void CreateHomeBlip(Homestead& h, const char* label) {
  h.homeBlip = host::AddBlipForCoords(host::kMarkerBlipStyle, h.center.x, h.center.y, h.center.z);
  host::SetBlipSprite(h.homeBlip, host::HashKey(kHomeBlipSprite));
  host::SetBlipScale(h.homeBlip, kHomeBlipScale);
  host::SetBlipLabel(h.homeBlip, label);
  host::AddBlipModifier(h.homeBlip, host::HashKey(kHomeBlipModifier));
  h.homeBlipActive = true;
}

}  // namespace homestead
