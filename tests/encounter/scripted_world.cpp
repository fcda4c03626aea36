#include "encounter/scripted_world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "registry/registry.h"

namespace homestead::world {
namespace {

fake::Result Vector(const Vector3& v) {
  return fake::Result{fake::FloatBits(v.x), fake::FloatBits(v.y), fake::FloatBits(v.z)};
}

double Distance(const Vector3& a, const Vector3& b) {
  const double dx = double{a.x} - b.x, dy = double{a.y} - b.y, dz = double{a.z} - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

const char* OpName(uint64_t hash) {
  const platform::Operation* operation = platform::FindOperation(hash);
  return operation != nullptr ? operation->name.data() : "<unknown operation>";
}

std::string DescribeRecord(const Homestead& h) {
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

ScriptedWorld::ScriptedWorld() {
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

ScriptedWorld::~ScriptedWorld() {
  fake::FakeHook::Get().Reset();
  Registry() = HomesteadRegistry();
}

int32_t ScriptedWorld::AddPed(const Vector3& position, bool dead) {
  const int32_t handle = nextEntity_++;
  Entity e;
  e.position = position;
  e.dead = dead;
  entities[handle] = e;
  return handle;
}

int32_t ScriptedWorld::AddObject(uint32_t model, const Vector3& position) {
  const int32_t handle = nextEntity_++;
  Entity e;
  e.isPed = false;
  e.model = model;
  e.position = position;
  entities[handle] = e;
  return handle;
}

int32_t ScriptedWorld::AddEntityBlip(int32_t entity, uint32_t style) {
  const int32_t blip = nextBlip_++;
  blips[blip].entity = entity;
  blips[blip].style = style;
  return blip;
}

void ScriptedWorld::Kill(int32_t ped) {
  if (Exists(ped)) At(ped).dead = true;
}

void ScriptedWorld::Vanish(int32_t entity) {
  entities.erase(entity);
  for (auto it = blips.begin(); it != blips.end();) {
    it = it->second.entity == entity ? blips.erase(it) : std::next(it);
  }
}

std::vector<int32_t> ScriptedWorld::BlipsOf(int32_t entity) const {
  std::vector<int32_t> found;
  for (const auto& [handle, blip] : blips) {
    if (blip.entity == entity) found.push_back(handle);
  }
  return found;
}

std::vector<int32_t> ScriptedWorld::LabelledBlips(std::string_view label) const {
  std::vector<int32_t> found;
  for (const auto& [handle, blip] : blips) {
    if (blip.name == label) found.push_back(handle);
  }
  return found;
}

std::vector<std::string> ScriptedWorld::LineNames() const {
  std::vector<std::string> names;
  for (const SpokenLine& s : spoken) names.push_back(s.line);
  return names;
}

void ScriptedWorld::ScriptDistance(const Vector3& point, float metres) {
  for (auto& [p, d] : scriptedDistances) {
    if (p.x == point.x && p.y == point.y && p.z == point.z) {
      d = metres;
      return;
    }
  }
  scriptedDistances.emplace_back(point, metres);
}

void ScriptedWorld::QueueRandom(std::initializer_list<int32_t> answers) {
  randomAnswers.insert(randomAnswers.end(), answers.begin(), answers.end());
}

Homestead& ScriptedWorld::AddHomestead(int32_t id, const Vector3& center, const Vector3& loot,
                                       const std::vector<DefenderSpawn>& spawns) {
  Homestead& h = Registry().FindOrInsert(id);
  h = Homestead(center, spawns, loot, std::vector<int32_t>());
  return h;
}

void ScriptedWorld::PutHomeBlip(Homestead& h) {
  h.homeBlip = nextBlip_++;
  blips[h.homeBlip].coords = h.center;
  blips[h.homeBlip].name = "Galdervine";
  h.homeBlipActive = true;
}

void ScriptedWorld::StartEncounter(Homestead& h, int living, int dead) {
  for (int i = 0; i < living + dead; ++i) {
    const int32_t ped = AddPed(Vector3(h.center.x + 1.0f + i, h.center.y, h.center.z), i >= living);
    AddEntityBlip(ped, TextHash("BLIP_STYLE_ENEMY"));
    h.defenders.push_back(ped);
  }
  h.lootObject = AddObject(0xFC40AF1B, h.lootPosition);
  h.lootSpawned = true;
  h.lootBlip = AddEntityBlip(h.lootObject, 1664425300);
  h.lootBlipActive = true;
}

fake::Result ScriptedWorld::Answer(uint64_t hash, const std::vector<uint64_t>& a) {
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

void ScriptedWorld::Advance(uint32_t ms) {
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

void ScriptedWorld::SetTask(int32_t ped, Task task, int32_t target) {
  if (!Exists(ped)) return;
  At(ped).task = task;
  At(ped).target = target;
}

void ScriptedWorld::Speak(int32_t ped, const uint64_t* block) {
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

}  // namespace homestead::world
