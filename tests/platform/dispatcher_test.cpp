// The dispatcher as a plug-in meets it: slots pushed through the script-hook
// functions, decoded by the operation table, answered by the world.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/operations.h"
#include "platform/script_hook.h"

namespace platform {
namespace {

uint64_t F(float f) {
  return std::bit_cast<uint32_t>(f);
}
uint64_t I(int32_t v) {
  return static_cast<uint32_t>(v);
}
uint64_t P(const void* p) {
  return reinterpret_cast<uintptr_t>(p);
}
float AsFloat(uint64_t slot) {
  return std::bit_cast<float>(static_cast<uint32_t>(slot));
}

std::array<uint64_t, 3> Call(uint64_t hash, std::initializer_list<uint64_t> args) {
  nativeInit(hash);
  for (uint64_t a : args) nativePush64(a);
  const uint64_t* r = nativeCall();
  return {r[0], r[1], r[2]};
}

class DispatcherTest : public ::testing::Test {
 protected:
  bool ErrorMentions(const std::string& what) const {
    for (const std::string& e : host.errors()) {
      if (e.find(what) != std::string::npos) return true;
    }
    return false;
  }
  Host host;
};

TEST_F(DispatcherTest, EveryTableEntryIsFoundByItsHash) {
  ASSERT_EQ(Operations().size(), 46u);
  for (const Operation& op : Operations()) {
    SCOPED_TRACE(std::string(op.name));
    EXPECT_EQ(FindOperation(op.hash), &op);
    // A near miss probes through the slots of real entries and still fails.
    EXPECT_EQ(FindOperation(op.hash ^ 1), nullptr);
  }
  EXPECT_EQ(FindOperation(0x0123456789ABCDEF), nullptr);
}

TEST_F(DispatcherTest, ArgumentsAreDecodedByKind) {
  const char* sprite = "blip_robbery_home";
  const auto hash = Call(op_hash::kHashKey, {P(sprite)});
  EXPECT_EQ(hash[0], TextHash("blip_robbery_home"));

  const auto blip =
      Call(op_hash::kAddBlipForCoords, {1664425300, F(2626.33f), F(1695.275f), F(-115.5f)});
  const int32_t handle = static_cast<int32_t>(blip[0]);
  Call(op_hash::kSetBlipScale, {I(handle), F(0.6f)});
  const Blip& b = host.world().blips().at(handle);
  EXPECT_EQ(b.style, 1664425300u);
  EXPECT_EQ(b.coords.x, 2626.33f);
  EXPECT_EQ(b.coords.y, 1695.275f);
  EXPECT_EQ(b.coords.z, -115.5f);
  EXPECT_EQ(b.scale, 0.6f);

  // Negative integers arrive zero-extended; floats by bit pattern.
  host.world().ScriptRandom({-7});
  EXPECT_EQ(Call(op_hash::kRandomIntInRange, {I(-10), I(-5)})[0], 0xFFFFFFF9u);
  const auto distance =
      Call(op_hash::kDistanceBetweenCoords, {F(0), F(0), F(0), F(3), F(4), F(12), I(1)});
  EXPECT_EQ(AsFloat(distance[0]), 13.0f);
  EXPECT_EQ(distance[0] >> 32, 0u);
  EXPECT_TRUE(host.errors().empty());
}

TEST_F(DispatcherTest, AVectorFillsThreeSlotsEachInItsLowHalf) {
  host.world().SetPlayerPosition({1.5f, -2.25f, 100.0f});
  const auto coords = Call(op_hash::kGetEntityCoords, {I(World::kPlayerHandle), I(1), I(0)});
  EXPECT_EQ(coords[0], F(1.5f));
  EXPECT_EQ(coords[1], F(-2.25f));
  EXPECT_EQ(coords[2], F(100.0f));
}

TEST_F(DispatcherTest, AStringHandleTravelsWholeAndACutOneIsAnError) {
  const int32_t blip =
      static_cast<int32_t>(Call(op_hash::kAddBlipForCoords, {1, F(0), F(0), F(0)})[0]);
  const uint64_t name =
      Call(op_hash::kCreateVarString, {I(10), P("LITERAL_STRING"), P("Galdervine")})[0];
  EXPECT_GT(name, 0xFFFFFFFFu) << "the handle must need all 64 bits";
  Call(op_hash::kSetBlipName, {I(blip), name});
  EXPECT_EQ(host.world().blips().at(blip).label, "Galdervine");
  EXPECT_TRUE(host.errors().empty());

  Call(op_hash::kSetBlipName, {I(blip), name & 0xFFFFFFFF});
  EXPECT_TRUE(ErrorMentions("SetBlipName (0x9CB1A1623062F402)"));
  EXPECT_EQ(host.world().blips().at(blip).label, "Galdervine");
}

TEST_F(DispatcherTest, RefusedCallsNameTheHashAnswerZerosAndReachNothing) {
  const char* text = "x";
  struct Case {
    const char* what;
    uint64_t hash;
    std::vector<uint64_t> args;
    const char* error;
  };
  const Case cases[] = {
      {"unknown hash", 0x0123456789ABCDEF, {1, 2}, "unknown operation 0x0123456789ABCDEF"},
      {"too few arguments",
       op_hash::kAddBlipForCoords,
       {1, F(0), F(0)},
       "AddBlipForCoords (0x554D9D53F696D002): expected 4 arguments, got 3"},
      {"too many arguments",
       op_hash::kHashKey,
       {P(text), 0},
       "HashKey (0xFD340785ADF8CFB7): expected 1"},
      {"null text", op_hash::kHashKey, {0}, "argument 1 (text) is a null address"},
      {"null handle address",
       op_hash::kRemoveBlip,
       {0},
       "RemoveBlip (0xF2C3C9DA47AAA54A): argument 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Host local;
    std::size_t observed = 0;
    bool refused = false;
    local.SetObserver([&](const CallRecord& call) {
      ++observed;
      refused = call.refused;
      EXPECT_EQ(call.hash, c.hash);
    });
    nativeInit(c.hash);
    for (uint64_t a : c.args) nativePush64(a);
    const uint64_t* r = nativeCall();
    EXPECT_EQ(r[0] | r[1] | r[2], 0u);
    ASSERT_EQ(local.errors().size(), 1u);
    EXPECT_NE(local.errors()[0].find(c.error), std::string::npos) << local.errors()[0];
    EXPECT_TRUE(local.world().events().empty());
    EXPECT_EQ(observed, 1u);
    EXPECT_TRUE(refused);
  }
}

TEST_F(DispatcherTest, ANonZeroHighHalfIsReportedButTheCallGoesAhead) {
  Call(op_hash::kAddBlipForCoords, {1, F(5.0f) | (uint64_t{1} << 32), F(0), F(0)});
  ASSERT_EQ(host.errors().size(), 1u);
  EXPECT_NE(host.errors()[0].find("argument 2 (float) has a non-zero high half"),
            std::string::npos);
  ASSERT_EQ(host.world().blips().size(), 1u);
  EXPECT_EQ(host.world().blips().begin()->second.coords.x, 5.0f);
}

TEST_F(DispatcherTest, HandleAndOutAddressesAreWrittenThrough) {
  int32_t blip = static_cast<int32_t>(Call(op_hash::kAddBlipForCoords, {1, F(0), F(0), F(0)})[0]);
  Call(op_hash::kRemoveBlip, {P(&blip)});
  EXPECT_EQ(blip, 0);
  EXPECT_TRUE(host.world().blips().empty());

  uint32_t weapon = 0xDEADBEEF;
  const auto has =
      Call(op_hash::kGetCurrentPedWeapon, {I(World::kPlayerHandle), P(&weapon), 1, 0, 0});
  EXPECT_EQ(weapon, 0u);  // unarmed
  EXPECT_EQ(has[0], 0u);
}

TEST_F(DispatcherTest, TheSpeechBlockIsReadThroughItsAddress) {
  const char* line = "HANDS_UP";
  const char* empty = "";
  std::array<uint64_t, 8> block = {
      P(line), P(empty), 2, TextHash("SPEECH_PARAMS_BEAT_SPOKEN_CLEAR"), 0, 1, 1, 1};
  const auto started =
      Call(op_hash::kPlayAmbientSpeech, {I(World::kPlayerHandle), P(block.data())});
  EXPECT_EQ(started[0], 1u);
  ASSERT_EQ(host.world().speech().size(), 1u);
  EXPECT_EQ(host.world().speech()[0].line, "HANDS_UP");
  EXPECT_EQ(host.world().speech()[0].variation, 2);
  EXPECT_EQ(host.world().speech()[0].paramsHash, TextHash("SPEECH_PARAMS_BEAT_SPOKEN_CLEAR"));
  EXPECT_TRUE(host.errors().empty());

  // A wrong trailing value is reported, but the line is still said.
  block[5] = 0;
  Call(op_hash::kPlayAmbientSpeech, {I(World::kPlayerHandle), P(block.data())});
  EXPECT_EQ(host.world().speech().size(), 2u);
  ASSERT_EQ(host.errors().size(), 1u);
  EXPECT_NE(host.errors()[0].find("does not end in the values 0, 1, 1, 1"), std::string::npos);

  block[1] = 0;  // the aux name must be an empty text, never null
  Call(op_hash::kPlayAmbientSpeech, {I(World::kPlayerHandle), P(block.data())});
  EXPECT_EQ(host.world().speech().size(), 2u);
  ASSERT_EQ(host.errors().size(), 2u);
  EXPECT_NE(host.errors()[1].find("null line or aux name"), std::string::npos);
}

TEST_F(DispatcherTest, TheObserverSeesDecodedArgumentsAndTheResult) {
  std::vector<std::string> seen;
  host.SetObserver([&](const CallRecord& call) {
    ASSERT_NE(call.op, nullptr);
    std::string line(call.op->name);
    line += " frame ";
    line += std::to_string(call.frame);
    for (const DecodedArg& a : call.args()) {
      line += ' ';
      line += ArgKindName(a.kind);
      // A handle passed by address as it was before the call, a written
      // value as the call left it.
      if (a.kind == ArgKind::kHandleRef) line += "=" + std::to_string(a.i);
      if (a.kind == ArgKind::kOutUint32) line += "=" + std::to_string(a.u);
    }
    line += " -> ";
    line += std::to_string(call.result->slots[0]);
    seen.push_back(line);
    if (call.op->id == OpId::kHashKey) {
      EXPECT_EQ(call.args()[0].text, "abc");
    }
  });
  host.BeginFrame();
  Call(op_hash::kHashKey, {P("abc")});
  host.world().ScriptRandom({4});
  Call(op_hash::kRandomIntInRange, {I(0), I(8)});
  int32_t blip = static_cast<int32_t>(Call(op_hash::kAddBlipForCoords, {1, F(0), F(0), F(0)})[0]);
  Call(op_hash::kRemoveBlip, {P(&blip)});
  uint32_t weapon = 0;
  host.world().GiveWeaponToPed(World::kPlayerHandle, 77);
  host.world().SetCurrentPedWeapon(World::kPlayerHandle, 77);
  Call(op_hash::kGetCurrentPedWeapon, {I(World::kPlayerHandle), P(&weapon), 1, 0, 0});
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "HashKey frame 1 text -> " + std::to_string(TextHash("abc")),
                      "RandomIntInRange frame 1 int32 int32 -> 4",
                      "AddBlipForCoords frame 1 uint32 float float float -> 1",
                      "RemoveBlip frame 1 handle address=1 -> 0",
                      "GetCurrentPedWeapon frame 1 int32 out address=77 bool int32 bool -> 1",
                  }));
}

}  // namespace
}  // namespace platform
