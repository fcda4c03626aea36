#include "sim/trace.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <sstream>
#include <string>
#include <variant>
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
       R"("args":[10,"LITERAL_STRING","say \"hi\"\n\ufffd"],"named":{"kind":10,"format":)"
       R"("LITERAL_STRING","text":"say \"hi\"\n\ufffd"},"result":"0x5354520000000001"})"},
      {0xF2C3C9DA47AAA54A,
       {ref},
       {0, 0, 0},
       R"({"frame":3,"time_ms":33.333,"op":"RemoveBlip","hash":"0xF2C3C9DA47AAA54A",)"
       R"("args":[{"ref":5}],"named":{"blip":5},"result":null})"},
      {0x8E04FEDD28D42462,
       {Int(100), speech},
       {1, 0, 0},
       R"({"frame":3,"time_ms":33.333,"op":"PlayAmbientSpeech","hash":"0x8E04FEDD28D42462",)"
       R"("args":[100,{"line":"HANDS_UP","aux":"","variation":2,"params":77,"flags":[0,1,1,1]}],)"
       R"("named":{"ped":100,"speech":{"line":"HANDS_UP","aux":"","variation":2,"params":77,)"
       R"("flags":[0,1,1,1]}},"result":true})"},
      {0x3A87E44BB9A01D54,
       {Int(101), out, Bool(true), Int(0), Bool(false)},
       {1, 0, 0},
       R"({"frame":3,"time_ms":33.333,"op":"GetCurrentPedWeapon","hash":"0x3A87E44BB9A01D54",)"
       R"("args":[101,{"out":1234},true,0,false],"named":{"ped":101,"weapon":1234},"result":true})"},
      {0xA86D5F069399F44D,
       {Int(100), Bool(true), Bool(false)},
       {half, half, 0},
       R"({"frame":3,"time_ms":33.333,"op":"GetEntityCoords","hash":"0xA86D5F069399F44D",)"
       R"("args":[100,true,false],"named":{"entity":100},"result":[0.5,0.5,0]})"},
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
    record.SetArgs(call.args);
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

DecodedArg Uint(uint32_t u) {
  DecodedArg a;
  a.kind = ArgKind::kUint32;
  a.u = u;
  return a;
}
DecodedArg Handle64(uint64_t raw) {
  DecodedArg a;
  a.kind = ArgKind::kUint64;
  a.raw = raw;
  return a;
}

platform::CallRecord Record(platform::OpId id, std::span<const DecodedArg> args,
                            const platform::CallResult* result) {
  platform::CallRecord record;
  record.frame = 7;
  record.timeUs = 100'000;
  record.op = &platform::OperationOf(id);
  record.hash = record.op->hash;
  record.SetArgs(args);
  record.result = result;
  return record;
}

TEST(TraceTest, EveryOperationHasANameSlotPerArgument) {
  // A name list out of step with the table would put names on wrong values.
  for (const platform::Operation& op : platform::Operations()) {
    EXPECT_EQ(ArgNameSlots(op.id), op.argCount) << op.name;
  }
}

TEST(TraceTest, NamedArgumentsSpellHashesAndStringHandlesTheRunKnows) {
  TraceNames names;
  names.hashName = [](uint32_t hash) -> std::optional<std::string_view> {
    if (hash == 77) return "BLIP_MODIFIER_ENEMY_ON_GUARD";
    return std::nullopt;
  };
  names.strings[0x5354520000000003] = "Money Stack";
  const platform::CallResult none;
  const std::vector<DecodedArg> modifier = {Int(3), Uint(77)};
  const std::vector<DecodedArg> unknown = {Int(3), Uint(78)};
  const std::vector<DecodedArg> label = {Int(9), Handle64(0x5354520000000003)};
  EXPECT_NE(
      FormatTraceLine(Record(platform::OpId::kAddBlipModifier, modifier, &none), names)
          .find(R"("args":[3,77],"named":{"blip":3,"modifier":"BLIP_MODIFIER_ENEMY_ON_GUARD"})"),
      std::string::npos);
  EXPECT_NE(FormatTraceLine(Record(platform::OpId::kAddBlipModifier, unknown, &none), names)
                .find(R"("named":{"blip":3,"modifier":78})"),
            std::string::npos);
  EXPECT_NE(FormatTraceLine(Record(platform::OpId::kSetBlipName, label, &none), names)
                .find(R"("args":[9,"0x5354520000000003"],"named":{"blip":9,"name":"Money Stack"})"),
            std::string::npos);
}

TEST(TraceTest, FilterKeepsListedOperationsOrDropsThemAndRejectsUnknownNames) {
  using platform::OpId;
  struct Case {
    const char* list;
    std::vector<OpId> kept;
    std::vector<OpId> dropped;
  };
  const Case cases[] = {
      {"-polling",
       {OpId::kCreatePed, OpId::kRandomIntInRange, OpId::kHashKey},
       {OpId::kIsEntityDead, OpId::kDistanceBetweenCoords, OpId::kPlayerPedId}},
      {"CreatePed,SetBlipName",
       {OpId::kCreatePed, OpId::kSetBlipName},
       {OpId::kIsEntityDead, OpId::kCreateObject}},
      {"polling,-IsEntityDead", {OpId::kGetClockHours}, {OpId::kIsEntityDead, OpId::kCreatePed}},
      {"-CreatePed", {OpId::kIsEntityDead}, {OpId::kCreatePed}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    const auto parsed = TraceFilter::Parse(c.list);
    ASSERT_TRUE(std::holds_alternative<TraceFilter>(parsed));
    const TraceFilter& filter = std::get<TraceFilter>(parsed);
    EXPECT_EQ(filter.list(), c.list);
    for (OpId id : c.kept) EXPECT_TRUE(filter.Keeps(&platform::OperationOf(id)));
    for (OpId id : c.dropped) EXPECT_FALSE(filter.Keeps(&platform::OperationOf(id)));
    EXPECT_TRUE(filter.Keeps(nullptr)) << "a call of an unknown operation is always kept";
  }
  for (const char* bad : {"CreatPed", "-polling,,CreatePed", "createped", ""}) {
    SCOPED_TRACE(bad);
    const auto parsed = TraceFilter::Parse(bad);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
    const std::string& message = std::get<std::string>(parsed);
    EXPECT_NE(message.find("polling, HashKey, AddBlipForCoords"), std::string::npos) << message;
    EXPECT_NE(message.find("TaskFleeFrom"), std::string::npos) << message;
  }
}

TEST(TraceTest, WriterStartsWithTheHeaderAndNamesBlipsWhoseTextWasFilteredOut) {
  const platform::World world;
  std::string out;
  auto filter = TraceFilter::Parse("SetBlipName");
  ASSERT_TRUE(std::holds_alternative<TraceFilter>(filter));
  TraceWriter writer([&out](std::string_view text) { out += text; }, world,
                     std::get<TraceFilter>(filter));
  TraceHeader header;
  header.scenario = "robbery";
  header.source = "built-in:robbery";
  header.seed = 9;
  header.pluginPath = "/no/such/plugin.so";
  writer.Header(header);

  platform::CallResult made;
  made.slots[0] = 0x5354520000000001;
  const std::vector<DecodedArg> text = {Int(10), Text("LITERAL_STRING"), Text("Galdervine")};
  writer.Call(Record(platform::OpId::kCreateVarString, text, &made));
  const platform::CallResult none;
  const std::vector<DecodedArg> label = {Int(1), Handle64(0x5354520000000001)};
  writer.Call(Record(platform::OpId::kSetBlipName, label, &none));
  const std::vector<MilestoneRecord> milestones = {{Milestone::kStartup, 1, 7, 100'000, 14 * 60}};
  writer.Milestones(milestones);
  writer.Milestones(milestones);  // nothing new
  writer.Flush();

  std::istringstream lines(out);
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) got.push_back(line);
  ASSERT_EQ(got.size(), 3u) << out;
  EXPECT_TRUE(got[0].starts_with(R"({"trace":"homestead-sim","version":2,"simulator":")"));
  EXPECT_TRUE(got[0].ends_with(R"(","scenario":"robbery","source":"built-in:robbery","seed":9,)"
                               R"("plugin":"/no/such/plugin.so","plugin_build":null,)"
                               R"("filter":"SetBlipName"})"))
      << got[0];
  EXPECT_NE(got[1].find(R"("named":{"blip":1,"name":"Galdervine"})"), std::string::npos);
  EXPECT_EQ(got[2],
            R"({"frame":7,"time_ms":100,"milestone":"startup","homestead":1,"clock":"14:00"})");
}

}  // namespace
}  // namespace sim
