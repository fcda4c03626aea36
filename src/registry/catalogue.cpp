#include "registry/catalogue.h"

#include <vector>

#include "host/host_api.h"
#include "registry/registry.h"

namespace {
constexpr const char* kCampFire = "CC_WORLD_HUMAN_CAMP_FIRE_STAND";
constexpr const char* kCoffee = "WORLD_HUMAN_COFFEE_DRINK";
constexpr const char* kSmoke = "WORLD_HUMAN_SMOKE";
constexpr const char* kNoScenarioName = "";

// Text kind and format that CreateVarString takes for a literal label.
constexpr int32_t kLiteralStringKind = 10;
constexpr const char* kLiteralStringFormat = "LITERAL_STRING";
}  // namespace

// Occupants as {scenario, heading, position, model}.
constinit const std::array<CatalogueEntry, 2> kCatalogue = {{
    {1,
     Vector3(2626.33f, 1695.275f, 115.693f),
     Vector3(2623.609f, 1696.502f, 115.75f),
     {{
         {kNoScenarioName, 271.229f, Vector3(2628.946f, 1693.758f, 115.575f), kDefenderModel},
         {kCampFire, 208.705f, Vector3(2630.234f, 1697.852f, 115.703f), kDefenderModel},
         {kCampFire, 260.29f, Vector3(2624.169f, 1695.421f, 115.8f), kDefenderModel},
         {kCampFire, 20.546f, Vector3(2626.732f, 1692.672f, 115.69f), kDefenderModel},
         {kCoffee, 152.365f, Vector3(2627.155f, 1695.649f, 115.696f), kDefenderModel},
         {nullptr, 180.0f, Vector3(2626.843f, 1699.357f, 115.698f), kDefenderModel},
     }}},
    {7,
     Vector3(2308.75f, -331.853f, 41.899f),
     Vector3(2311.577f, -331.112f, 44.17f),
     {{
         {kNoScenarioName, 187.084f, Vector3(2308.686f, -332.154f, 44.535f), kDefenderModel},
         {kCoffee, 96.742f, Vector3(2307.768f, -330.821f, 44.535f), kDefenderModel},
         {kSmoke, 157.0f, Vector3(2307.275f, -334.121f, 41.899f), kDefenderModel},
         {kCoffee, 57.766f, Vector3(2312.128f, -327.337f, 41.884f), kDefenderModel},
         {kSmoke, 221.447f, Vector3(2307.419f, -330.906f, 41.899f), kDefenderModel},
         {kCoffee, 149.143f, Vector3(2310.874f, -328.781f, 41.899f), kDefenderModel},
     }}},
}};

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
