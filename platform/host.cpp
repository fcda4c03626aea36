#include "platform/host.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/active_host.h"

namespace platform {

namespace detail {
Host* gActiveHost = nullptr;
}  // namespace detail

namespace {

// Hosts alive, in construction order; the last one is active unless an
// Activation chose another.
std::vector<Host*> gHosts;
Host* gChosen = nullptr;

void ChooseActive() {
  detail::gActiveHost = gChosen != nullptr ? gChosen : (gHosts.empty() ? nullptr : gHosts.back());
}

// The pushed slots of a call whose kinds have been checked, read by type
// (the slot encodings are in operations.h).
class Slots {
 public:
  explicit Slots(const uint64_t* slots) : slots_(slots) {}

  uint32_t U(std::size_t k) const { return static_cast<uint32_t>(slots_[k]); }
  int32_t I(std::size_t k) const { return static_cast<int32_t>(U(k)); }
  float F(std::size_t k) const { return std::bit_cast<float>(U(k)); }
  bool B(std::size_t k) const { return U(k) != 0; }
  uint64_t Raw(std::size_t k) const { return slots_[k]; }
  Vec3 VecAt(std::size_t k) const { return Vec3{F(k), F(k + 1), F(k + 2)}; }
  std::string_view Text(std::size_t k) const { return reinterpret_cast<const char*>(slots_[k]); }
  // Slot k of a block passed by address.
  uint64_t InBlock(std::size_t k, std::size_t slot) const {
    uint64_t value;
    std::memcpy(&value, reinterpret_cast<const char*>(slots_[k]) + slot * sizeof value,
                sizeof value);
    return value;
  }

 private:
  const uint64_t* slots_;
};

// Handles and out-values travel by address; memcpy keeps an odd address from
// being undefined behaviour on the host's side.
int32_t ReadInt32(uint64_t address) {
  int32_t value;
  std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
  return value;
}

uint32_t ReadUint32(uint64_t address) {
  uint32_t value;
  std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
  return value;
}

void WriteInt32(uint64_t address, int32_t value) {
  std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
}

void WriteUint32(uint64_t address, uint32_t value) {
  std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
}

// One typed handler per operation: reads the pushed slots by type and lets
// the world answer; a problem the world finds is recorded as an error. Each
// is a function of its own, so that a call pays only for what its operation
// needs.
using Handler = void (*)(Host& host, World& w, Slots s, CallResult& r);

constexpr std::array<Handler, kOperationCount> kHandlers = [] {
  std::array<Handler, kOperationCount> h{};
  constexpr auto Index = [](OpId id) { return static_cast<std::size_t>(id); };
  h[Index(OpId::kHashKey)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetUint32(w.HashKey(s.Text(0)));
  };
  h[Index(OpId::kAddBlipForCoords)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetInt32(w.AddBlipForCoords(s.U(0), s.VecAt(1)));
  };
  h[Index(OpId::kSetBlipSprite)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetBlipSprite(s.I(0), s.U(1));
  };
  h[Index(OpId::kSetBlipScale)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetBlipScale(s.I(0), s.F(1));
  };
  h[Index(OpId::kCreateVarString)] = [](Host& host, World& w, Slots s, CallResult& r) {
    const uint64_t handle = w.CreateVarString(s.I(0), s.Text(1), s.Text(2));
    if (handle == 0) {
      host.RecordError(DescribeOperation(OperationOf(OpId::kCreateVarString)) +
                       ": unsupported format \"" + std::string(s.Text(1)) + "\"");
    }
    r.SetUint64(handle);
  };
  h[Index(OpId::kSetBlipName)] = [](Host& host, World& w, Slots s, CallResult&) {
    if (!w.SetBlipName(s.I(0), s.Raw(1))) {
      host.RecordError(DescribeOperation(OperationOf(OpId::kSetBlipName)) + ": " +
                       HexHash(s.Raw(1)) + " is no string handle made by CreateVarString");
    }
  };
  h[Index(OpId::kAddBlipModifier)] = [](Host&, World& w, Slots s, CallResult&) {
    w.AddBlipModifier(s.I(0), s.U(1));
  };
  h[Index(OpId::kIsActivitySuppressed)] = [](Host&, World& w, Slots, CallResult& r) {
    r.SetBool(w.IsActivitySuppressed());
  };
  h[Index(OpId::kGetClockHours)] = [](Host&, World& w, Slots, CallResult& r) {
    r.SetInt32(w.GetClockHours());
  };
  h[Index(OpId::kPlayerPedId)] = [](Host&, World& w, Slots, CallResult& r) {
    r.SetInt32(w.PlayerPedId());
  };
  h[Index(OpId::kGetEntityCoords)] = [](Host&, World& w, Slots s, CallResult& r) {
    const Vec3 at = w.GetEntityCoords(s.I(0));
    r.SetVector3(at.x, at.y, at.z);
  };
  h[Index(OpId::kDistanceBetweenCoords)] = [](Host&, World&, Slots s, CallResult& r) {
    r.SetFloat(World::DistanceBetweenCoords(s.VecAt(0), s.VecAt(3), s.B(6)));
  };
  h[Index(OpId::kRemoveBlip)] = [](Host&, World& w, Slots s, CallResult&) {
    const int32_t before = ReadInt32(s.Raw(0));
    int32_t handle = before;
    w.RemoveBlip(&handle);
    if (handle != before) WriteInt32(s.Raw(0), handle);
  };
  h[Index(OpId::kRequestModel)] = [](Host&, World& w, Slots s, CallResult&) {
    w.RequestModel(s.U(0));
  };
  h[Index(OpId::kHasModelLoaded)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetBool(w.HasModelLoaded(s.U(0)));
  };
  h[Index(OpId::kCreatePed)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetInt32(w.CreatePed(s.U(0), s.VecAt(1), s.F(4)));
  };
  h[Index(OpId::kSetPedRelationshipGroup)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetPedRelationshipGroup(s.I(0), s.U(1));
  };
  h[Index(OpId::kSetPedOptionA)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetPedOption(PedOption::kA, s.I(0), s.I(1));
  };
  h[Index(OpId::kSetPedOptionB)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetPedOption(PedOption::kB, s.I(0), s.I(1));
  };
  h[Index(OpId::kSetPedPromptName)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetPedPromptName(s.I(0), s.Text(1));
  };
  h[Index(OpId::kSetPedOptionC)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetPedOption(PedOption::kC, s.I(0), s.I(1));
  };
  h[Index(OpId::kTaskStartScenarioInPlace)] = [](Host&, World& w, Slots s, CallResult&) {
    w.GiveTask(s.I(0), Task{TaskKind::kScenario, 0, s.U(1)});
  };
  h[Index(OpId::kTaskDefaultIdle)] = [](Host&, World& w, Slots s, CallResult&) {
    w.GiveTask(s.I(0), Task{TaskKind::kDefaultIdle, 0, 0});
  };
  h[Index(OpId::kDoesEntityExist)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetBool(w.DoesEntityExist(s.I(0)));
  };
  h[Index(OpId::kAddBlipForEntity)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetInt32(w.AddBlipForEntity(s.U(0), s.I(1)));
  };
  h[Index(OpId::kSetModelAsNoLongerNeeded)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetModelAsNoLongerNeeded(s.U(0));
  };
  h[Index(OpId::kCreateObject)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetInt32(w.CreateObject(s.U(0), s.VecAt(1)));
  };
  h[Index(OpId::kDeleteEntity)] = [](Host&, World& w, Slots s, CallResult&) {
    const int32_t before = ReadInt32(s.Raw(0));
    int32_t handle = before;
    w.DeleteEntity(&handle);
    if (handle != before) WriteInt32(s.Raw(0), handle);
  };
  h[Index(OpId::kPlayAmbientSpeech)] = [](Host&, World& w, Slots s, CallResult& r) {
    // The block: line name, aux name, variation, params hash, flags.
    r.SetBool(w.PlayAmbientSpeech(s.I(0), reinterpret_cast<const char*>(s.InBlock(1, 0)),
                                  static_cast<int32_t>(static_cast<uint32_t>(s.InBlock(1, 2))),
                                  static_cast<uint32_t>(s.InBlock(1, 3))));
  };
  h[Index(OpId::kIsAnySpeechPlaying)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetBool(w.IsAnySpeechPlaying(s.I(0)));
  };
  h[Index(OpId::kRandomIntInRange)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetInt32(w.RandomIntInRange(s.I(0), s.I(1)));
  };
  h[Index(OpId::kIsEntityDead)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetBool(w.IsEntityDead(s.I(0)));
  };
  h[Index(OpId::kSetObjectiveText)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetObjectiveText(s.Text(0));
  };
  h[Index(OpId::kShowObjective)] = [](Host&, World& w, Slots, CallResult&) { w.ShowObjective(); };
  h[Index(OpId::kClearObjective)] = [](Host&, World& w, Slots, CallResult&) { w.ClearObjective(); };
  h[Index(OpId::kTaskTurnToFaceEntity)] = [](Host&, World& w, Slots s, CallResult&) {
    w.GiveTask(s.I(0), Task{TaskKind::kTurnToFace, s.I(1), 0});
  };
  h[Index(OpId::kGiveWeaponToPed)] = [](Host&, World& w, Slots s, CallResult&) {
    w.GiveWeaponToPed(s.I(0), s.U(1));
  };
  h[Index(OpId::kGetCurrentPedWeapon)] = [](Host&, World& w, Slots s, CallResult& r) {
    uint32_t weapon = 0;
    r.SetBool(w.GetCurrentPedWeapon(s.I(0), &weapon));
    WriteUint32(s.Raw(1), weapon);
  };
  h[Index(OpId::kSetCurrentPedWeapon)] = [](Host&, World& w, Slots s, CallResult&) {
    w.SetCurrentPedWeapon(s.I(0), s.U(1));
  };
  h[Index(OpId::kTaskAimGunAtEntity)] = [](Host&, World& w, Slots s, CallResult&) {
    w.GiveTask(s.I(0), Task{TaskKind::kAimAt, s.I(1), 0});
  };
  h[Index(OpId::kTaskCombatPed)] = [](Host&, World& w, Slots s, CallResult&) {
    w.GiveTask(s.I(0), Task{TaskKind::kCombat, s.I(1), 0});
  };
  h[Index(OpId::kGetBlipFromEntity)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetInt32(w.GetBlipFromEntity(s.I(0)));
  };
  h[Index(OpId::kDoesBlipExist)] = [](Host&, World& w, Slots s, CallResult& r) {
    r.SetBool(w.DoesBlipExist(s.I(0)));
  };
  h[Index(OpId::kClearPedTasks)] = [](Host&, World& w, Slots s, CallResult&) {
    w.ClearPedTasks(s.I(0));
  };
  h[Index(OpId::kTaskHandsUp)] = [](Host&, World& w, Slots s, CallResult&) {
    w.GiveTask(s.I(0), Task{TaskKind::kHandsUp, s.I(2), 0});
  };
  h[Index(OpId::kTaskFleeFrom)] = [](Host&, World& w, Slots s, CallResult&) {
    w.GiveTask(s.I(0), Task{TaskKind::kFlee, s.I(1), 0});
  };
  return h;
}();
static_assert(std::ranges::none_of(kHandlers, [](Handler h) { return h == nullptr; }),
              "every operation has a handler");

}  // namespace

std::span<const DecodedArg> CallRecord::args() const {
  if (decoder_ != nullptr) {
    args_ = decoder_->DecodeCallArgs();
    decoder_ = nullptr;
  }
  return args_;
}

Host::Host(HostConfig config)
    : world_(std::move(config.world)),
      scheduler_(config.framesPerSecond, [this](std::string message) { RecordError(message); }) {
  gHosts.push_back(this);
  ChooseActive();
}

Host::~Host() {
  std::erase(gHosts, this);
  if (gChosen == this) gChosen = nullptr;
  ChooseActive();
}

Host* Host::Active() {
  return detail::gActiveHost;
}

Host::Activation::Activation(Host& host) : previous_(gChosen) {
  gChosen = &host;
  ChooseActive();
}

Host::Activation::~Activation() {
  gChosen = previous_;
  ChooseActive();
}

void Host::SetObserver(CallObserver observer, std::span<const OpId> only) {
  observer_ = std::move(observer);
  observed_.fill(observer_ && only.empty());
  if (!observer_) return;
  for (OpId id : only) observed_[static_cast<std::size_t>(id)] = true;
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

void Host::NativeInitChecked(uint64_t hash) {
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
  OpenCall(hash);
  ready_ = ready_ && !callInLoaderPhase_;
  overflowed_ = false;
}

void Host::NativePushChecked() {
  if (!callOpen_) {
    RecordError("nativePush64 without nativeInit");
    return;
  }
  // The call is open, so every slot is taken.
  overflowed_ = true;
  ready_ = false;
}

bool Host::SlotsAreClean(const Operation& op) const {
  if (pushedCount() != op.argCount || op.speechArgs != 0) return false;
  uint64_t stray = 0;
  for (std::size_t k = 0; k < pushedCount(); ++k) stray |= pushed_[k] & op.mustBeZero[k];
  if (stray != 0) return false;
  for (unsigned addresses = op.addressArgs; addresses != 0; addresses &= addresses - 1) {
    if (pushed_[static_cast<std::size_t>(std::countr_zero(addresses))] == 0) return false;
  }
  return true;
}

void Host::SaveHandlesBefore(const Operation& op) {
  for (unsigned refs = op.handleRefArgs; refs != 0; refs &= refs - 1) {
    const auto k = static_cast<std::size_t>(std::countr_zero(refs));
    handlesBefore_[k] = ReadInt32(pushed_[k]);
  }
}

void Host::CloseCall() {
  callOpen_ = false;
  ready_ = false;
  pushEnd_ = pushTop_;
  result_ = CallResult{};
}

void Host::CarryOut(const Operation& op) {
  if (op.handleRefArgs != 0) SaveHandlesBefore(op);
  kHandlers[static_cast<std::size_t>(op.id)](*this, world_, Slots(pushed_.data()), result_);
  if (observed_[static_cast<std::size_t>(op.id)]) Notify(false);
}

uint64_t* Host::NativeCall() {
  if (!ready_) return NativeCallChecked();
  const Operation& op = *op_;
  // The usual call: values only (no address among the arguments), all
  // 32-bit ones clean, told by one OR of the slots.
  const bool cleanValues =
      op.addressArgs == 0 && pushedCount() == op.argCount && (slotBits_ >> 32) == 0;
  if (!cleanValues && !SlotsAreClean(op)) return NativeCallChecked();
  CloseCall();
  CarryOut(op);
  return result_.slots.data();
}

uint64_t* Host::NativeCallChecked() {
  const bool overflowed = std::exchange(overflowed_, false);
  const bool wasOpen = callOpen_;
  CloseCall();
  if (!wasOpen) {
    RecordError("nativeCall without nativeInit");
    return result_.slots.data();
  }
  if (callInLoaderPhase_) {
    callInLoaderPhase_ = false;
    Notify(true);
    return result_.slots.data();
  }
  if (op_ == nullptr) {
    RecordError("unknown operation " + HexHash(hash_) + " called with " +
                std::to_string(pushedCount()) + " arguments");
    Notify(true);
    return result_.slots.data();
  }
  if (overflowed) {
    RecordError(DescribeOperation(*op_) + ": more than " + std::to_string(kMaxPushedArgs) +
                " arguments pushed");
    Notify(true);
    return result_.slots.data();
  }
  problems_.clear();
  const bool callable = DecodeArgs(*op_, std::span<const uint64_t>(pushed_.data(), pushedCount()),
                                   decoded_, problems_);
  for (const std::string& problem : problems_) RecordError(problem);
  if (!callable) {
    Notify(true);
    return result_.slots.data();
  }
  CarryOut(*op_);
  return result_.slots.data();
}

std::span<const DecodedArg> Host::DecodeCallArgs() const {
  problems_.clear();  // reported when the call was made
  DecodeArgs(*op_, std::span<const uint64_t>(pushed_.data(), pushedCount()), decoded_, problems_);
  for (std::size_t k = 0; k < op_->argCount; ++k) {
    DecodedArg& arg = decoded_[k];
    if (arg.kind == ArgKind::kHandleRef) arg.i = handlesBefore_[k];
    if (arg.kind == ArgKind::kOutUint32) arg.u = ReadUint32(arg.raw);
  }
  return {decoded_.data(), op_->argCount};
}

void Host::Notify(bool refused) {
  if (!observer_) return;
  CallRecord record;
  record.frame = frame();
  record.timeUs = nowUs();
  record.op = op_;
  record.hash = hash_;
  record.raw = std::span<const uint64_t>(pushed_.data(), pushedCount());
  record.result = &result_;
  record.refused = refused;
  if (!refused) record.decoder_ = this;
  observer_(record);
}

}  // namespace platform

namespace {

// Answered when no host is active: zeros, as for any refused call.
std::array<uint64_t, 3> gNoHostResult{};

}  // namespace

// The script-hook functions of a host call (the other three are in
// script_hook.cpp); here, so that the dispatcher is inlined into them. Each
// reads the active host straight from its variable.
extern "C" {

void nativeInit(uint64_t hash) {
  if (auto* host = platform::detail::gActiveHost) host->NativeInit(hash);
}

void nativePush64(uint64_t value) {
  if (auto* host = platform::detail::gActiveHost) host->NativePush(value);
}

uint64_t* nativeCall(void) {
  if (auto* host = platform::detail::gActiveHost) return host->NativeCall();
  gNoHostResult.fill(0);
  return gNoHostResult.data();
}

}  // extern "C"
