// A deterministic simulated world that answers the host operations.
//
// The world holds the player, peds and objects (one handle space for all
// entities), map blips, models, ambient speech, objectives, the game clock,
// the suppression flag and a seeded random source. The host's dispatcher
// calls the operation methods below with decoded arguments; tests and
// simulators drive it through the control methods (move the player, kill a
// ped, take an object, set or jump the clock) and read what it shows.
//
// Time comes from the host: AdvanceTo() is called once per frame with the
// frame number and the simulated time, and moves fleeing peds, loads models
// and runs the game clock. Everything is a pure function of the seed, the
// configuration and the calls made, so a run can be repeated exactly.
//
// Choices where a host has freedom:
//   - Entity handles start at 100 (the player is 100); blip handles start at
//     1. Handles are never reused.
//   - RemoveBlip and DeleteEntity write 0 back through the handle's address
//     when they removed something, and leave it alone otherwise.
//   - Deleting an entity removes the blips on it.
//   - A handle that names no entity counts as dead: nothing that does not
//     exist is alive. Objects are never dead.
//   - GetBlipFromEntity cycles through the entity's blips in creation order,
//     one per call, so that a caller who asks twice about an entity with two
//     blips learns both.
//   - A model loads modelLoadFrames frames after its request and is unloaded
//     again when it is no longer needed; creating a ped or object from a model
//     that is not loaded fails with handle 0.
//   - A fleeing ped runs straight away from its threat at fleeSpeed on the
//     ground plane; the position given with the flee order is not used.
//   - Peds start unarmed; a given weapon is carried but not drawn until
//     SetCurrentPedWeapon.
//   - A line of speech plays for a time that depends on its name and
//     variation (1.5 to 5 s); a new line replaces the ped's current one. A
//     dead or missing ped says nothing, and a ped that dies falls silent.
//   - DistanceBetweenCoords is 3-D when its flag is set, 2-D (x, y) otherwise.
#ifndef HOMESTEAD_PLATFORM_WORLD_H
#define HOMESTEAD_PLATFORM_WORLD_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// In double, rounded to float once at the end. Inline: the dispatcher's
// handler asks it several times per frame.
inline float Distance3(const Vec3& a, const Vec3& b) {
  const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
  return static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz));
}

// The world's text hash: 32-bit FNV-1a over the bytes of the text.
uint32_t TextHash(std::string_view text);

enum class EntityKind : uint8_t { kPed, kObject };

// The three ped options of operations SetPedOptionA, B and C, whose meaning
// lies wholly with the host: the world keeps their values.
enum class PedOption : uint8_t { kA, kB, kC };

enum class TaskKind : uint8_t {
#define HOMESTEAD_TASK_KIND(name, text) k##name,
#include "platform/task_kinds.def"
#undef HOMESTEAD_TASK_KIND
};
inline constexpr std::size_t kTaskKindCount = 0
#define HOMESTEAD_TASK_KIND(name, text) +1
#include "platform/task_kinds.def"
#undef HOMESTEAD_TASK_KIND
    ;
// The name task_kinds.def gives the kind; "?" for a value outside it.
std::string_view TaskName(TaskKind kind);

struct Task {
  TaskKind kind = TaskKind::kNone;
  int32_t target = 0;     // the entity faced, aimed at, fought, or fled from
  uint32_t scenario = 0;  // kScenario
};

struct Entity {
  int32_t handle = 0;
  EntityKind kind = EntityKind::kPed;
  uint32_t model = 0;
  Vec3 position;
  float heading = 0.0f;
  bool dead = false;
  // Peds only.
  uint32_t relationshipGroup = 0;
  std::string promptName;
  std::optional<int32_t> optionA, optionB, optionC;
  Task task;
  std::vector<uint32_t> weapons;
  uint32_t currentWeapon = 0;
  int64_t speakingUntilUs = 0;
  // The blips on it, in creation order, and the one GetBlipFromEntity
  // answers next (an index into them).
  std::vector<int32_t> blips;
  std::size_t blipCursor = 0;
};

struct Blip {
  int32_t handle = 0;
  int32_t entity = 0;  // 0 for a blip on coordinates
  Vec3 coords;         // where the blip was placed (for an entity blip: at creation)
  uint32_t style = 0;
  uint32_t sprite = 0;
  float scale = 1.0f;
  std::string label;
  std::vector<uint32_t> modifiers;
};

struct SpeechLine {
  int64_t frame = 0;
  int64_t startUs = 0;
  int64_t durationUs = 0;
  int32_t ped = 0;
  std::string line;
  int32_t variation = 0;
  uint32_t paramsHash = 0;
};

enum class EventKind : uint8_t {
#define HOMESTEAD_EVENT_KIND(name, text) k##name,
#include "platform/event_kinds.def"
#undef HOMESTEAD_EVENT_KIND
};
inline constexpr std::size_t kEventKindCount = 0
#define HOMESTEAD_EVENT_KIND(name, text) +1
#include "platform/event_kinds.def"
#undef HOMESTEAD_EVENT_KIND
    ;
// The name event_kinds.def gives the kind; "?" for a value outside it.
std::string_view EventKindName(EventKind kind);

// One thing that happened, with the words a timeline prints for it.
struct WorldEvent {
  int64_t frame = 0;
  int64_t timeUs = 0;
  int32_t clockMinute = 0;  // minute of the game day, 0 to 1439
  EventKind kind = EventKind::kBlipAdded;
  int32_t subject = 0;  // the blip or entity the event is about
  int32_t other = 0;    // a blip's entity, a task's target
  Vec3 position;
  std::string text;    // label, line, objective, task or scenario name
  int32_t number = 0;  // variation of a line; model of a created entity
  std::string words;
};

// The values of a std::map by handle, found in constant time. Handles are
// handed out in increasing order from `first` and never reused, so the first
// kDenseHandles of them sit densely in a vector of pointers to the map's
// nodes (which never move); Find asks the map for a handle beyond.
template <typename T>
class HandleIndex {
 public:
  static constexpr uint64_t kDenseHandles = uint64_t{1} << 16;

  explicit HandleIndex(int32_t first) : first_(first) {}

  void Add(int32_t handle, T* value) {
    if (!Covers(handle)) return;
    const uint64_t offset = Offset(handle);
    if (offset >= slots_.size()) slots_.resize(offset + 1, nullptr);
    slots_[offset] = value;
  }
  void Remove(int32_t handle) {
    if (Offset(handle) < slots_.size()) slots_[Offset(handle)] = nullptr;
  }
  // The value of `handle` in `map`, the owner's map of every value: from
  // the index when it covers the handle, else from the map. Const through a
  // const map.
  template <typename Map>
  auto Find(int32_t handle, Map& map) const -> decltype(&map.begin()->second) {
    if (Covers(handle)) return At(handle);
    const auto it = map.find(handle);
    return it == map.end() ? nullptr : &it->second;
  }

 private:
  uint64_t Offset(int32_t handle) const {
    return static_cast<uint64_t>(int64_t{handle} - int64_t{first_});
  }
  // Whether At() answers for `handle`.
  bool Covers(int32_t handle) const { return Offset(handle) < kDenseHandles; }
  // The value of a covered handle; nullptr when it is gone or not yet given.
  T* At(int32_t handle) const {
    const uint64_t offset = Offset(handle);
    return offset < slots_.size() ? slots_[offset] : nullptr;
  }

  int32_t first_;
  std::vector<T*> slots_;
};

struct WorldConfig {
  uint32_t seed = 1;
  // Frames between RequestModel and HasModelLoaded answering true; a
  // negative value means models never load.
  int32_t modelLoadFrames = 2;
  // Game-clock seconds per simulated second: 30 is one game minute per two
  // simulated seconds.
  double clockRate = 30.0;
  int32_t startHour = 12;
  int32_t startMinute = 0;
  Vec3 playerStart;
  float fleeSpeed = 6.0f;  // metres per second
  // Length of a line in ms; when empty, the world's own rule (1.5 to 5 s).
  std::function<int64_t(std::string_view line, int32_t variation)> speechDurationMs;
};

// The world's own rule for the length of a line.
int64_t DefaultSpeechDurationMs(std::string_view line, int32_t variation);

class World {
 public:
  static constexpr int32_t kPlayerHandle = 100;

  explicit World(WorldConfig config = {});
  // Its indexes point into its own maps.
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // --- Time ----------------------------------------------------------------
  // Moves the world to `frame` at simulated time `nowUs` (not earlier than
  // the last call): the clock runs, fleeing peds run.
  void AdvanceTo(int64_t frame, int64_t nowUs);
  int64_t frame() const { return frame_; }
  int64_t nowUs() const { return nowUs_; }

  // --- Player --------------------------------------------------------------
  Vec3 PlayerPosition() const;
  void SetPlayerPosition(const Vec3& position);
  // Moves the player at most `metres` toward `target`; true once there.
  bool MovePlayerToward(const Vec3& target, float metres);

  // --- Clock and suppression -----------------------------------------------
  int32_t ClockHour() const;
  int32_t ClockMinuteOfDay() const;
  void SetClock(int32_t hour, int32_t minute = 0);
  void AdvanceClockMinutes(int64_t minutes);
  void SetSuppressed(bool suppressed) { suppressed_ = suppressed; }
  bool suppressed() const { return suppressed_; }

  // --- Random --------------------------------------------------------------
  // Answers for the next RandomIntInRange calls, used before the generator
  // and given back unchanged (even outside the asked range).
  void ScriptRandom(std::vector<int32_t> answers);

  // --- Entities --------------------------------------------------------------
  const Entity* FindEntity(int32_t handle) const;
  const std::map<int32_t, Entity>& entities() const { return entities_; }
  // Peds other than the player, in creation order.
  std::vector<const Entity*> Peds() const;
  std::vector<const Entity*> Objects() const;
  // Shoots a ped: it dies where it stands and falls silent. False when there
  // is no such living ped.
  bool KillPed(int32_t handle);
  // The player picks an object up: it leaves the world with its blips.
  bool TakeObject(int32_t handle);

  // --- What the world shows -------------------------------------------------
  const std::map<int32_t, Blip>& blips() const { return blips_; }
  std::vector<const Blip*> BlipsOn(int32_t entity) const;
  // Where the blip is now: an entity blip follows its entity.
  Vec3 BlipPosition(const Blip& blip) const;
  // The text that hashed to `hash` through HashKey, if any.
  std::optional<std::string_view> NameOfHash(uint32_t hash) const;
  const std::optional<std::string>& shownObjective() const { return shownObjective_; }
  const std::vector<SpeechLine>& speech() const { return speech_; }
  const std::vector<WorldEvent>& events() const { return events_; }
  bool ModelLoaded(uint32_t model) const;

  // --- Operations, as the dispatcher calls them -------------------------------
  uint32_t HashKey(std::string_view text);
  int32_t AddBlipForCoords(uint32_t style, const Vec3& at);
  int32_t AddBlipForEntity(uint32_t style, int32_t entity);
  void SetBlipSprite(int32_t blip, uint32_t sprite);
  void SetBlipScale(int32_t blip, float scale);
  // Returns 0 for a format other than "LITERAL_STRING".
  uint64_t CreateVarString(int32_t kind, std::string_view format, std::string_view text);
  // False when `name` is no string handle the world made.
  bool SetBlipName(int32_t blip, uint64_t name);
  void AddBlipModifier(int32_t blip, uint32_t modifier);
  // Writes 0 to *handle when a blip was removed.
  void RemoveBlip(int32_t* handle);
  int32_t GetBlipFromEntity(int32_t entity);
  bool DoesBlipExist(int32_t blip) const;

  bool IsActivitySuppressed() const { return suppressed_; }
  int32_t GetClockHours() const { return ClockHour(); }
  int32_t PlayerPedId() const { return kPlayerHandle; }
  Vec3 GetEntityCoords(int32_t entity) const;
  static float DistanceBetweenCoords(const Vec3& a, const Vec3& b, bool useZ) {
    return useZ ? Distance3(a, b) : Distance3(Vec3{a.x, a.y, 0.0f}, Vec3{b.x, b.y, 0.0f});
  }
  bool DoesEntityExist(int32_t entity) const;
  bool IsEntityDead(int32_t entity) const;
  int32_t RandomIntInRange(int32_t min, int32_t max);

  void RequestModel(uint32_t model);
  bool HasModelLoaded(uint32_t model) const { return ModelLoaded(model); }
  void SetModelAsNoLongerNeeded(uint32_t model);
  int32_t CreatePed(uint32_t model, const Vec3& at, float heading);
  int32_t CreateObject(uint32_t model, const Vec3& at);
  // Writes 0 to *handle when an entity was deleted.
  void DeleteEntity(int32_t* handle);

  void SetPedRelationshipGroup(int32_t ped, uint32_t group);
  void SetPedOption(PedOption which, int32_t ped, int32_t value);
  void SetPedPromptName(int32_t ped, std::string_view name);
  void GiveTask(int32_t ped, const Task& task);
  void ClearPedTasks(int32_t ped);

  void GiveWeaponToPed(int32_t ped, uint32_t weapon);
  // The weapon the ped holds (0 when there is no such ped); false when it
  // holds none.
  bool GetCurrentPedWeapon(int32_t ped, uint32_t* weapon) const;
  void SetCurrentPedWeapon(int32_t ped, uint32_t weapon);

  // False when the ped cannot speak (missing or dead).
  bool PlayAmbientSpeech(int32_t ped, std::string_view line, int32_t variation,
                         uint32_t paramsHash);
  bool IsAnySpeechPlaying(int32_t ped) const;

  void SetObjectiveText(std::string_view text);
  void ShowObjective();
  void ClearObjective();

 private:
  Entity* MutableEntity(int32_t handle);
  Entity* MutablePed(int32_t handle);
  Blip* MutableBlip(int32_t handle);
  // Into the map and its index.
  void AddEntity(Entity entity);
  void EraseEntity(int32_t handle);
  void AddBlip(Blip blip);
  WorldEvent& Record(EventKind kind, int32_t subject, std::string words);
  std::string NameOr(uint32_t hash) const;
  std::string BlipWords(const Blip& blip) const;
  void RemoveBlipsOn(int32_t entity, std::string_view why);
  void ForgetEntityBlip(int32_t entity, int32_t blip);
  void MoveFleeingPeds(double seconds);

  WorldConfig config_;
  int64_t frame_ = 0;
  int64_t nowUs_ = 0;

  // The clock reads clockAnchorGameSeconds_ plus the game time that has run
  // since the simulated time clockAnchorUs_.
  int64_t clockAnchorUs_ = 0;
  double clockAnchorGameSeconds_ = 0.0;

  bool suppressed_ = false;
  std::mt19937 random_;
  std::deque<int32_t> scriptedRandom_;

  int32_t nextEntity_ = kPlayerHandle;
  int32_t nextBlip_ = 1;
  std::map<int32_t, Entity> entities_;
  std::map<int32_t, Blip> blips_;
  // Both maps by handle; an entity's own blips are in Entity::blips.
  HandleIndex<Entity> entityIndex_{kPlayerHandle};
  HandleIndex<Blip> blipIndex_{1};
  std::map<uint32_t, int64_t> modelRequests_;  // model -> frame of the request
  std::unordered_map<uint32_t, std::string> hashNames_;
  std::vector<std::string> varStrings_;
  std::optional<std::string> pendingObjective_;
  std::optional<std::string> shownObjective_;
  std::vector<SpeechLine> speech_;
  std::vector<WorldEvent> events_;
};

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_WORLD_H
