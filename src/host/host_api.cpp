#include "host/host_api.h"

#include <bit>
#include <cstddef>
#include <iterator>

namespace homestead::host {
namespace {

// --- Encoding: the one place where an argument becomes a 64-bit slot --------

uint64_t EncodeArg(int32_t value) {
  return static_cast<uint32_t>(value);
}
uint64_t EncodeArg(uint32_t value) {
  return value;
}
uint64_t EncodeArg(uint64_t value) {
  return value;
}
uint64_t EncodeArg(float value) {
  return std::bit_cast<uint32_t>(value);
}
uint64_t EncodeArg(const void* address) {
  return reinterpret_cast<uintptr_t>(address);
}

template <typename... Args>
const uint64_t* Call(uint64_t hash, Args... args) {
  nativeInit(hash);
  (nativePush64(EncodeArg(args)), ...);
  return nativeCall();
}

// --- Decoding: the one place where result slots become values ---------------

uint32_t Low32(uint64_t slot) {
  return static_cast<uint32_t>(slot);
}
int32_t DecodeInt(const uint64_t* slots) {
  return static_cast<int32_t>(Low32(slots[0]));
}
uint32_t DecodeUint(const uint64_t* slots) {
  return Low32(slots[0]);
}
bool DecodeBool(const uint64_t* slots) {
  return Low32(slots[0]) != 0;
}
float DecodeFloat(const uint64_t* slots) {
  return std::bit_cast<float>(Low32(slots[0]));
}
uint64_t DecodeWhole(const uint64_t* slots) {
  return slots[0];
}
Vector3 DecodeVector3(const uint64_t* slots) {
  return Vector3(std::bit_cast<float>(Low32(slots[0])), std::bit_cast<float>(Low32(slots[1])),
                 std::bit_cast<float>(Low32(slots[2])));
}

// Fixed arguments of the protocol. The trace names what the host documents
// (ammo, flags); the others are named for where they go.
constexpr int32_t kNoTimeout = -1;
constexpr float kDefaultIdleFirstFloat = 10.0f;
constexpr float kDefaultIdleSecondFloat = 20.0f;
constexpr uint32_t kCombatFlags = 16u;
constexpr uint32_t kFleeFlags = 5120u;
constexpr uint32_t kGivenAmmo = 500u;
constexpr float kGiveWeaponLastFloat = 0.5f;

}  // namespace

Hash HashKey(const char* text) {
  return DecodeUint(Call(op::kHashKey, text));
}

Blip AddBlipForCoords(Hash style, float x, float y, float z) {
  return DecodeInt(Call(op::kAddBlipForCoords, style, x, y, z));
}

Blip AddBlipForEntity(Hash style, Entity entity) {
  return DecodeInt(Call(op::kAddBlipForEntity, style, entity));
}

void SetBlipSprite(Blip blip, Hash sprite) {
  Call(op::kSetBlipSprite, blip, sprite, 1u);
}

void SetBlipScale(Blip blip, float scale) {
  Call(op::kSetBlipScale, blip, scale);
}

VarString CreateVarString(int32_t kind, const char* format, const char* text) {
  return DecodeWhole(Call(op::kCreateVarString, kind, format, text));
}

void SetBlipName(Blip blip, VarString name) {
  Call(op::kSetBlipName, blip, name);
}

void AddBlipModifier(Blip blip, Hash modifier) {
  Call(op::kAddBlipModifier, blip, modifier);
}

void RemoveBlip(Blip* blip) {
  Call(op::kRemoveBlip, static_cast<const void*>(blip));
}

Blip GetBlipFromEntity(Entity entity) {
  return DecodeInt(Call(op::kGetBlipFromEntity, entity));
}

bool DoesBlipExist(Blip blip) {
  return DecodeBool(Call(op::kDoesBlipExist, blip));
}

void SetObjectiveText(const char* text) {
  Call(op::kSetObjectiveText, text);
}

void ShowObjective() {
  Call(op::kShowObjective);
}

void ClearObjective() {
  Call(op::kClearObjective);
}

bool IsActivitySuppressed() {
  return DecodeBool(Call(op::kIsActivitySuppressed));
}

int32_t GetClockHours() {
  return DecodeInt(Call(op::kGetClockHours));
}

Ped PlayerPedId() {
  return DecodeInt(Call(op::kPlayerPedId));
}

Vector3 GetEntityCoords(Entity entity) {
  return DecodeVector3(Call(op::kGetEntityCoords, entity, 1u, 0u));
}

float DistanceBetweenCoords(const Vector3& a, const Vector3& b) {
  return DecodeFloat(Call(op::kDistanceBetweenCoords, a.x, a.y, a.z, b.x, b.y, b.z, 1u));
}

bool DoesEntityExist(Entity entity) {
  return DecodeBool(Call(op::kDoesEntityExist, entity));
}

bool IsEntityDead(Entity entity) {
  return DecodeBool(Call(op::kIsEntityDead, entity));
}

int32_t RandomIntInRange(int32_t min, int32_t max) {
  return DecodeInt(Call(op::kRandomIntInRange, min, max));
}

void RequestModel(uint32_t model) {
  Call(op::kRequestModel, model, 0u);
}

bool HasModelLoaded(uint32_t model) {
  return DecodeBool(Call(op::kHasModelLoaded, model));
}

void SetModelAsNoLongerNeeded(uint32_t model) {
  Call(op::kSetModelAsNoLongerNeeded, model);
}

Ped CreatePed(uint32_t model, const Vector3& position, float heading) {
  return DecodeInt(
      Call(op::kCreatePed, model, position.x, position.y, position.z, heading, 1u, 1u, 0u, 0u));
}

Object CreateObject(uint32_t model, const Vector3& position) {
  return DecodeInt(
      Call(op::kCreateObject, model, position.x, position.y, position.z, 1u, 1u, 0u, 0u, 1u));
}

void DeleteEntity(Entity* entity) {
  Call(op::kDeleteEntity, static_cast<const void*>(entity));
}

void SetPedRelationshipGroup(Ped ped, Hash group) {
  Call(op::kSetPedRelationshipGroup, ped, group);
}

void SetPedOptionA(Ped ped, int32_t value) {
  Call(op::kSetPedOptionA, ped, value);
}

void SetPedOptionB(Ped ped, int32_t value) {
  Call(op::kSetPedOptionB, ped, value);
}

void SetPedPromptName(Ped ped, const char* name) {
  Call(op::kSetPedPromptName, ped, name);
}

void SetPedOptionC(Ped ped, int32_t value) {
  Call(op::kSetPedOptionC, ped, value);
}

void TaskStartScenarioInPlace(Ped ped, Hash scenario) {
  Call(op::kTaskStartScenarioInPlace, ped, scenario, kNoTimeout, 1u, 0u, 0u, 0u, 0u);
}

void TaskDefaultIdle(Ped ped) {
  Call(op::kTaskDefaultIdle, ped, kDefaultIdleFirstFloat, kDefaultIdleSecondFloat, 1u);
}

void TaskTurnToFaceEntity(Ped ped, Entity entity) {
  Call(op::kTaskTurnToFaceEntity, ped, entity, kNoTimeout, 0u, 0u, 0u);
}

void TaskAimGunAtEntity(Ped ped, Entity target) {
  Call(op::kTaskAimGunAtEntity, ped, target, kNoTimeout, 1u, 1u);
}

void TaskCombatPed(Ped ped, Ped target) {
  Call(op::kTaskCombatPed, ped, target, 0u, kCombatFlags);
}

void TaskHandsUp(Ped ped, Ped facing) {
  Call(op::kTaskHandsUp, ped, kNoTimeout, facing, kNoTimeout, 1u);
}

void TaskFleeFrom(Ped ped, Ped threat, const Vector3& position) {
  Call(op::kTaskFleeFrom, ped, threat, position.x, position.y, position.z, -1.0f, kNoTimeout,
       kFleeFlags, std::bit_cast<float>(kFleeFloatBits), 0u);
}

void ClearPedTasks(Ped ped) {
  Call(op::kClearPedTasks, ped, 1u, 0u);
}

void GiveWeaponToPed(Ped ped, Hash weapon, Hash reason) {
  Call(op::kGiveWeaponToPed, ped, weapon, kGivenAmmo, 1u, 0u, 0u, 0u, 1.0f, 1.0f, reason, 1u,
       kGiveWeaponLastFloat, 1u);
}

Hash GetCurrentPedWeapon(Ped ped) {
  uint32_t current = 0;
  Call(op::kGetCurrentPedWeapon, ped, static_cast<const void*>(&current), 1u, 0u, 0u);
  return current;
}

void SetCurrentPedWeapon(Ped ped, Hash weapon) {
  Call(op::kSetCurrentPedWeapon, ped, weapon, 1u, 0u, 0u, 0u);
}

SpeechParams MakeSpeechParams(const char* lineName, int32_t variation, Hash paramsHash) {
  // An empty text, never null: the host reads it.
  static constexpr char kEmptyAuxName[] = "";
  SpeechParams params{EncodeArg(lineName),
                      EncodeArg(kEmptyAuxName),
                      EncodeArg(variation),
                      EncodeArg(paramsHash),
                      {}};
  for (std::size_t i = 0; i < std::size(kSpeechFlags); ++i) {
    params.flags[i] = EncodeArg(kSpeechFlags[i]);
  }
  return params;
}

void PlayAmbientSpeech(Ped ped, const SpeechParams* params) {
  Call(op::kPlayAmbientSpeech, ped, static_cast<const void*>(params));
}

bool IsAnySpeechPlaying(Ped ped) {
  return DecodeBool(Call(op::kIsAnySpeechPlaying, ped));
}

}  // namespace homestead::host
