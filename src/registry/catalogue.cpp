#include "registry/catalogue.h"

#include <vector>

#include "host/host_api.h"
#include "registry/registry.h"

namespace {
// Text kind and format that CreateVarString takes for a literal label.
constexpr int32_t kLiteralStringKind = 10;
constexpr const char* kLiteralStringFormat = "LITERAL_STRING";
}  // namespace

void SetBlipLabel(int32_t blip, const char* label) {
  host::SetBlipName(blip, host::CreateVarString(kLiteralStringKind, kLiteralStringFormat, label));
}

void CreateHomeBlip(Homestead& h, const char* label) {
  h.homeBlip = host::AddBlipForCoords(h.center.x, h.center.y, h.center.z);
  host::SetBlipSprite(h.homeBlip, host::HashKey(kHomeBlipSprite));
  host::SetBlipScale(h.homeBlip, kHomeBlipScale);
  SetBlipLabel(h.homeBlip, label);
  host::AddBlipModifier(h.homeBlip, host::HashKey(kHomeBlipModifier));
  h.homeBlipActive = true;
}

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
