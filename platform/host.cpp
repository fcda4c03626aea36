#include "platform/host.h"

#include <cstring>
#include <utility>
#include <vector>

namespace platform {
namespace {

// Hosts alive, in construction order; the last one is active unless an
// Activation chose another.
std::vector<Host*> gHosts;
Host* gChosen = nullptr;

Vec3 VecAt(std::span<const DecodedArg> a, std::size_t first) {
  return Vec3{a[first].f, a[first + 1].f, a[first + 2].f};
}

// Handles and out-values travel by address; memcpy keeps an odd address from
// being undefined behaviour on the host's side.
void WriteInt32(uint64_t address, int32_t value) {
  std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
}

void WriteUint32(uint64_t address, uint32_t value) {
  std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
}

}  // namespace

Host::Host(HostConfig config)
    : world_(std::move(config.world)),
      scheduler_(config.framesPerSecond, [this](std::string message) { RecordError(message); }) {
  gHosts.push_back(this);
}

Host::~Host() {
  std::erase(gHosts, this);
  if (gChosen == this) gChosen = nullptr;
}

Host* Host::Active() {
  if (gChosen != nullptr) return gChosen;
  return gHosts.empty() ? nullptr : gHosts.back();
}

Host::Activation::Activation(Host& host) : previous_(gChosen) {
  gChosen = &host;
}

Host::Activation::~Activation() {
  gChosen = previous_;
}

void Host::BeginFrame() {
  scheduler_.BeginFrame();
  world_.AdvanceTo(scheduler_.frame(), scheduler_.nowUs());
}

void Host::RunScripts() {
  scheduler_.RunScripts();
}

void Host::RunFrame() {
  BeginFrame();
  RunScripts();
}

void Host::RecordError(std::string_view message) {
  ++errorCount_;
  if (errors_.size() >= kMaxStoredErrors) return;
  errors_.push_back("frame " + std::to_string(frame()) + ": " + std::string(message));
}

void Host::NativeInit(uint64_t hash) {
  if (callOpen_) {
    RecordError("nativeInit(" + HexHash(hash) + ") while the call of " + HexHash(hash_) +
                " was not made");
  }
  callInLoaderPhase_ = !loaderPhase_.empty();
  if (callInLoaderPhase_) {
    RecordError("nativeInit(" + HexHash(hash) + ") during the plug-in's " + loaderPhase_ +
                ": no host operation may be called from LibraryEntry or while loading or "
                "unloading; the call is refused");
  }
  callOpen_ = true;
  hash_ = hash;
  pushedCount_ = 0;
  overflowed_ = false;
  result_ = CallResult{};
}

void Host::NativePush(uint64_t value) {
  if (!callOpen_) {
    RecordError("nativePush64 without nativeInit");
    return;
  }
  if (pushedCount_ == pushed_.size()) {
    overflowed_ = true;
    return;
  }
  pushed_[pushedCount_++] = value;
}

uint64_t* Host::NativeCall() {
  if (!callOpen_) {
    RecordError("nativeCall without nativeInit");
    result_ = CallResult{};
    return result_.slots.data();
  }
  callOpen_ = false;
  const Operation* op = FindOperation(hash_);
  if (callInLoaderPhase_) {
    Notify(op, {}, true);
    return result_.slots.data();
  }
  if (op == nullptr) {
    RecordError("unknown operation " + HexHash(hash_) + " called with " +
                std::to_string(pushedCount_) + " arguments");
    Notify(nullptr, {}, true);
    return result_.slots.data();
  }
  if (overflowed_) {
    RecordError(DescribeOperation(*op) + ": more than " + std::to_string(kMaxPushedArgs) +
                " arguments pushed");
    Notify(op, {}, true);
    return result_.slots.data();
  }
  problems_.clear();
  const bool callable =
      DecodeArgs(*op, std::span<const uint64_t>(pushed_.data(), pushedCount_), decoded_, problems_);
  for (const std::string& problem : problems_) RecordError(problem);
  if (!callable) {
    Notify(op, {}, true);
    return result_.slots.data();
  }
  const std::span<DecodedArg> args(decoded_.data(), op->argCount);
  Dispatch(*op, args, result_);
  if (observer_) Notify(op, args, false);
  return result_.slots.data();
}

void Host::Notify(const Operation* op, std::span<const DecodedArg> args, bool refused) {
  if (!observer_) return;
  CallRecord record;
  record.frame = frame();
  record.timeUs = nowUs();
  record.op = op;
  record.hash = hash_;
  record.raw = std::span<const uint64_t>(pushed_.data(), pushedCount_);
  record.args = args;
  record.result = &result_;
  record.refused = refused;
  observer_(record);
}

void Host::Dispatch(const Operation& op, std::span<DecodedArg> a, CallResult& r) {
  World& w = world_;
  switch (op.id) {
    case OpId::kHashKey:
      r.SetUint32(w.HashKey(a[0].text));
      break;
    case OpId::kAddBlipForCoords:
      r.SetInt32(w.AddBlipForCoords(a[0].u, VecAt(a, 1)));
      break;
    case OpId::kSetBlipSprite:
      w.SetBlipSprite(a[0].i, a[1].u);
      break;
    case OpId::kSetBlipScale:
      w.SetBlipScale(a[0].i, a[1].f);
      break;
    case OpId::kCreateVarString: {
      const uint64_t handle = w.CreateVarString(a[0].i, a[1].text, a[2].text);
      if (handle == 0) {
        RecordError(DescribeOperation(op) + ": unsupported format \"" + std::string(a[1].text) +
                    "\"");
      }
      r.SetUint64(handle);
      break;
    }
    case OpId::kSetBlipName:
      if (!w.SetBlipName(a[0].i, a[1].raw)) {
        RecordError(DescribeOperation(op) + ": " + HexHash(a[1].raw) +
                    " is no string handle made by CreateVarString");
      }
      break;
    case OpId::kAddBlipModifier:
      w.AddBlipModifier(a[0].i, a[1].u);
      break;
    case OpId::kIsActivitySuppressed:
      r.SetBool(w.IsActivitySuppressed());
      break;
    case OpId::kGetClockHours:
      r.SetInt32(w.GetClockHours());
      break;
    case OpId::kPlayerPedId:
      r.SetInt32(w.PlayerPedId());
      break;
    case OpId::kGetEntityCoords: {
      const Vec3 at = w.GetEntityCoords(a[0].i);
      r.SetVector3(at.x, at.y, at.z);
      break;
    }
    case OpId::kDistanceBetweenCoords:
      r.SetFloat(World::DistanceBetweenCoords(VecAt(a, 0), VecAt(a, 3), a[6].i != 0));
      break;
    case OpId::kRemoveBlip: {
      int32_t handle = a[0].i;
      w.RemoveBlip(&handle);
      if (handle != a[0].i) WriteInt32(a[0].raw, handle);
      break;
    }
    case OpId::kRequestModel:
      w.RequestModel(a[0].u);
      break;
    case OpId::kHasModelLoaded:
      r.SetBool(w.HasModelLoaded(a[0].u));
      break;
    case OpId::kCreatePed:
      r.SetInt32(w.CreatePed(a[0].u, VecAt(a, 1), a[4].f));
      break;
    case OpId::kSetPedRelationshipGroup:
      w.SetPedRelationshipGroup(a[0].i, a[1].u);
      break;
    case OpId::kSetPedOptionA:
      w.SetPedOption(PedOption::kA, a[0].i, a[1].i);
      break;
    case OpId::kSetPedOptionB:
      w.SetPedOption(PedOption::kB, a[0].i, a[1].i);
      break;
    case OpId::kSetPedPromptName:
      w.SetPedPromptName(a[0].i, a[1].text);
      break;
    case OpId::kSetPedOptionC:
      w.SetPedOption(PedOption::kC, a[0].i, a[1].i);
      break;
    case OpId::kTaskStartScenarioInPlace:
      w.GiveTask(a[0].i, Task{TaskKind::kScenario, 0, a[1].u});
      break;
    case OpId::kTaskDefaultIdle:
      w.GiveTask(a[0].i, Task{TaskKind::kDefaultIdle, 0, 0});
      break;
    case OpId::kDoesEntityExist:
      r.SetBool(w.DoesEntityExist(a[0].i));
      break;
    case OpId::kAddBlipForEntity:
      r.SetInt32(w.AddBlipForEntity(a[0].u, a[1].i));
      break;
    case OpId::kSetModelAsNoLongerNeeded:
      w.SetModelAsNoLongerNeeded(a[0].u);
      break;
    case OpId::kCreateObject:
      r.SetInt32(w.CreateObject(a[0].u, VecAt(a, 1)));
      break;
    case OpId::kDeleteEntity: {
      int32_t handle = a[0].i;
      w.DeleteEntity(&handle);
      if (handle != a[0].i) WriteInt32(a[0].raw, handle);
      break;
    }
    case OpId::kPlayAmbientSpeech:
      r.SetBool(w.PlayAmbientSpeech(a[0].i, a[1].text, a[1].i, a[1].u));
      break;
    case OpId::kIsAnySpeechPlaying:
      r.SetBool(w.IsAnySpeechPlaying(a[0].i));
      break;
    case OpId::kRandomIntInRange:
      r.SetInt32(w.RandomIntInRange(a[0].i, a[1].i));
      break;
    case OpId::kIsEntityDead:
      r.SetBool(w.IsEntityDead(a[0].i));
      break;
    case OpId::kSetObjectiveText:
      w.SetObjectiveText(a[0].text);
      break;
    case OpId::kShowObjective:
      w.ShowObjective();
      break;
    case OpId::kClearObjective:
      w.ClearObjective();
      break;
    case OpId::kTaskTurnToFaceEntity:
      w.GiveTask(a[0].i, Task{TaskKind::kTurnToFace, a[1].i, 0});
      break;
    case OpId::kGiveWeaponToPed:
      w.GiveWeaponToPed(a[0].i, a[1].u);
      break;
    case OpId::kGetCurrentPedWeapon: {
      uint32_t weapon = 0;
      r.SetBool(w.GetCurrentPedWeapon(a[0].i, &weapon));
      WriteUint32(a[1].raw, weapon);
      a[1].u = weapon;
      break;
    }
    case OpId::kSetCurrentPedWeapon:
      w.SetCurrentPedWeapon(a[0].i, a[1].u);
      break;
    case OpId::kTaskAimGunAtEntity:
      w.GiveTask(a[0].i, Task{TaskKind::kAimAt, a[1].i, 0});
      break;
    case OpId::kTaskCombatPed:
      w.GiveTask(a[0].i, Task{TaskKind::kCombat, a[1].i, 0});
      break;
    case OpId::kGetBlipFromEntity:
      r.SetInt32(w.GetBlipFromEntity(a[0].i));
      break;
    case OpId::kDoesBlipExist:
      r.SetBool(w.DoesBlipExist(a[0].i));
      break;
    case OpId::kClearPedTasks:
      w.ClearPedTasks(a[0].i);
      break;
    case OpId::kTaskHandsUp:
      w.GiveTask(a[0].i, Task{TaskKind::kHandsUp, a[2].i, 0});
      break;
    case OpId::kTaskFleeFrom:
      w.GiveTask(a[0].i, Task{TaskKind::kFlee, a[1].i, 0});
      break;
    case OpId::kCount:
      break;
  }
}

}  // namespace platform
