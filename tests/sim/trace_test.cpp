#include "sim/trace.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <string>
#include <vector>

namespace sim {
namespace {

using platform::ArgKind;
using platform::DecodedArg;

DecodedArg Int(int32_t i) {
  DecodedArg a;
  a.kind = ArgKind::kInt32;
  a.i = i;
  return a;
}
DecodedArg Text(std::string_view text) {
  DecodedArg a;
  a.kind = ArgKind::kText;
  a.text = text;
  a.raw = 0x7ffd12345678;  // an address; it must never reach the trace
  return a;
}
DecodedArg Bool(bool b) {
  DecodedArg a;
  a.kind = ArgKind::kBool;
  a.i = b ? 1 : 0;
  return a;
}

struct Call {
  uint64_t hash;
  std::vector<DecodedArg> args;
  std::array<uint64_t, 3> result;
  const char* line;
};

TEST(TraceTest, WritesDecodedArgumentsAndResultsWithoutAddresses) {
  DecodedArg ref;
  ref.kind = ArgKind::kHandleRef;
  ref.i = 5;
  ref.raw = 0x7ffd00001111;
  DecodedArg speech;
  speech.kind = ArgKind::kSpeechParams;
  speech.text = "HANDS_UP";
  speech.aux = "";
  speech.i = 2;
  speech.u = 77;
  speech.flags = {0, 1, 1, 1};
  DecodedArg out;
  out.kind = ArgKind::kOutUint32;
  out.u = 1234;
  const uint64_t half = std::bit_cast<uint32_t>(0.5f);

  const Call calls[] = {
      {0xFA925AC00EB830B9,
       {Int(10), Text("LITERAL_STRING"), Text("say \"hi\"\n\xff")},
       {0x5354520000000001, 0, 0},
       R"({"frame":3,"time_ms":33.333,"op":"CreateVarString","hash":"0xFA925AC00EB830B9",)"
       R"("args":[10,"LITERAL_STRING","say \"hi\"\n\ufffd"],"result":"0x5354520000000001"})"},
      {0xF2C3C9DA47AAA54A,
       {ref},
       {0, 0, 0},
       R"({"frame":3,"time_ms":33.333,"op":"RemoveBlip","hash":"0xF2C3C9DA47AAA54A",)"
       R"("args":[{"ref":5}],"result":null})"},
      {0x8E04FEDD28D42462,
       {Int(100), speech},
       {1, 0, 0},
       R"({"frame":3,"time_ms":33.333,"op":"PlayAmbientSpeech","hash":"0x8E04FEDD28D42462",)"
       R"("args":[100,{"line":"HANDS_UP","aux":"","variation":2,"params":77,"flags":[0,1,1,1]}],)"
       R"("result":true})"},
      {0x3A87E44BB9A01D54,
       {Int(101), out, Bool(true), Int(0), Bool(false)},
       {1, 0, 0},
       R"({"frame":3,"time_ms":33.333,"op":"GetCurrentPedWeapon","hash":"0x3A87E44BB9A01D54",)"
       R"("args":[101,{"out":1234},true,0,false],"result":true})"},
      {0xA86D5F069399F44D,
       {Int(100), Bool(true), Bool(false)},
       {half, half, 0},
       R"({"frame":3,"time_ms":33.333,"op":"GetEntityCoords","hash":"0xA86D5F069399F44D",)"
       R"("args":[100,true,false],"result":[0.5,0.5,0]})"},
  };
  for (const Call& call : calls) {
    SCOPED_TRACE(call.line);
    const platform::Operation* op = platform::FindOperation(call.hash);
    ASSERT_NE(op, nullptr);
    platform::CallResult result;
    result.slots = call.result;
    const std::vector<uint64_t> raw(call.args.size(), 0);
    platform::CallRecord record;
    record.frame = 3;
    record.timeUs = 33'333;
    record.op = op;
    record.hash = call.hash;
    record.raw = raw;
    record.args = call.args;
    record.result = &result;
    EXPECT_EQ(FormatTraceLine(record), std::string(call.line) + "\n");
  }
}

TEST(TraceTest, ARefusedCallShowsOnlyHowManySlotsWerePushed) {
  const std::vector<uint64_t> raw = {1, 2};
  platform::CallRecord record;
  record.frame = 1;
  record.hash = 0x0123456789ABCDEF;
  record.raw = raw;
  record.refused = true;
  EXPECT_EQ(FormatTraceLine(record),
            R"({"frame":1,"time_ms":0,"op":null,"hash":"0x0123456789ABCDEF","refused":true,)"
            R"("pushed":2})"
            "\n");
}

}  // namespace
}  // namespace sim
