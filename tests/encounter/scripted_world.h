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

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "registry/homestead.h"
#include "registry/registry.h"
#include "support/fake_hook.h"

namespace homestead::world {

// Operation hashes as the host knows them, written down independently of the
// plug-in's own table.
namespace op {
inline constexpr uint64_t kHashKey = 0xFD340785ADF8CFB7;
inline constexpr uint64_t kAddBlipForCoords = 0x554D9D53F696D002;
inline constexpr uint64_t kSetBlipSprite = 0x74F74D3207ED525C;
inline constexpr uint64_t kSetBlipScale = 0xD38744167B2FA257;
inline constexpr uint64_t kCreateVarString = 0xFA925AC00EB830B9;
inline constexpr uint64_t kSetBlipName = 0x9CB1A1623062F402;
inline constexpr uint64_t kAddBlipModifier = 0x662D364ABF16DE2F;
inline constexpr uint64_t kIsActivitySuppressed = 0xB15CD1CF58771DE1;
inline constexpr uint64_t kGetClockHours = 0xC82CF208C2B19199;
inline constexpr uint64_t kPlayerPedId = 0x096275889B8E0EE0;
inline constexpr uint64_t kGetEntityCoords = 0xA86D5F069399F44D;
inline constexpr uint64_t kDistanceBetweenCoords = 0x0BE7F4E3CDBAFB28;
inline constexpr uint64_t kRemoveBlip = 0xF2C3C9DA47AAA54A;
inline constexpr uint64_t kRequestModel = 0xFA28FE3A6246FC30;
inline constexpr uint64_t kHasModelLoaded = 0x1283B8B89DD5D1B6;
inline constexpr uint64_t kCreatePed = 0xD49F9B0955C367DE;
inline constexpr uint64_t kSetPedRelationshipGroup = 0xC80A74AC829DDD92;
inline constexpr uint64_t kSetPedOptionA = 0x9F8AA94D6D97DBF4;
inline constexpr uint64_t kSetPedOptionB = 0x971D38760FBC02EF;
inline constexpr uint64_t kSetPedPromptName = 0x4A48B6E03BABB4AC;
inline constexpr uint64_t kSetPedOptionC = 0xC8A9481A01E63C28;
inline constexpr uint64_t kTaskStartScenarioInPlace = 0x524B54361229154F;
inline constexpr uint64_t kTaskDefaultIdle = 0x4A58A47A72E3FCB4;
inline constexpr uint64_t kDoesEntityExist = 0xD42BD6EB2E0F1677;
inline constexpr uint64_t kAddBlipForEntity = 0x23F74C2FDA6E7C61;
inline constexpr uint64_t kSetModelAsNoLongerNeeded = 0x4AD96EF928BD4F9A;
inline constexpr uint64_t kCreateObject = 0x509D5878EB39E842;
inline constexpr uint64_t kDeleteEntity = 0x4CD38C78BD19A497;
inline constexpr uint64_t kPlayAmbientSpeech = 0x8E04FEDD28D42462;
inline constexpr uint64_t kIsAnySpeechPlaying = 0x729072355FA39EC9;
inline constexpr uint64_t kRandomIntInRange = 0xD53343AA4FB7DD28;
inline constexpr uint64_t kIsEntityDead = 0x7D5B1F88E7504BBA;
inline constexpr uint64_t kSetObjectiveText = 0xFA233F8FE190514C;
inline constexpr uint64_t kShowObjective = 0xE9990552DEC71600;
inline constexpr uint64_t kClearObjective = 0xDFF0D417277B41F8;
inline constexpr uint64_t kTaskTurnToFaceEntity = 0x5AD23D40115353AC;
inline constexpr uint64_t kGiveWeaponToPed = 0x5E3BDDBCB83F3D84;
inline constexpr uint64_t kGetCurrentPedWeapon = 0x3A87E44BB9A01D54;
inline constexpr uint64_t kSetCurrentPedWeapon = 0xADF692B254977C0C;
inline constexpr uint64_t kTaskAimGunAtEntity = 0x9B53BB6E8943AF53;
inline constexpr uint64_t kTaskCombatPed = 0xF166E48407BAC484;
inline constexpr uint64_t kGetBlipFromEntity = 0x6D2C41A8BD6D6FD0;
inline constexpr uint64_t kDoesBlipExist = 0xCD82FA174080B3B1;
inline constexpr uint64_t kClearPedTasks = 0xE1EF3C1216AFF2CD;
inline constexpr uint64_t kTaskHandsUp = 0xF2EAB31979A7F910;
inline constexpr uint64_t kTaskFleeFrom = 0x7B74D8EEDE9B5727;
}  // namespace op

// Readable name of an operation, for failure messages.
inline const char* OpName(uint64_t hash) {
  switch (hash) {
    case op::kHashKey:
      return "HashKey";
    case op::kAddBlipForCoords:
      return "AddBlipForCoords";
    case op::kSetBlipSprite:
      return "SetBlipSprite";
    case op::kSetBlipScale:
      return "SetBlipScale";
    case op::kCreateVarString:
      return "CreateVarString";
    case op::kSetBlipName:
      return "SetBlipName";
    case op::kAddBlipModifier:
      return "AddBlipModifier";
    case op::kIsActivitySuppressed:
      return "IsActivitySuppressed";
    case op::kGetClockHours:
      return "GetClockHours";
    case op::kPlayerPedId:
      return "PlayerPedId";
    case op::kGetEntityCoords:
      return "GetEntityCoords";
    case op::kDistanceBetweenCoords:
      return "DistanceBetweenCoords";
    case op::kRemoveBlip:
      return "RemoveBlip";
    case op::kRequestModel:
      return "RequestModel";
    case op::kHasModelLoaded:
      return "HasModelLoaded";
    case op::kCreatePed:
      return "CreatePed";
    case op::kSetPedRelationshipGroup:
      return "SetPedRelationshipGroup";
    case op::kSetPedOptionA:
      return "SetPedOptionA";
    case op::kSetPedOptionB:
      return "SetPedOptionB";
    case op::kSetPedPromptName:
      return "SetPedPromptName";
    case op::kSetPedOptionC:
      return "SetPedOptionC";
    case op::kTaskStartScenarioInPlace:
      return "TaskStartScenarioInPlace";
    case op::kTaskDefaultIdle:
      return "TaskDefaultIdle";
    case op::kDoesEntityExist:
      return "DoesEntityExist";
    case op::kAddBlipForEntity:
      return "AddBlipForEntity";
    case op::kSetModelAsNoLongerNeeded:
      return "SetModelAsNoLongerNeeded";
    case op::kCreateObject:
      return "CreateObject";
    case op::kDeleteEntity:
      return "DeleteEntity";
    case op::kPlayAmbientSpeech:
      return "PlayAmbientSpeech";
    case op::kIsAnySpeechPlaying:
      return "IsAnySpeechPlaying";
    case op::kRandomIntInRange:
      return "RandomIntInRange";
    case op::kIsEntityDead:
      return "IsEntityDead";
    case op::kSetObjectiveText:
      return "SetObjectiveText";
    case op::kShowObjective:
      return "ShowObjective";
    case op::kClearObjective:
      return "ClearObjective";
    case op::kTaskTurnToFaceEntity:
      return "TaskTurnToFaceEntity";
    case op::kGiveWeaponToPed:
      return "GiveWeaponToPed";
    case op::kGetCurrentPedWeapon:
      return "GetCurrentPedWeapon";
    case op::kSetCurrentPedWeapon:
      return "SetCurrentPedWeapon";
    case op::kTaskAimGunAtEntity:
      return "TaskAimGunAtEntity";
    case op::kTaskCombatPed:
      return "TaskCombatPed";
    case op::kGetBlipFromEntity:
      return "GetBlipFromEntity";
    case op::kDoesBlipExist:
      return "DoesBlipExist";
    case op::kClearPedTasks:
      return "ClearPedTasks";
    case op::kTaskHandsUp:
      return "TaskHandsUp";
    case op::kTaskFleeFrom:
      return "TaskFleeFrom";
    default:
      return "<unknown operation>";
  }
}

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
inline fake::Result Vector(const Vector3& v) {
  return fake::Result{fake::FloatBits(v.x), fake::FloatBits(v.y), fake::FloatBits(v.z)};
}
inline double Distance(const Vector3& a, const Vector3& b) {
  const double dx = double{a.x} - b.x, dy = double{a.y} - b.y, dz = double{a.z} - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Every field of a record, for before-and-after comparisons.
inline std::string DescribeRecord(const Homestead& h) {
  std::string s;
  auto add = [&s](const char* name, auto value) {
    s += name;
    s += "=" + std::to_string(value) + " ";
  };
  auto addPoint = [&add](const char* name, const Vector3& v) {
    add(name, v.x);
    add("", v.y);
    add("", v.z);
  };
  addPoint("center", h.center);
  add("spawns", h.defenderSpawns.size());
  addPoint("loot", h.lootPosition);
  add("cooldownHours", h.cooldownHours);
  add("available", h.available);
  add("robbedAtHour", h.robbedAtHour);
  add("lootSpawned", h.lootSpawned);
  s += "defenders=";
  for (int32_t d : h.defenders) s += std::to_string(d) + ",";
  s += " ";
  add("lootObject", h.lootObject);
  add("confronted", h.confronted);
  add("leaderIndex", h.leaderIndex);
  add("outcomeDone", h.outcomeDone);
  add("approachDone", h.approachDone);
  add("homeBlip", h.homeBlip);
  add("homeBlipActive", h.homeBlipActive);
  add("lootBlip", h.lootBlip);
  add("lootBlipActive", h.lootBlipActive);
  return s;
}

class ScriptedWorld {
 public:
  using Intercept =
      std::function<std::optional<fake::Result>(uint64_t hash, const std::vector<uint64_t>& args)>;

  // Starts from an empty registry and a fresh hook, with the player standing
  // at the origin.
  ScriptedWorld() {
    fake::FakeHook& hook = fake::FakeHook::Get();
    hook.Reset();
    Registry() = HomesteadRegistry();
    entities[kPlayer] = Entity{};
    hook.responder = [this](uint64_t hash, const std::vector<uint64_t>& args) {
      if (intercept) {
        if (std::optional<fake::Result> r = intercept(hash, args)) return *r;
      }
      return Answer(hash, args);
    };
    hook.onWait = [this](uint32_t ms) { Advance(ms); };
  }
  ~ScriptedWorld() {
    fake::FakeHook::Get().Reset();
    Registry() = HomesteadRegistry();
  }
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

  int32_t AddPed(const Vector3& position, bool dead = false) {
    const int32_t handle = nextEntity_++;
    Entity e;
    e.position = position;
    e.dead = dead;
    entities[handle] = e;
    return handle;
  }
  int32_t AddObject(uint32_t model, const Vector3& position) {
    const int32_t handle = nextEntity_++;
    Entity e;
    e.isPed = false;
    e.model = model;
    e.position = position;
    entities[handle] = e;
    return handle;
  }
  int32_t AddEntityBlip(int32_t entity, uint32_t style) {
    const int32_t blip = nextBlip_++;
    blips[blip].entity = entity;
    blips[blip].style = style;
    return blip;
  }
  void Kill(int32_t ped) {
    if (Exists(ped)) At(ped).dead = true;
  }
  // The host removes an entity of its own accord (taken, despawned).
  void Vanish(int32_t entity) {
    entities.erase(entity);
    for (auto it = blips.begin(); it != blips.end();) {
      it = it->second.entity == entity ? blips.erase(it) : std::next(it);
    }
  }
  std::vector<int32_t> BlipsOf(int32_t entity) const {
    std::vector<int32_t> found;
    for (const auto& [handle, blip] : blips) {
      if (blip.entity == entity) found.push_back(handle);
    }
    return found;
  }
  // Coordinate blips carrying `label`.
  std::vector<int32_t> LabelledBlips(std::string_view label) const {
    std::vector<int32_t> found;
    for (const auto& [handle, blip] : blips) {
      if (blip.name == label) found.push_back(handle);
    }
    return found;
  }
  // Lines the host was asked to say, in order.
  std::vector<std::string> LineNames() const {
    std::vector<std::string> names;
    for (const SpokenLine& s : spoken) names.push_back(s.line);
    return names;
  }

  // Answers every distance to `point` with `metres` from now on.
  void ScriptDistance(const Vector3& point, float metres) {
    for (auto& [p, d] : scriptedDistances) {
      if (p.x == point.x && p.y == point.y && p.z == point.z) {
        d = metres;
        return;
      }
    }
    scriptedDistances.emplace_back(point, metres);
  }

  // Queues scripted answers for the next RandomIntInRange calls.
  void QueueRandom(std::initializer_list<int32_t> answers) {
    randomAnswers.insert(randomAnswers.end(), answers.begin(), answers.end());
  }

  // Adds a homestead built like a catalogue one, under `id`.
  Homestead& AddHomestead(int32_t id, const Vector3& center, const Vector3& loot,
                          const std::vector<DefenderSpawn>& spawns = {}) {
    Homestead& h = Registry().FindOrInsert(id);
    h = Homestead(center, spawns, loot, std::vector<int32_t>());
    return h;
  }

  // Gives `h` a home blip on the map, as start-up does.
  void PutHomeBlip(Homestead& h) {
    h.homeBlip = nextBlip_++;
    blips[h.homeBlip].coords = h.center;
    blips[h.homeBlip].name = "Galdervine";
    h.homeBlipActive = true;
  }

  // Puts the occupants on record as if the encounter had started: `living`
  // living ones, then `dead` dead ones, each a metre apart east of the centre
  // with its on-guard blip; and a money stack at the loot position with its
  // blip.
  void StartEncounter(Homestead& h, int living, int dead = 0) {
    for (int i = 0; i < living + dead; ++i) {
      const int32_t ped =
          AddPed(Vector3(h.center.x + 1.0f + i, h.center.y, h.center.z), i >= living);
      AddEntityBlip(ped, TextHash("BLIP_STYLE_ENEMY"));
      h.defenders.push_back(ped);
    }
    h.lootObject = AddObject(0xFC40AF1B, h.lootPosition);
    h.lootSpawned = true;
    h.lootBlip = AddEntityBlip(h.lootObject, 1664425300);
    h.lootBlipActive = true;
  }

  // --- The host ---------------------------------------------------------------
  // More calls than any scenario needs means the plug-in is stuck in a loop;
  // the exception unwinds it so the test fails instead of hanging.
  static constexpr std::size_t kCallBudget = 1000000;

  fake::Result Answer(uint64_t hash, const std::vector<uint64_t>& a) {
    if (++answered_ > kCallBudget) {
      throw std::runtime_error(std::string("runaway plug-in loop, last call ") + OpName(hash));
    }
    switch (hash) {
      case op::kHashKey:
        return fake::Answer(TextHash(reinterpret_cast<const char*>(a.at(0))));
      case op::kIsActivitySuppressed:
        return fake::Answer(suppressed ? 1 : 0);
      case op::kGetClockHours:
        return fake::Answer(static_cast<uint32_t>(hour));
      case op::kPlayerPedId:
        return fake::Answer(kPlayer);
      case op::kGetEntityCoords: {
        auto it = entities.find(SlotInt(a.at(0)));
        return it == entities.end() ? fake::Result{} : Vector(it->second.position);
      }
      case op::kDistanceBetweenCoords: {
        const Vector3 p(SlotFloat(a.at(0)), SlotFloat(a.at(1)), SlotFloat(a.at(2)));
        const Vector3 q(SlotFloat(a.at(3)), SlotFloat(a.at(4)), SlotFloat(a.at(5)));
        for (const auto& [point, distance] : scriptedDistances) {
          if (point.x == q.x && point.y == q.y && point.z == q.z) {
            return fake::AnswerFloat(distance);
          }
        }
        return fake::AnswerFloat(static_cast<float>(Distance(p, q)));
      }
      case op::kDoesEntityExist:
        return fake::Answer(Exists(SlotInt(a.at(0))) ? 1 : 0);
      case op::kIsEntityDead: {
        const int32_t e = SlotInt(a.at(0));
        return fake::Answer((Exists(e) ? At(e).dead : missingIsDead) ? 1 : 0);
      }
      case op::kRequestModel:
        modelPollsLeft[static_cast<uint32_t>(a.at(0))] = modelLoadPolls;
        return {};
      case op::kHasModelLoaded: {
        auto it = modelPollsLeft.find(static_cast<uint32_t>(a.at(0)));
        if (it == modelPollsLeft.end()) return fake::Answer(0);  // never requested
        if (it->second > 0) {
          --it->second;
          return fake::Answer(0);
        }
        return fake::Answer(1);
      }
      case op::kSetModelAsNoLongerNeeded:
        return {};
      case op::kCreatePed: {
        const int ordinal = pedsCreated++;
        if (failedPedCreations.count(ordinal)) return fake::Answer(0);
        const int32_t ped =
            AddPed(Vector3(SlotFloat(a.at(1)), SlotFloat(a.at(2)), SlotFloat(a.at(3))));
        At(ped).model = static_cast<uint32_t>(a.at(0));
        At(ped).heading = SlotFloat(a.at(4));
        if (vanishedPedCreations.count(ordinal)) entities.erase(ped);
        return fake::Answer(static_cast<uint32_t>(ped));
      }
      case op::kCreateObject: {
        if (failObjectCreation) return fake::Answer(0);
        const Vector3 at(SlotFloat(a.at(1)), SlotFloat(a.at(2)), SlotFloat(a.at(3)));
        return fake::Answer(static_cast<uint32_t>(AddObject(static_cast<uint32_t>(a.at(0)), at)));
      }
      case op::kDeleteEntity: {
        auto* handle = reinterpret_cast<int32_t*>(a.at(0));
        if (Exists(*handle)) {
          deleted.push_back(*handle);
          Vanish(*handle);
        }
        *handle = 0;  // the host clears the caller's handle
        return {};
      }
      case op::kSetPedRelationshipGroup:
        if (Exists(SlotInt(a.at(0)))) At(SlotInt(a.at(0))).relationshipGroup = a.at(1);
        return {};
      case op::kSetPedPromptName:
        if (Exists(SlotInt(a.at(0)))) {
          At(SlotInt(a.at(0))).promptName = reinterpret_cast<const char*>(a.at(1));
        }
        return {};
      case op::kSetPedOptionA:
      case op::kSetPedOptionB:
      case op::kSetPedOptionC:
        return {};
      case op::kTaskStartScenarioInPlace:
        SetTask(SlotInt(a.at(0)), Task::kScenario, 0);
        if (Exists(SlotInt(a.at(0)))) At(SlotInt(a.at(0))).scenario = a.at(1);
        return {};
      case op::kTaskDefaultIdle:
        SetTask(SlotInt(a.at(0)), Task::kDefaultIdle, 0);
        return {};
      case op::kTaskTurnToFaceEntity:
        SetTask(SlotInt(a.at(0)), Task::kTurnToFace, SlotInt(a.at(1)));
        return {};
      case op::kTaskAimGunAtEntity:
        SetTask(SlotInt(a.at(0)), Task::kAim, SlotInt(a.at(1)));
        return {};
      case op::kTaskCombatPed:
        SetTask(SlotInt(a.at(0)), Task::kCombat, SlotInt(a.at(1)));
        return {};
      case op::kTaskHandsUp:
        SetTask(SlotInt(a.at(0)), Task::kHandsUp, SlotInt(a.at(2)));
        return {};
      case op::kTaskFleeFrom:
        SetTask(SlotInt(a.at(0)), Task::kFlee, SlotInt(a.at(1)));
        return {};
      case op::kClearPedTasks:
        SetTask(SlotInt(a.at(0)), Task::kNone, 0);
        return {};
      case op::kGiveWeaponToPed:
        if (Exists(SlotInt(a.at(0)))) At(SlotInt(a.at(0))).weapons.push_back(a.at(1));
        return {};
      case op::kGetCurrentPedWeapon: {
        const int32_t ped = SlotInt(a.at(0));
        const uint32_t current = Exists(ped) ? At(ped).currentWeapon : kUnarmed;
        std::memcpy(reinterpret_cast<void*>(a.at(1)), &current, sizeof current);
        return fake::Answer(1);
      }
      case op::kSetCurrentPedWeapon:
        if (Exists(SlotInt(a.at(0)))) At(SlotInt(a.at(0))).currentWeapon = a.at(1);
        return {};
      case op::kAddBlipForCoords: {
        const int32_t blip = nextBlip_++;
        blips[blip].style = a.at(0);
        blips[blip].coords = Vector3(SlotFloat(a.at(1)), SlotFloat(a.at(2)), SlotFloat(a.at(3)));
        return fake::Answer(static_cast<uint32_t>(blip));
      }
      case op::kAddBlipForEntity: {
        const int32_t entity = SlotInt(a.at(1));
        if (!Exists(entity)) return fake::Answer(0);
        return fake::Answer(static_cast<uint32_t>(AddEntityBlip(entity, a.at(0))));
      }
      case op::kSetBlipSprite:
        if (blips.count(SlotInt(a.at(0)))) blips[SlotInt(a.at(0))].sprite = a.at(1);
        return {};
      case op::kSetBlipScale:
        if (blips.count(SlotInt(a.at(0)))) blips[SlotInt(a.at(0))].scale = SlotFloat(a.at(1));
        return {};
      case op::kCreateVarString:
        varStrings.emplace_back(reinterpret_cast<const char*>(a.at(2)));
        return fake::Answer(kVarStringTag | (varStrings.size() - 1));
      case op::kSetBlipName: {
        const uint64_t name = a.at(1);
        const uint64_t index = name & ~kVarStringTag;
        if ((name & kVarStringTag) == kVarStringTag && index < varStrings.size() &&
            blips.count(SlotInt(a.at(0)))) {
          blips[SlotInt(a.at(0))].name = varStrings[index];
        }
        return {};
      }
      case op::kAddBlipModifier:
        if (blips.count(SlotInt(a.at(0)))) {
          blips[SlotInt(a.at(0))].modifiers.push_back(a.at(1));
        }
        return {};
      case op::kRemoveBlip: {
        auto* handle = reinterpret_cast<int32_t*>(a.at(0));
        if (blips.erase(*handle)) removedBlips.push_back(*handle);
        return {};
      }
      case op::kDoesBlipExist:
        return fake::Answer(blips.count(SlotInt(a.at(0))) ? 1 : 0);
      case op::kGetBlipFromEntity: {
        // The newest blip on the entity.
        const int32_t entity = SlotInt(a.at(0));
        for (auto it = blips.rbegin(); it != blips.rend(); ++it) {
          if (entity != 0 && it->second.entity == entity) {
            return fake::Answer(static_cast<uint32_t>(it->first));
          }
        }
        return fake::Answer(0);
      }
      case op::kRandomIntInRange: {
        const int32_t min = SlotInt(a.at(0)), max = SlotInt(a.at(1));
        int32_t value = min;
        if (!randomAnswers.empty()) {
          value = randomAnswers.front();
          randomAnswers.pop_front();
        } else if (max > min) {
          value = std::uniform_int_distribution<int32_t>(min, max - 1)(generator);
        }
        draws.push_back({min, max, value});
        return fake::Answer(static_cast<uint32_t>(value));
      }
      case op::kPlayAmbientSpeech:
        Speak(SlotInt(a.at(0)), reinterpret_cast<const uint64_t*>(a.at(1)));
        return {};
      case op::kIsAnySpeechPlaying: {
        const int32_t ped = SlotInt(a.at(0));
        if (!Exists(ped) || At(ped).dead) return fake::Answer(0);
        if (At(ped).speechPollsLeft == 0) return fake::Answer(0);
        --At(ped).speechPollsLeft;
        return fake::Answer(1);
      }
      case op::kSetObjectiveText:
        objectiveText = reinterpret_cast<const char*>(a.at(0));
        return {};
      case op::kShowObjective:
        objectiveShown = true;
        return {};
      case op::kClearObjective:
        objectiveShown = false;
        return {};
      default:
        ADD_FAILURE() << "the plug-in called an operation the host does not know: 0x" << std::hex
                      << hash;
        return {};
    }
  }

  // One frame: fleeing peds run, then the test's script.
  void Advance(uint32_t ms) {
    ++frames;
    if (!spoken.empty()) spoken.back().waits.push_back(ms);
    const double seconds = (ms == 0 ? 16 : ms) / 1000.0;
    for (auto& [handle, e] : entities) {
      if (e.task != Task::kFlee || e.dead || !Exists(e.target)) continue;
      const Vector3 threat = At(e.target).position;
      double dx = double{e.position.x} - threat.x, dy = double{e.position.y} - threat.y;
      const double length = std::sqrt(dx * dx + dy * dy);
      if (length == 0.0) dx = 1.0, dy = 0.0;
      const double step = fleeMetresPerSecond * seconds / (length == 0.0 ? 1.0 : length);
      e.position.x = static_cast<float>(e.position.x + dx * step);
      e.position.y = static_cast<float>(e.position.y + dy * step);
    }
    if (onFrame) onFrame(ms);
  }

 private:
  void SetTask(int32_t ped, Task task, int32_t target) {
    if (!Exists(ped)) return;
    At(ped).task = task;
    At(ped).target = target;
  }

  void Speak(int32_t ped, const uint64_t* block) {
    SpokenLine s;
    s.ped = ped;
    std::memcpy(s.slots.data(), block, sizeof(uint64_t) * s.slots.size());
    s.line = block[0] == 0 ? "<null>" : reinterpret_cast<const char*>(block[0]);
    s.variation = SlotInt(block[2]);
    if (!draws.empty() && lastDrawUsed_ < draws.size()) s.draw = draws.back();
    lastDrawUsed_ = draws.size();
    if (Exists(ped) && !At(ped).dead) {
      auto it = linePolls.find(s.line);
      At(ped).speechPollsLeft = it == linePolls.end() ? speechPolls : it->second;
      s.started = true;
    }
    spoken.push_back(std::move(s));
  }

  std::size_t answered_ = 0;
  int32_t nextEntity_ = kFirstEntity;
  int32_t nextBlip_ = kFirstBlip;
  std::size_t lastDrawUsed_ = 0;
};

}  // namespace homestead::world

#endif  // HOMESTEAD_TESTS_ENCOUNTER_SCRIPTED_WORLD_H
