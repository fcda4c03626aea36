#include "registry/home_blip.h"

#include "host/host_api.h"

namespace homestead {

void CreateHomeBlip(Homestead& h, const char* label) {
  h.homeBlip = host::AddBlipForCoords(host::kMarkerBlipStyle, h.center.x, h.center.y, h.center.z);
  host::StyleMarkerBlip(h.homeBlip, kHomeBlipLook, label);
  h.homeBlipActive = true;
}

}  // namespace homestead
