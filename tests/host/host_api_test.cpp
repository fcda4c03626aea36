// Tests of the host-call layer: the hash and slots each wrapper pushes, how
// results are decoded from the slots, and the layouts exchanged with the host.
#include "host/host_api.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/blips.h"
#include "platform/operations.h"
#include "support/fake_hook.h"

namespace homestead {
namespace {

namespace op_hash = ::platform::op_hash;

using fake::FakeHook;

uint64_t Address(const void* p) {
  return reinterpret_cast<uintptr_t>(p);
}

// Float arguments used below, with their single-precision bit patterns.
constexpr float kX = 1.5f;  // 0x3FC00000
constexpr float kY = -2.25f;
constexpr float kZ = 3.0f;
constexpr uint64_t kXBits = 0x3FC00000;
constexpr uint64_t kYBits = 0xC0100000;
constexpr uint64_t kZBits = 0x40400000;
constexpr uint64_t kMinusOne = 4294967295;  // -1 zero-extended

const char kText[] = "some text";
const char kFormat[] = "LITERAL_STRING";

class HostApiTest : public ::testing::Test {
 protected:
  void SetUp() override { FakeHook::Get().Reset(); }
  void TearDown() override { FakeHook::Get().Reset(); }
};

struct WrapperRow {
  const char* name;
  std::function<void()> call;
  uint64_t hash;
  std::vector<uint64_t> slots;
};

TEST_F(HostApiTest, EveryWrapperPushesItsHashAndSlotsInOrder) {
  static host::Blip blip = 0;
  static host::Entity entity = 0;
  static const host::SpeechParams params{};
  const Vector3 a(kX, kY, kZ);
  const Vector3 b(12.5f, 100.125f, -8.5f);
  constexpr uint64_t kBBits[] = {0x41480000, 0x42C84000, 0xC1080000};

  const std::vector<WrapperRow> rows = {
      {"HashKey", [] { host::HashKey(kText); }, op_hash::kHashKey, {Address(kText)}},
      {"AddBlipForCoords",
       [] { host::AddBlipForCoords(host::kMarkerBlipStyle, kX, kY, kZ); },
       op_hash::kAddBlipForCoords,
       {1664425300, kXBits, kYBits, kZBits}},
      {"AddBlipForEntity",
       [] { host::AddBlipForEntity(0xDEADBEEF, -7); },
       op_hash::kAddBlipForEntity,
       {0xDEADBEEF, 0xFFFFFFF9}},
      {"SetBlipSprite",
       [] { host::SetBlipSprite(-3, 0x80000001); },
       op_hash::kSetBlipSprite,
       {0xFFFFFFFD, 0x80000001, 1}},
      {"SetBlipScale",
       [] { host::SetBlipScale(12, 0.6f); },
       op_hash::kSetBlipScale,
       {12, 0x3F19999A}},
      {"CreateVarString",
       [] { host::CreateVarString(10, kFormat, kText); },
       op_hash::kCreateVarString,
       {10, Address(kFormat), Address(kText)}},
      {"SetBlipName",
       [] { host::SetBlipName(12, 0x1234567890ABCDEF); },
       op_hash::kSetBlipName,
       {12, 0x1234567890ABCDEF}},
      {"AddBlipModifier",
       [] { host::AddBlipModifier(12, 0xCAFEF00D); },
       op_hash::kAddBlipModifier,
       {12, 0xCAFEF00D}},
      {"RemoveBlip", [] { host::RemoveBlip(&blip); }, op_hash::kRemoveBlip, {Address(&blip)}},
      {"GetBlipFromEntity", [] { host::GetBlipFromEntity(33); }, op_hash::kGetBlipFromEntity, {33}},
      {"DoesBlipExist", [] { host::DoesBlipExist(12); }, op_hash::kDoesBlipExist, {12}},
      {"SetObjectiveText",
       [] { host::SetObjectiveText(kText); },
       op_hash::kSetObjectiveText,
       {Address(kText)}},
      {"ShowObjective", [] { host::ShowObjective(); }, op_hash::kShowObjective, {}},
      {"ClearObjective", [] { host::ClearObjective(); }, op_hash::kClearObjective, {}},
      {"IsActivitySuppressed",
       [] { host::IsActivitySuppressed(); },
       op_hash::kIsActivitySuppressed,
       {}},
      {"GetClockHours", [] { host::GetClockHours(); }, op_hash::kGetClockHours, {}},
      {"PlayerPedId", [] { host::PlayerPedId(); }, op_hash::kPlayerPedId, {}},
      {"GetEntityCoords",
       [] { host::GetEntityCoords(-1); },
       op_hash::kGetEntityCoords,
       {kMinusOne, 1, 0}},
      {"DistanceBetweenCoords",
       [&] { host::DistanceBetweenCoords(a, b); },
       op_hash::kDistanceBetweenCoords,
       {kXBits, kYBits, kZBits, kBBits[0], kBBits[1], kBBits[2], 1}},
      {"DoesEntityExist", [] { host::DoesEntityExist(33); }, op_hash::kDoesEntityExist, {33}},
      {"IsEntityDead", [] { host::IsEntityDead(33); }, op_hash::kIsEntityDead, {33}},
      {"RandomIntInRange",
       [] { host::RandomIntInRange(-1, 8); },
       op_hash::kRandomIntInRange,
       {kMinusOne, 8}},
      {"RequestModel",
       [] { host::RequestModel(0x3F094007); },
       op_hash::kRequestModel,
       {0x3F094007, 0}},
      {"HasModelLoaded",
       [] { host::HasModelLoaded(0xFC40AF1B); },
       op_hash::kHasModelLoaded,
       {0xFC40AF1B}},
      {"SetModelAsNoLongerNeeded",
       [] { host::SetModelAsNoLongerNeeded(0xFC40AF1B); },
       op_hash::kSetModelAsNoLongerNeeded,
       {0xFC40AF1B}},
      {"CreatePed",
       [&] { host::CreatePed(0x3F094007, a, 271.25f); },
       op_hash::kCreatePed,
       {0x3F094007, kXBits, kYBits, kZBits, 0x4387A000, 1, 1, 0, 0}},
      {"CreateObject",
       [&] { host::CreateObject(0xFC40AF1B, a); },
       op_hash::kCreateObject,
       {0xFC40AF1B, kXBits, kYBits, kZBits, 1, 1, 0, 0, 1}},
      {"DeleteEntity",
       [] { host::DeleteEntity(&entity); },
       op_hash::kDeleteEntity,
       {Address(&entity)}},
      {"SetPedRelationshipGroup",
       [] { host::SetPedRelationshipGroup(33, 0x90ABCDEF); },
       op_hash::kSetPedRelationshipGroup,
       {33, 0x90ABCDEF}},
      {"SetPedOptionA", [] { host::SetPedOptionA(33, 1); }, op_hash::kSetPedOptionA, {33, 1}},
      {"SetPedOptionB", [] { host::SetPedOptionB(33, 1); }, op_hash::kSetPedOptionB, {33, 1}},
      {"SetPedPromptName",
       [] { host::SetPedPromptName(33, kText); },
       op_hash::kSetPedPromptName,
       {33, Address(kText)}},
      {"SetPedOptionC", [] { host::SetPedOptionC(33, 0); }, op_hash::kSetPedOptionC, {33, 0}},
      {"TaskStartScenarioInPlace",
       [] { host::TaskStartScenarioInPlace(33, 0xA1B2C3D4); },
       op_hash::kTaskStartScenarioInPlace,
       {33, 0xA1B2C3D4, kMinusOne, 1, 0, 0, 0, 0}},
      {"TaskDefaultIdle",
       [] { host::TaskDefaultIdle(33); },
       op_hash::kTaskDefaultIdle,
       {33, 0x41200000, 0x41A00000, 1}},
      {"TaskTurnToFaceEntity",
       [] { host::TaskTurnToFaceEntity(33, 44); },
       op_hash::kTaskTurnToFaceEntity,
       {33, 44, kMinusOne, 0, 0, 0}},
      {"TaskAimGunAtEntity",
       [] { host::TaskAimGunAtEntity(33, 44); },
       op_hash::kTaskAimGunAtEntity,
       {33, 44, kMinusOne, 1, 1}},
      {"TaskCombatPed",
       [] { host::TaskCombatPed(33, 44); },
       op_hash::kTaskCombatPed,
       {33, 44, 0, 16}},
      {"TaskHandsUp",
       [] { host::TaskHandsUp(33, 44); },
       op_hash::kTaskHandsUp,
       {33, kMinusOne, 44, kMinusOne, 1}},
      {"TaskFleeFrom",
       [&] { host::TaskFleeFrom(33, 44, a); },
       op_hash::kTaskFleeFrom,
       {33, 44, kXBits, kYBits, kZBits, 0xBF800000, kMinusOne, 5120, 0x4E808000, 0}},
      {"ClearPedTasks", [] { host::ClearPedTasks(33); }, op_hash::kClearPedTasks, {33, 1, 0}},
      {"GiveWeaponToPed",
       [] { host::GiveWeaponToPed(33, 0x1B06D571, 0x2CD419DC); },
       op_hash::kGiveWeaponToPed,
       {33, 0x1B06D571, 500, 1, 0, 0, 0, 0x3F800000, 0x3F800000, 0x2CD419DC, 1, 0x3F000000, 1}},
      {"SetCurrentPedWeapon",
       [] { host::SetCurrentPedWeapon(33, 0x1B06D571); },
       op_hash::kSetCurrentPedWeapon,
       {33, 0x1B06D571, 1, 0, 0, 0}},
      {"PlayAmbientSpeech",
       [] { host::PlayAmbientSpeech(33, &params); },
       op_hash::kPlayAmbientSpeech,
       {33, Address(&params)}},
      {"IsAnySpeechPlaying",
       [] { host::IsAnySpeechPlaying(33); },
       op_hash::kIsAnySpeechPlaying,
       {33}},
  };

  for (const WrapperRow& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHook::Get().Reset();
    row.call();
    const std::vector<fake::Event>& events = FakeHook::Get().events;
    ASSERT_EQ(events.size(), 1u) << "one host call and no wait";
    EXPECT_EQ(events[0].kind, fake::Event::Kind::kCall);
    EXPECT_EQ(events[0].hash, row.hash);
    EXPECT_EQ(events[0].args, row.slots);
  }
}

TEST_F(HostApiTest, GetCurrentPedWeaponReturnsWhatTheHostWritesThroughTheAddress) {
  FakeHook::Get().responder = [](uint64_t, const std::vector<uint64_t>& args) {
    if (args.size() > 1 && args[1] != 0) {
      const int32_t weapon = static_cast<int32_t>(0xA1B2C3D4);
      std::memcpy(reinterpret_cast<void*>(args[1]), &weapon, sizeof weapon);
    }
    return fake::Answer(0xFFFFFFFFFFFFFFFF);  // the result slot is not the answer
  };

  EXPECT_EQ(host::GetCurrentPedWeapon(33), 0xA1B2C3D4u);

  const std::vector<fake::Event> calls = FakeHook::Get().Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].hash, 0x3A87E44BB9A01D54u);
  ASSERT_EQ(calls[0].args.size(), 5u);
  EXPECT_EQ(calls[0].args[0], 33u);
  EXPECT_NE(calls[0].args[1], 0u);
  EXPECT_EQ(calls[0].args[2], 1u);
  EXPECT_EQ(calls[0].args[3], 0u);
  EXPECT_EQ(calls[0].args[4], 0u);
}

// Integer and handle results come from the low 32 bits of slot 0 only.
TEST_F(HostApiTest, IntegerResultsIgnoreTheHighHalfOfTheSlot) {
  struct Row {
    const char* name;
    std::function<int64_t()> call;
    uint64_t slot0;
    int64_t expected;
  };
  const Vector3 p(kX, kY, kZ);
  const std::vector<Row> rows = {
      {"GetClockHours", [] { return host::GetClockHours(); }, 0xDEADBEEF0000000D, 13},
      {"RandomIntInRange", [] { return host::RandomIntInRange(0, 4); }, 0x12345678FFFFFFFF, -1},
      {"PlayerPedId", [] { return host::PlayerPedId(); }, 0xFFFFFFFF00000015, 21},
      {"HashKey", [] { return host::HashKey(kText); }, 0xFFFFFFFF9CB1A162, 0x9CB1A162},
      {"AddBlipForCoords",
       [] { return host::AddBlipForCoords(host::kMarkerBlipStyle, kX, kY, kZ); },
       0x0000000100000202, 0x202},
      {"AddBlipForEntity", [] { return host::AddBlipForEntity(1, 2); }, 0x8000000000000303, 0x303},
      {"GetBlipFromEntity", [] { return host::GetBlipFromEntity(2); }, 0xABCD000000000404, 0x404},
      {"CreatePed", [&] { return host::CreatePed(0x3F094007, p, 0.0f); }, 0x7FFFFFFF00000505,
       0x505},
      {"CreateObject", [&] { return host::CreateObject(0xFC40AF1B, p); }, 0x0000FFFF00000606,
       0x606},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHook::Get().Reset();
    FakeHook::Get().responder = [&row](uint64_t, const std::vector<uint64_t>&) {
      return fake::Answer(row.slot0);
    };
    EXPECT_EQ(row.call(), row.expected);
  }
}

// A boolean is any non-zero low half; the high half never counts.
TEST_F(HostApiTest, BooleanResultsTestTheWholeLowHalfOnly) {
  struct Query {
    const char* name;
    std::function<bool()> call;
  };
  const std::vector<Query> queries = {
      {"IsActivitySuppressed", [] { return host::IsActivitySuppressed(); }},
      {"DoesEntityExist", [] { return host::DoesEntityExist(1); }},
      {"IsEntityDead", [] { return host::IsEntityDead(1); }},
      {"HasModelLoaded", [] { return host::HasModelLoaded(1); }},
      {"DoesBlipExist", [] { return host::DoesBlipExist(1); }},
      {"IsAnySpeechPlaying", [] { return host::IsAnySpeechPlaying(1); }},
  };
  struct Answer {
    uint64_t slot0;
    bool expected;
  };
  const Answer answers[] = {
      {0, false},         {0xFFFFFFFF00000000, false},
      {1, true},          {0x100, true},  // set bits above the low byte still mean true
      {0x80000000, true}, {0xABCDEF0000000001, true},
  };
  for (const Query& query : queries) {
    for (const Answer& answer : answers) {
      char slot[24];
      std::snprintf(slot, sizeof slot, "%#018llx", static_cast<unsigned long long>(answer.slot0));
      SCOPED_TRACE(std::string(query.name) + " answering " + slot);
      FakeHook::Get().Reset();
      FakeHook::Get().responder = [&answer](uint64_t, const std::vector<uint64_t>&) {
        return fake::Answer(answer.slot0);
      };
      EXPECT_EQ(query.call(), answer.expected);
    }
  }
}

TEST_F(HostApiTest, FloatVectorAndStringResultsDecodeTheirSlots) {
  FakeHook::Get().responder = [](uint64_t hash, const std::vector<uint64_t>&) -> fake::Result {
    switch (hash) {
      case op_hash::kDistanceBetweenCoords:  // DistanceBetweenCoords: 12.5 under a garbage high
                                             // half
        return {0xFFFFFFFF41480000, 0x3F800000, 0x3F800000};
      case op_hash::kGetEntityCoords:  // GetEntityCoords
        return {0xAAAAAAAA00000000 | kXBits, 0xBBBBBBBB00000000 | kYBits,
                0xCCCCCCCC00000000 | kZBits};
      case op_hash::kCreateVarString:  // CreateVarString
        return fake::Answer(0x1234567890ABCDEF);
      default:
        return {};
    }
  };

  EXPECT_EQ(host::DistanceBetweenCoords(Vector3(), Vector3()), 12.5f);

  const Vector3 coords = host::GetEntityCoords(1);
  EXPECT_EQ(coords.x, kX);
  EXPECT_EQ(coords.y, kY);
  EXPECT_EQ(coords.z, kZ);

  EXPECT_EQ(host::CreateVarString(10, kFormat, kText), 0x1234567890ABCDEFu);
}

// The plug-in keeps its own copy of the operation hashes, so that it depends
// on nothing; it must agree with the platform's table, name for name.
TEST(HostTableTest, OperationHashesMatchThePlatformsTable) {
#define HOMESTEAD_OPERATION(name, hash, result, args, argNames, cadence) \
  EXPECT_EQ(host::op::k##name, uint64_t{hash}) << #name;
#include "platform/operations.def"
#undef HOMESTEAD_OPERATION
}

TEST(HostLayoutTest, Vector3KeepsEachComponentInTheLowHalfOfItsOwnSlot) {
  const Vector3 v(kX, kY, kZ);
  uint64_t slots[3];
  static_assert(sizeof slots == sizeof v);
  std::memcpy(slots, &v, sizeof v);
  EXPECT_EQ(slots[0], kXBits);
  EXPECT_EQ(slots[1], kYBits);
  EXPECT_EQ(slots[2], kZBits);

  const Vector3 zero;
  std::memcpy(slots, &zero, sizeof zero);
  EXPECT_EQ(slots[0] | slots[1] | slots[2], 0u);
}

TEST(HostLayoutTest, SpeechParamsFieldsEachOccupyTheirOwnSlotInOrder) {
  EXPECT_EQ(offsetof(host::SpeechParams, lineName), 0u);
  EXPECT_EQ(offsetof(host::SpeechParams, auxName), 8u);
  EXPECT_EQ(offsetof(host::SpeechParams, variation), 16u);
  EXPECT_EQ(offsetof(host::SpeechParams, paramsHash), 24u);
  EXPECT_EQ(offsetof(host::SpeechParams, flags[0]), 32u);
  EXPECT_EQ(offsetof(host::SpeechParams, flags[1]), 40u);
  EXPECT_EQ(offsetof(host::SpeechParams, flags[2]), 48u);
  EXPECT_EQ(offsetof(host::SpeechParams, flags[3]), 56u);
}

// The block is filled by the argument encoder: a negative variation and a
// hash with its high bit set must both arrive zero-extended.
TEST(HostLayoutTest, MakeSpeechParamsEncodesEverySlotAsAnArgument) {
  const host::SpeechParams params = host::MakeSpeechParams(kText, -2, 0x80000001);
  uint64_t slots[8];
  static_assert(sizeof slots == sizeof params);
  std::memcpy(slots, &params, sizeof params);
  EXPECT_EQ(slots[0], Address(kText));
  ASSERT_NE(slots[1], 0u);
  EXPECT_EQ(fake::Text(slots[1]), "");
  EXPECT_EQ(slots[2], 0xFFFFFFFEu);
  EXPECT_EQ(slots[3], 0x80000001u);
  EXPECT_EQ(slots[4], 0u);
  EXPECT_EQ(slots[5], 1u);
  EXPECT_EQ(slots[6], 1u);
  EXPECT_EQ(slots[7], 1u);
}

}  // namespace
}  // namespace homestead
