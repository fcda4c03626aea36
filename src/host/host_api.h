// Host layer of the plug-in: the six script-hook functions it imports, and
// HostApi, one named function per host operation the plug-in uses.
//
// Every operation is called the same way: nativeInit(hash), one nativePush64
// per argument in the listed order, then nativeCall(), whose result slots are
// read at once. Arguments are encoded by EncodeArg and results decoded by the
// Decode* helpers of host_api.cpp; no wrapper encodes or decodes on its own,
// and the speech parameter block is filled by the same EncodeArg.
//
// Encodings: 32-bit integers, handles, hashes and booleans zero-extended into
// the 64-bit slot (-1 arrives as 4294967295); a float as its single-precision
// bit pattern in the low half, high half zero; texts and out-arguments as
// addresses. Results: an integer, handle, boolean or float is the low 32 bits
// of slot 0; a string handle all of slot 0; a Vector3 slots 0 to 2.
#ifndef HOMESTEAD_HOST_HOST_API_H
#define HOMESTEAD_HOST_HOST_API_H

#include <cstdint>

#include "host/vector3.h"

// Imported from the process that loads the plug-in.
extern "C" {
void scriptRegister(void* module, void (*scriptMain)(void));
void scriptUnregister(void* module);
void scriptWait(uint32_t ms);
void nativeInit(uint64_t hash);
void nativePush64(uint64_t value);
uint64_t* nativeCall(void);
}

namespace homestead {
namespace host {

using Ped = int32_t;
using Object = int32_t;
using Entity = int32_t;
using Blip = int32_t;
using Hash = uint32_t;
// A string handle made by CreateVarString: the whole 64-bit result slot.
using VarString = uint64_t;

// Operation hashes, in the order the operations are first needed.
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

// The float that TaskFleeFrom pushes after its flags, given as this exact bit
// pattern.
inline constexpr uint32_t kFleeFloatBits = 0x4E808000;

// Parameter block of PlayAmbientSpeech, passed by address: eight 8-byte slots,
// 32-bit values in the low half with the high half zero.
struct SpeechParams {
  uint64_t lineName;    // address of the line name
  uint64_t auxName;     // address of an empty text, never null
  uint64_t variation;   // int32 in the low half
  uint64_t paramsHash;  // HashKey of the speech parameter set's name
  uint64_t flags[4];    // kSpeechFlags
};
static_assert(sizeof(SpeechParams) == 64, "SpeechParams must be eight 8-byte slots");

// The values the host expects after the params hash, in slot order.
inline constexpr uint32_t kSpeechFlags[4] = {0, 1, 1, 1};

// The block that says `lineName` in `variation` with the parameter set
// `paramsHash`, each slot encoded as an argument is. The texts must outlive
// the PlayAmbientSpeech call that passes the block.
SpeechParams MakeSpeechParams(const char* lineName, int32_t variation, Hash paramsHash);

// --- Texts, blips and objectives ------------------------------------------
Hash HashKey(const char* text);
Blip AddBlipForCoords(Hash style, float x, float y, float z);
Blip AddBlipForEntity(Hash style, Entity entity);
void SetBlipSprite(Blip blip, Hash sprite);  // trailing 1
void SetBlipScale(Blip blip, float scale);
VarString CreateVarString(int32_t kind, const char* format, const char* text);
void SetBlipName(Blip blip, VarString name);
void AddBlipModifier(Blip blip, Hash modifier);
void RemoveBlip(Blip* blip);
Blip GetBlipFromEntity(Entity entity);
bool DoesBlipExist(Blip blip);
void SetObjectiveText(const char* text);
void ShowObjective();
void ClearObjective();

// --- World queries ---------------------------------------------------------
bool IsActivitySuppressed();
int32_t GetClockHours();
Ped PlayerPedId();
Vector3 GetEntityCoords(Entity entity);                           // trailing 1, 0
float DistanceBetweenCoords(const Vector3& a, const Vector3& b);  // trailing 1
bool DoesEntityExist(Entity entity);
bool IsEntityDead(Entity entity);
int32_t RandomIntInRange(int32_t min, int32_t max);

// --- Models and entities ---------------------------------------------------
void RequestModel(uint32_t model);  // trailing 0
bool HasModelLoaded(uint32_t model);
void SetModelAsNoLongerNeeded(uint32_t model);
Ped CreatePed(uint32_t model, const Vector3& position, float heading);  // trailing 1, 1, 0, 0
Object CreateObject(uint32_t model, const Vector3& position);           // trailing 1, 1, 0, 0, 1
void DeleteEntity(Entity* entity);

// --- Ped set-up --------------------------------------------------------------
// The host's three per-ped options, named as the operations are, each a
// switch taking kSwitchOn or kSwitchOff. What they change is the host's
// business; the plug-in gives every occupant the first two on and the third
// off, around his prompt name.
inline constexpr int32_t kSwitchOff = 0;
inline constexpr int32_t kSwitchOn = 1;
void SetPedRelationshipGroup(Ped ped, Hash group);
void SetPedOptionA(Ped ped, int32_t value);
void SetPedOptionB(Ped ped, int32_t value);
void SetPedPromptName(Ped ped, const char* name);
void SetPedOptionC(Ped ped, int32_t value);

// --- Tasks -------------------------------------------------------------------
void TaskStartScenarioInPlace(Ped ped, Hash scenario);  // -1, 1, 0, 0, 0, 0
void TaskDefaultIdle(Ped ped);                          // 10.0, 20.0, 1
void TaskTurnToFaceEntity(Ped ped, Entity entity);      // -1, 0, 0, 0
void TaskAimGunAtEntity(Ped ped, Entity target);        // -1, 1, 1
void TaskCombatPed(Ped ped, Ped target);                // 0, 16
void TaskHandsUp(Ped ped, Ped facing);                  // -1, facing, -1, 1
// Flee from `threat` by way of `position`; -1.0, -1, 5120, kFleeFloatBits, 0.
void TaskFleeFrom(Ped ped, Ped threat, const Vector3& position);
void ClearPedTasks(Ped ped);  // 1, 0

// --- Weapons -----------------------------------------------------------------
// 500, 1, 0, 0, 0, 1.0, 1.0, reason, 1, 0.5, 1
void GiveWeaponToPed(Ped ped, Hash weapon, Hash reason);
Hash GetCurrentPedWeapon(Ped ped);               // out-argument, 1, 0, 0
void SetCurrentPedWeapon(Ped ped, Hash weapon);  // 1, 0, 0, 0

// --- Speech ------------------------------------------------------------------
// `params` as MakeSpeechParams fills it.
void PlayAmbientSpeech(Ped ped, const SpeechParams* params);
bool IsAnySpeechPlaying(Ped ped);

}  // namespace host
}  // namespace homestead

#endif  // HOMESTEAD_HOST_HOST_API_H
