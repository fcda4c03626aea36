// The world's blips and the string handles that label them: the blip
// operations, the blips on entities and the lookups by handle (world.h).
#include <string>
#include <utility>

#include "platform/format.h"
#include "platform/world.h"

namespace platform {
namespace {

// String handles use the upper half too, so that a caller who cuts one down
// to 32 bits hands back a handle that resolves to nothing.
constexpr uint64_t kVarStringBase = 0x5354520000000000;

}  // namespace

uint64_t World::CreateVarString(int32_t /*kind*/, std::string_view format, std::string_view text) {
  if (format != "LITERAL_STRING") return 0;
  varStrings_.emplace_back(text);
  return kVarStringBase + varStrings_.size();
}

Blip* World::MutableBlip(int32_t handle) {
  return blipIndex_.Find(handle, blips_);
}

void World::AddBlip(Blip blip) {
  const int32_t handle = blip.handle;
  blipIndex_.Add(handle, &blips_.emplace(handle, std::move(blip)).first->second);
}

std::string World::BlipWords(const Blip& blip) const {
  std::string words = "blip " + std::to_string(blip.handle);
  if (!blip.label.empty()) words += " " + Quoted(blip.label);
  return words;
}

int32_t World::AddBlipForCoords(uint32_t style, const Vec3& at) {
  Blip blip;
  blip.handle = nextBlip_++;
  blip.coords = at;
  blip.style = style;
  WorldEvent& event = Record(EventKind::kBlipAdded, blip.handle,
                             BlipWords(blip) + " added at " + CoordsText(at.x, at.y, at.z));
  event.position = at;
  const int32_t handle = blip.handle;
  AddBlip(std::move(blip));
  return handle;
}

int32_t World::AddBlipForEntity(uint32_t style, int32_t entity) {
  const Entity* e = FindEntity(entity);
  if (e == nullptr) return 0;
  Blip blip;
  blip.handle = nextBlip_++;
  blip.entity = entity;
  blip.coords = e->position;
  blip.style = style;
  const char* what = e->kind == EntityKind::kPed ? " added on ped " : " added on object ";
  WorldEvent& event =
      Record(EventKind::kBlipAdded, blip.handle, BlipWords(blip) + what + std::to_string(entity));
  event.other = entity;
  event.position = e->position;
  const int32_t handle = blip.handle;
  AddBlip(std::move(blip));
  // Handles only grow, so the list stays in creation order.
  MutableEntity(entity)->blips.push_back(handle);
  return handle;
}

void World::SetBlipSprite(int32_t blip, uint32_t sprite) {
  if (Blip* b = MutableBlip(blip)) b->sprite = sprite;
}

void World::SetBlipScale(int32_t blip, float scale) {
  if (Blip* b = MutableBlip(blip)) b->scale = scale;
}

bool World::SetBlipName(int32_t blip, uint64_t name) {
  if (name <= kVarStringBase || name > kVarStringBase + varStrings_.size()) return false;
  Blip* b = MutableBlip(blip);
  if (b == nullptr) return true;
  b->label = varStrings_[name - kVarStringBase - 1];
  Record(EventKind::kBlipLabelled, blip,
         "blip " + std::to_string(blip) + " labelled " + Quoted(b->label))
      .text = b->label;
  return true;
}

void World::AddBlipModifier(int32_t blip, uint32_t modifier) {
  if (Blip* b = MutableBlip(blip)) b->modifiers.push_back(modifier);
}

void World::RemoveBlip(int32_t* handle) {
  const auto it = blips_.find(*handle);
  if (it == blips_.end()) return;
  WorldEvent& event =
      Record(EventKind::kBlipRemoved, it->first, BlipWords(it->second) + " removed");
  event.text = it->second.label;
  event.other = it->second.entity;
  event.position = BlipPosition(it->second);
  if (it->second.entity != 0) ForgetEntityBlip(it->second.entity, it->first);
  blipIndex_.Remove(it->first);
  blips_.erase(it);
  *handle = 0;
}

void World::RemoveBlipsOn(int32_t entity, std::string_view why) {
  for (auto it = blips_.begin(); it != blips_.end();) {
    if (it->second.entity != entity) {
      ++it;
      continue;
    }
    WorldEvent& event = Record(EventKind::kBlipRemoved, it->first,
                               BlipWords(it->second) + " removed: " + std::string(why));
    event.text = it->second.label;
    event.other = entity;
    event.position = BlipPosition(it->second);
    blipIndex_.Remove(it->first);
    it = blips_.erase(it);
  }
  if (Entity* e = MutableEntity(entity)) e->blips.clear();
}

void World::ForgetEntityBlip(int32_t entity, int32_t blip) {
  if (Entity* e = MutableEntity(entity)) std::erase(e->blips, blip);
}

std::vector<const Blip*> World::BlipsOn(int32_t entity) const {
  std::vector<const Blip*> on;
  for (const auto& [handle, blip] : blips_) {
    if (blip.entity == entity) on.push_back(&blip);
  }
  return on;
}

Vec3 World::BlipPosition(const Blip& blip) const {
  if (blip.entity == 0) return blip.coords;
  const Entity* e = FindEntity(blip.entity);
  return e != nullptr ? e->position : blip.coords;
}

int32_t World::GetBlipFromEntity(int32_t entity) {
  Entity* e = MutableEntity(entity);
  if (e == nullptr || e->blips.empty()) return 0;
  // One blip is the usual case, and needs no division.
  const std::size_t size = e->blips.size();
  const int32_t blip = e->blips[size == 1 ? 0 : e->blipCursor % size];
  ++e->blipCursor;
  return blip;
}

bool World::DoesBlipExist(int32_t blip) const {
  return blipIndex_.Find(blip, blips_) != nullptr;
}

}  // namespace platform
