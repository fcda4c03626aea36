#include "platform/world.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <utility>

#include "platform/format.h"
#include "platform/portable_math.h"

namespace platform {
namespace {

constexpr int32_t kMinutesPerDay = 24 * 60;
constexpr double kSecondsPerDay = 24.0 * 3600.0;

}  // namespace

uint32_t TextHash(std::string_view text) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

namespace {

constexpr std::string_view kTaskNames[] = {
#define HOMESTEAD_TASK_KIND(name, text) text,
#include "platform/task_kinds.def"
#undef HOMESTEAD_TASK_KIND
};
static_assert(std::size(kTaskNames) == kTaskKindCount, "one name per task kind");

constexpr std::string_view kEventKindNames[] = {
#define HOMESTEAD_EVENT_KIND(name, text) text,
#include "platform/event_kinds.def"
#undef HOMESTEAD_EVENT_KIND
};
static_assert(std::size(kEventKindNames) == kEventKindCount, "one name per event kind");

}  // namespace

std::string_view TaskName(TaskKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  return index < std::size(kTaskNames) ? kTaskNames[index] : "?";
}

std::string_view EventKindName(EventKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  return index < std::size(kEventKindNames) ? kEventKindNames[index] : "?";
}

int64_t DefaultSpeechDurationMs(std::string_view line, int32_t variation) {
  const int64_t base = 1200 + 80 * static_cast<int64_t>(line.size());
  const int64_t byVariation = 150 * ((variation > 0 ? variation - 1 : 0) % 3);
  return std::clamp<int64_t>(base + byVariation, 1500, 5000);
}

World::World(WorldConfig config) : config_(std::move(config)), random_(config_.seed) {
  SetClock(config_.startHour, config_.startMinute);
  Entity player;
  player.handle = kPlayerHandle;
  player.position = config_.playerStart;
  AddEntity(std::move(player));
  nextEntity_ = kPlayerHandle + 1;
}

// --- Time ---------------------------------------------------------------------

void World::AdvanceTo(int64_t frame, int64_t nowUs) {
  const int64_t elapsedUs = std::max<int64_t>(0, nowUs - nowUs_);
  frame_ = frame;
  nowUs_ = std::max(nowUs_, nowUs);
  MoveFleeingPeds(static_cast<double>(elapsedUs) / 1e6);
}

void World::MoveFleeingPeds(double seconds) {
  if (seconds <= 0.0) return;
  const double step = config_.fleeSpeed * seconds;
  for (auto& [handle, e] : entities_) {
    if (e.kind != EntityKind::kPed || e.dead || e.task.kind != TaskKind::kFlee) continue;
    const Entity* threat = FindEntity(e.task.target);
    const Vec3 from = threat != nullptr ? threat->position : e.position;
    double dx = double(e.position.x) - from.x;
    double dy = double(e.position.y) - from.y;
    double length = std::sqrt(dx * dx + dy * dy);
    if (length < 1e-6) {
      // Standing on the threat: run the way the ped faces.
      const SinCos facing = SinCosDegrees(e.heading);
      dx = -facing.sin;
      dy = facing.cos;
      length = 1.0;
    }
    e.position.x = static_cast<float>(e.position.x + dx / length * step);
    e.position.y = static_cast<float>(e.position.y + dy / length * step);
    e.heading = static_cast<float>(std::fmod(Atan2Degrees(-dx, dy) + 360.0, 360.0));
  }
}

// --- Player -----------------------------------------------------------------------

Vec3 World::PlayerPosition() const {
  return entities_.at(kPlayerHandle).position;
}

void World::SetPlayerPosition(const Vec3& position) {
  entities_.at(kPlayerHandle).position = position;
}

bool World::MovePlayerToward(const Vec3& target, float metres) {
  Vec3& at = entities_.at(kPlayerHandle).position;
  const float remaining = Distance3(at, target);
  if (remaining <= metres) {
    at = target;
    return true;
  }
  const float t = metres / remaining;
  at.x += (target.x - at.x) * t;
  at.y += (target.y - at.y) * t;
  at.z += (target.z - at.z) * t;
  return false;
}

// --- Clock --------------------------------------------------------------------------

namespace {

// std::fmod(seconds, kSecondsPerDay), which is exact, for the usual value from
// 0 to 2^52 without a division: x - n * day is exact there (n * day is an
// integer, and integers are multiples of x's last place), and a day count
// that the multiplication by the reciprocal put one off is put right by one
// more step.
double SecondsOfDay(double seconds) {
  if (!(seconds >= 0.0 && seconds < 0x1p52)) return std::fmod(seconds, kSecondsPerDay);
  const auto days = static_cast<int64_t>(seconds * (1.0 / kSecondsPerDay));
  double ofDay = seconds - static_cast<double>(days) * kSecondsPerDay;
  if (ofDay < 0.0) ofDay += kSecondsPerDay;
  if (ofDay >= kSecondsPerDay) ofDay -= kSecondsPerDay;
  return ofDay;
}

}  // namespace

int32_t World::ClockMinuteOfDay() const {
  const double seconds = clockAnchorGameSeconds_ +
                         static_cast<double>(nowUs_ - clockAnchorUs_) / 1e6 * config_.clockRate;
  return static_cast<int32_t>(SecondsOfDay(seconds) / 60.0) % kMinutesPerDay;
}

int32_t World::ClockHour() const {
  return ClockMinuteOfDay() / 60;
}

void World::SetClock(int32_t hour, int32_t minute) {
  clockAnchorUs_ = nowUs_;
  const int32_t ofDay = ((hour * 60 + minute) % kMinutesPerDay + kMinutesPerDay) % kMinutesPerDay;
  clockAnchorGameSeconds_ = ofDay * 60.0;
}

void World::AdvanceClockMinutes(int64_t minutes) {
  const double seconds = clockAnchorGameSeconds_ +
                         static_cast<double>(nowUs_ - clockAnchorUs_) / 1e6 * config_.clockRate;
  clockAnchorUs_ = nowUs_;
  // Keep within one day so that the double keeps its precision on long runs.
  clockAnchorGameSeconds_ =
      std::fmod(seconds + static_cast<double>(minutes) * 60.0, kSecondsPerDay);
  if (clockAnchorGameSeconds_ < 0) clockAnchorGameSeconds_ += kSecondsPerDay;
}

// --- Random ---------------------------------------------------------------------------

void World::ScriptRandom(std::vector<int32_t> answers) {
  scriptedRandom_.insert(scriptedRandom_.end(), answers.begin(), answers.end());
}

int32_t World::RandomIntInRange(int32_t min, int32_t max) {
  if (!scriptedRandom_.empty()) {
    const int32_t answer = scriptedRandom_.front();
    scriptedRandom_.pop_front();
    return answer;
  }
  if (max <= min) return min;
  const auto span = static_cast<uint32_t>(static_cast<int64_t>(max) - min);
  return static_cast<int32_t>(min + static_cast<int64_t>(random_() % span));
}

// --- Entities ---------------------------------------------------------------------------

const Entity* World::FindEntity(int32_t handle) const {
  return entityIndex_.Find(handle, entities_);
}

Entity* World::MutableEntity(int32_t handle) {
  return entityIndex_.Find(handle, entities_);
}

void World::AddEntity(Entity entity) {
  const int32_t handle = entity.handle;
  entityIndex_.Add(handle, &entities_.emplace(handle, std::move(entity)).first->second);
}

void World::EraseEntity(int32_t handle) {
  entityIndex_.Remove(handle);
  entities_.erase(handle);
}

Entity* World::MutablePed(int32_t handle) {
  Entity* e = MutableEntity(handle);
  return e != nullptr && e->kind == EntityKind::kPed ? e : nullptr;
}

std::vector<const Entity*> World::Peds() const {
  std::vector<const Entity*> peds;
  for (const auto& [handle, e] : entities_) {
    if (e.kind == EntityKind::kPed && handle != kPlayerHandle) peds.push_back(&e);
  }
  return peds;
}

std::vector<const Entity*> World::Objects() const {
  std::vector<const Entity*> objects;
  for (const auto& [handle, e] : entities_) {
    if (e.kind == EntityKind::kObject) objects.push_back(&e);
  }
  return objects;
}

bool World::KillPed(int32_t handle) {
  Entity* ped = MutablePed(handle);
  if (ped == nullptr || ped->dead || handle == kPlayerHandle) return false;
  ped->dead = true;
  ped->speakingUntilUs = nowUs_;
  ped->task = Task{};
  Record(EventKind::kPedKilled, handle,
         "ped " + std::to_string(handle) + " killed at " +
             CoordsText(ped->position.x, ped->position.y, ped->position.z))
      .position = ped->position;
  return true;
}

bool World::TakeObject(int32_t handle) {
  Entity* object = MutableEntity(handle);
  if (object == nullptr || object->kind != EntityKind::kObject) return false;
  Record(EventKind::kObjectTaken, handle, "object " + std::to_string(handle) + " taken").position =
      object->position;
  RemoveBlipsOn(handle, "its object was taken");
  EraseEntity(handle);
  return true;
}

Vec3 World::GetEntityCoords(int32_t entity) const {
  const Entity* e = FindEntity(entity);
  return e != nullptr ? e->position : Vec3{};
}

bool World::DoesEntityExist(int32_t entity) const {
  return FindEntity(entity) != nullptr;
}

bool World::IsEntityDead(int32_t entity) const {
  const Entity* e = FindEntity(entity);
  return e == nullptr || e->dead;
}

// --- Models and creation ----------------------------------------------------------------

bool World::ModelLoaded(uint32_t model) const {
  if (config_.modelLoadFrames < 0) return false;
  const auto it = modelRequests_.find(model);
  return it != modelRequests_.end() && frame_ - it->second >= config_.modelLoadFrames;
}

void World::RequestModel(uint32_t model) {
  modelRequests_.emplace(model, frame_);  // a repeated request keeps the first
}

void World::SetModelAsNoLongerNeeded(uint32_t model) {
  modelRequests_.erase(model);
}

int32_t World::CreatePed(uint32_t model, const Vec3& at, float heading) {
  if (!ModelLoaded(model)) {
    Record(EventKind::kCreationFailed, 0, "ped not created: model " + Hex32(model) + " not loaded")
        .number = static_cast<int32_t>(model);
    return 0;
  }
  Entity ped;
  ped.handle = nextEntity_++;
  ped.kind = EntityKind::kPed;
  ped.model = model;
  ped.position = at;
  ped.heading = heading;
  char heading_text[32];
  std::snprintf(heading_text, sizeof heading_text, "%.1f", heading);
  WorldEvent& event =
      Record(EventKind::kPedCreated, ped.handle,
             "ped " + std::to_string(ped.handle) + " created at " + CoordsText(at.x, at.y, at.z) +
                 " heading " + heading_text + ", model " + Hex32(model));
  event.position = at;
  event.number = static_cast<int32_t>(model);
  const int32_t handle = ped.handle;
  AddEntity(std::move(ped));
  return handle;
}

int32_t World::CreateObject(uint32_t model, const Vec3& at) {
  if (!ModelLoaded(model)) {
    Record(EventKind::kCreationFailed, 0,
           "object not created: model " + Hex32(model) + " not loaded")
        .number = static_cast<int32_t>(model);
    return 0;
  }
  Entity object;
  object.handle = nextEntity_++;
  object.kind = EntityKind::kObject;
  object.model = model;
  object.position = at;
  WorldEvent& event = Record(EventKind::kObjectCreated, object.handle,
                             "object " + std::to_string(object.handle) + " created at " +
                                 CoordsText(at.x, at.y, at.z) + ", model " + Hex32(model));
  event.position = at;
  event.number = static_cast<int32_t>(model);
  const int32_t handle = object.handle;
  AddEntity(std::move(object));
  return handle;
}

void World::DeleteEntity(int32_t* handle) {
  const int32_t target = *handle;
  const Entity* e = FindEntity(target);
  if (e == nullptr || target == kPlayerHandle) return;
  const char* what = e->kind == EntityKind::kPed ? "ped " : "object ";
  Record(EventKind::kEntityDeleted, target, what + std::to_string(target) + " deleted").position =
      e->position;
  RemoveBlipsOn(target, "its entity was deleted");
  EraseEntity(target);
  *handle = 0;
}

// --- Ped set-up, tasks and weapons ------------------------------------------------------

void World::SetPedRelationshipGroup(int32_t ped, uint32_t group) {
  if (Entity* e = MutablePed(ped)) e->relationshipGroup = group;
}

void World::SetPedOption(PedOption which, int32_t ped, int32_t value) {
  Entity* e = MutablePed(ped);
  if (e == nullptr) return;
  switch (which) {
    case PedOption::kA:
      e->optionA = value;
      break;
    case PedOption::kB:
      e->optionB = value;
      break;
    case PedOption::kC:
      e->optionC = value;
      break;
  }
}

void World::SetPedPromptName(int32_t ped, std::string_view name) {
  if (Entity* e = MutablePed(ped)) e->promptName = std::string(name);
}

void World::GiveTask(int32_t ped, const Task& task) {
  Entity* e = MutablePed(ped);
  if (e == nullptr) return;
  e->task = task;
  std::string words = (ped == kPlayerHandle ? std::string("player") : "ped " + std::to_string(ped));
  words += ": ";
  words += TaskName(task.kind);
  if (task.kind == TaskKind::kScenario) {
    words += " " + Quoted(NameOr(task.scenario));
  } else if (task.target != 0) {
    words += task.target == kPlayerHandle ? " player" : " entity " + std::to_string(task.target);
  }
  WorldEvent& event = Record(EventKind::kTaskGiven, ped, std::move(words));
  event.other = task.target;
  event.position = e->position;
  event.text = task.kind == TaskKind::kScenario ? NameOr(task.scenario) : TaskName(task.kind);
}

void World::ClearPedTasks(int32_t ped) {
  Entity* e = MutablePed(ped);
  if (e == nullptr) return;
  e->task = Task{};
  Record(EventKind::kTasksCleared, ped, "ped " + std::to_string(ped) + ": tasks cleared");
}

void World::GiveWeaponToPed(int32_t ped, uint32_t weapon) {
  Entity* e = MutablePed(ped);
  if (e == nullptr) return;
  if (std::find(e->weapons.begin(), e->weapons.end(), weapon) == e->weapons.end()) {
    e->weapons.push_back(weapon);
  }
  Record(EventKind::kWeaponGiven, ped, "ped " + std::to_string(ped) + " given " + NameOr(weapon))
      .text = NameOr(weapon);
}

bool World::GetCurrentPedWeapon(int32_t ped, uint32_t* weapon) const {
  const Entity* e = FindEntity(ped);
  *weapon = e != nullptr ? e->currentWeapon : 0;
  return *weapon != 0;
}

void World::SetCurrentPedWeapon(int32_t ped, uint32_t weapon) {
  Entity* e = MutablePed(ped);
  if (e == nullptr || std::find(e->weapons.begin(), e->weapons.end(), weapon) == e->weapons.end()) {
    return;
  }
  e->currentWeapon = weapon;
  Record(EventKind::kWeaponDrawn, ped, "ped " + std::to_string(ped) + " draws " + NameOr(weapon))
      .text = NameOr(weapon);
}

// --- Speech -----------------------------------------------------------------------------

bool World::PlayAmbientSpeech(int32_t ped, std::string_view line, int32_t variation,
                              uint32_t paramsHash) {
  Entity* e = MutablePed(ped);
  const std::string who = ped == kPlayerHandle ? "player" : "ped " + std::to_string(ped);
  if (e == nullptr || e->dead) {
    WorldEvent& event =
        Record(EventKind::kSpeechSilenced, ped,
               who + " cannot say " + std::string(line) + (e == nullptr ? ": gone" : ": dead"));
    event.text = std::string(line);
    event.number = variation;
    return false;
  }
  const int64_t ms = config_.speechDurationMs ? config_.speechDurationMs(line, variation)
                                              : DefaultSpeechDurationMs(line, variation);
  SpeechLine spoken;
  spoken.frame = frame_;
  spoken.startUs = nowUs_;
  spoken.durationUs = ms * 1000;
  spoken.ped = ped;
  spoken.line = std::string(line);
  spoken.variation = variation;
  spoken.paramsHash = paramsHash;
  e->speakingUntilUs = nowUs_ + spoken.durationUs;
  WorldEvent& event =
      Record(EventKind::kSpeech, ped,
             who + " says " + spoken.line + " (variation " + std::to_string(variation) + ")");
  event.text = spoken.line;
  event.number = variation;
  event.position = e->position;
  speech_.push_back(std::move(spoken));
  return true;
}

bool World::IsAnySpeechPlaying(int32_t ped) const {
  const Entity* e = FindEntity(ped);
  return e != nullptr && !e->dead && nowUs_ < e->speakingUntilUs;
}

// --- Objectives -------------------------------------------------------------------------

void World::SetObjectiveText(std::string_view text) {
  pendingObjective_ = std::string(text);
}

void World::ShowObjective() {
  if (!pendingObjective_) return;
  shownObjective_ = pendingObjective_;
  Record(EventKind::kObjectiveShown, 0, "objective shown: " + Quoted(*shownObjective_)).text =
      *shownObjective_;
}

void World::ClearObjective() {
  if (!shownObjective_) return;
  Record(EventKind::kObjectiveCleared, 0, "objective cleared: " + Quoted(*shownObjective_)).text =
      *shownObjective_;
  shownObjective_.reset();
}

// --- Texts ----------------------------------------------------------------------

uint32_t World::HashKey(std::string_view text) {
  const uint32_t hash = TextHash(text);
  hashNames_.try_emplace(hash, text);
  return hash;
}

std::optional<std::string_view> World::NameOfHash(uint32_t hash) const {
  const auto it = hashNames_.find(hash);
  if (it == hashNames_.end()) return std::nullopt;
  return std::string_view(it->second);
}

std::string World::NameOr(uint32_t hash) const {
  const auto name = NameOfHash(hash);
  return name ? std::string(*name) : Hex32(hash);
}

// --- Event log ------------------------------------------------------------------------------

WorldEvent& World::Record(EventKind kind, int32_t subject, std::string words) {
  WorldEvent& event = events_.emplace_back();
  event.frame = frame_;
  event.timeUs = nowUs_;
  event.clockMinute = ClockMinuteOfDay();
  event.kind = kind;
  event.subject = subject;
  event.words = std::move(words);
  return event;
}

}  // namespace platform
