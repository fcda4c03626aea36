// A small scripted host for the encounter tests, answering the fake script
// hook's calls by operation hash from a tiny model of the world: the player's
// ped and position, the game clock, suppression, peds and objects that exist
// or are dead, blips, models that load after some polls, speech that plays for
// some polls, tasks, weapons, objectives and a queue of scripted random draws.
//
// Every scriptWait is one frame: fleeing peds run, and then the test's own
// `onFrame` script runs, so a test can let the player act while a stage waits.
// Models and lines count down by polls, not by frames.
//
// The responder allocates nothing on the queries a quiet tick makes, so the
// same world serves the allocation test.
#ifndef HOMESTEAD_TESTS_ENCOUNTER_SCRIPTED_WORLD_H
#define HOMESTEAD_TESTS_ENCOUNTER_SCRIPTED_WORLD_H

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/operations.h"
#include "registry/homestead.h"
#include "support/fake_hook.h"

namespace homestead::world {

// Operation hashes as the host knows them: the platform's table, which is
// written down independently of the plug-in's own.
namespace op = ::platform::op_hash;

// Readable name of an operation, for failure messages.
const char* OpName(uint64_t hash);

// The host's text hash. The high bit is always set, so that a hash that is
// sign-extended instead of zero-extended shows in the pushed slots.
constexpr uint32_t TextHash(std::string_view text) {
  uint32_t h = 2166136261u;
  for (char c : text) {
    h ^= static_cast<uint8_t>(c);
    h *= 16777619u;
  }
  return h | 0x80000000u;
}

inline constexpr int32_t kPlayer = 1;
inline constexpr int32_t kFirstEntity = 100;
inline constexpr int32_t kFirstBlip = 5000;
inline constexpr uint32_t kUnarmed = 0xA2719263;
// String handles use the whole 64-bit slot; the tag makes a truncated one miss.
inline constexpr uint64_t kVarStringTag = 0x5A17000000000000;

enum class Task { kNone, kScenario, kDefaultIdle, kTurnToFace, kAim, kCombat, kHandsUp, kFlee };

struct Entity {
  bool isPed = true;
  uint32_t model = 0;
  Vector3 position;
  float heading = 0.0f;
  bool dead = false;
  uint32_t relationshipGroup = 0;
  std::string promptName;
  Task task = Task::kNone;
  uint32_t scenario = 0;
  int32_t target = 0;
  Vector3 fleeFrom;
  std::vector<uint32_t> weapons;
  uint32_t currentWeapon = kUnarmed;
  int speechPollsLeft = 0;
};

struct Blip {
  int32_t entity = 0;  // 0: a blip on coordinates
  Vector3 coords;
  uint32_t style = 0;
  uint32_t sprite = 0;
  float scale = 0.0f;
  std::string name;
  std::vector<uint32_t> modifiers;
};

struct Draw {
  int32_t min;
  int32_t max;
  int32_t value;
};

// One PlayAmbientSpeech as the host received it.
struct SpokenLine {
  int32_t ped = 0;
  std::array<uint64_t, 8> slots{};  // the parameter block, copied at the call
  std::string line;
  int32_t variation = 0;
  bool started = false;         // a dead or missing ped says nothing
  std::optional<Draw> draw;     // the random draw made right before the line
  std::vector<uint32_t> waits;  // every scriptWait until the next line
};

inline float SlotFloat(uint64_t slot) {
  return std::bit_cast<float>(static_cast<uint32_t>(slot));
}
inline int32_t SlotInt(uint64_t slot) {
  return static_cast<int32_t>(static_cast<uint32_t>(slot));
}
// Every field of a record, for before-and-after comparisons.
std::string DescribeRecord(const Homestead& h);

class ScriptedWorld {
 public:
  using Intercept =
      std::function<std::optional<fake::Result>(uint64_t hash, const std::vector<uint64_t>& args)>;

  // Starts from an empty registry and a fresh hook, with the player standing
  // at the origin.
  ScriptedWorld();
  ~ScriptedWorld();
  ScriptedWorld(const ScriptedWorld&) = delete;
  ScriptedWorld& operator=(const ScriptedWorld&) = delete;

  // --- Knobs ------------------------------------------------------------------
  int32_t hour = 12;
  bool suppressed = false;
  int modelLoadPolls = 0;  // HasModelLoaded answers no this often after a request
  int speechPolls = 1;     // polls a started line keeps answering "playing"
  std::map<std::string, int, std::less<>> linePolls;  // per-line override
  std::deque<int32_t> randomAnswers;                  // used before the generator
  std::mt19937 generator{20240611};
  std::set<int> failedPedCreations;    // CreatePed ordinals answering 0
  std::set<int> vanishedPedCreations;  // CreatePed ordinals whose ped is gone at once
  bool failObjectCreation = false;
  bool missingIsDead = false;  // IsEntityDead's answer for a handle that does not exist
  float fleeMetresPerSecond = 6.0f;
  // Distances to these points are answered as scripted, whoever asks; all
  // others are computed from the two positions pushed.
  std::vector<std::pair<Vector3, float>> scriptedDistances;
  std::function<void(uint32_t ms)> onFrame;  // the test's script, once per scriptWait
  Intercept intercept;                       // answers a call before the model does

  // --- What the world holds and saw -------------------------------------------
  std::map<int32_t, Entity> entities;
  std::map<int32_t, Blip> blips;
  std::vector<SpokenLine> spoken;
  std::vector<Draw> draws;
  std::vector<int32_t> deleted;       // entities removed through DeleteEntity
  std::vector<int32_t> removedBlips;  // blips removed through RemoveBlip
  std::vector<std::string> varStrings;
  std::map<uint32_t, int> modelPollsLeft;
  std::string objectiveText;
  bool objectiveShown = false;
  int pedsCreated = 0;
  int frames = 0;

  // --- Scenario helpers -------------------------------------------------------
  Entity& Player() { return entities.at(kPlayer); }
  void PutPlayer(const Vector3& p) { Player().position = p; }
  bool Exists(int32_t entity) const { return entity != 0 && entities.count(entity) != 0; }
  bool IsDead(int32_t ped) const { return Exists(ped) && entities.at(ped).dead; }
  Entity& At(int32_t entity) { return entities.at(entity); }

  int32_t AddPed(const Vector3& position, bool dead = false);
  int32_t AddObject(uint32_t model, const Vector3& position);
  int32_t AddEntityBlip(int32_t entity, uint32_t style);
  void Kill(int32_t ped);
  // The host removes an entity of its own accord (taken, despawned).
  void Vanish(int32_t entity);
  std::vector<int32_t> BlipsOf(int32_t entity) const;
  // Coordinate blips carrying `label`.
  std::vector<int32_t> LabelledBlips(std::string_view label) const;
  // Lines the host was asked to say, in order.
  std::vector<std::string> LineNames() const;

  // Answers every distance to `point` with `metres` from now on.
  void ScriptDistance(const Vector3& point, float metres);

  // Queues scripted answers for the next RandomIntInRange calls.
  void QueueRandom(std::initializer_list<int32_t> answers);

  // Adds a homestead built like a catalogue one, under `id`.
  Homestead& AddHomestead(int32_t id, const Vector3& center, const Vector3& loot,
                          const std::vector<DefenderSpawn>& spawns = {});

  // Gives `h` a home blip on the map, as start-up does.
  void PutHomeBlip(Homestead& h);

  // Puts the occupants on record as if the encounter had started: `living`
  // living ones, then `dead` dead ones, each a metre apart east of the centre
  // with its on-guard blip; and a money stack at the loot position with its
  // blip.
  void StartEncounter(Homestead& h, int living, int dead = 0);

  // --- The host ---------------------------------------------------------------
  // More calls than any scenario needs means the plug-in is stuck in a loop;
  // the exception unwinds it so the test fails instead of hanging.
  static constexpr std::size_t kCallBudget = 1000000;

  fake::Result Answer(uint64_t hash, const std::vector<uint64_t>& a);

  // One frame: fleeing peds run, then the test's script.
  void Advance(uint32_t ms);

 private:
  void SetTask(int32_t ped, Task task, int32_t target);
  void Speak(int32_t ped, const uint64_t* block);

  std::size_t answered_ = 0;
  int32_t nextEntity_ = kFirstEntity;
  int32_t nextBlip_ = kFirstBlip;
  std::size_t lastDrawUsed_ = 0;
};

}  // namespace homestead::world

#endif  // HOMESTEAD_TESTS_ENCOUNTER_SCRIPTED_WORLD_H
