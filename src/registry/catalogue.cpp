#include "registry/catalogue.h"

#include <vector>

#include "registry/home_blip.h"
#include "registry/registry.h"

namespace homestead {

void InitHomesteads() {
  HomesteadRegistry& registry = Registry();
  for (const CatalogueEntry& entry : kCatalogue) {
    Homestead built(entry.center,
                    std::vector<DefenderSpawn>(entry.defenders.begin(), entry.defenders.end()),
                    entry.lootPosition, std::vector<int32_t>());
    registry.FindOrInsert(entry.id) = std::move(built);
  }
  for (auto& [id, h] : registry) {
    if (!h.homeBlipActive) CreateHomeBlip(h, kStartupHomeLabel);
  }
}

}  // namespace homestead
