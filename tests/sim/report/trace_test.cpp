#include "sim/report/trace.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "sim/report/json.h"

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

template <typename T>
std::string ToChars(T value) {
  char buffer[64];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

TEST(TraceTest, NumbersAndTextsAreWrittenAsToCharsAndJsonHaveThem) {
  const int64_t ints[] = {0,
                          9,
                          10,
                          99,
                          100,
                          -1,
                          -10,
                          1234567,
                          std::numeric_limits<int32_t>::min(),
                          std::numeric_limits<int64_t>::min(),
                          std::numeric_limits<int64_t>::max()};
  for (int64_t value : ints) {
    SCOPED_TRACE(value);
    JsonText out;
    out.AppendInt(value);
    EXPECT_EQ(out.view(), ToChars(value));
    out.clear();
    out.AppendUint(static_cast<uint64_t>(value));
    EXPECT_EQ(out.view(), ToChars(static_cast<uint64_t>(value)));
  }
  // Microseconds written as milliseconds: round numbers take the exponent
  // form where it is shorter (100 s is "1e+05").
  std::mt19937_64 random(7);
  std::vector<int64_t> times = {0,
                                1,
                                10,
                                999,
                                1000,
                                1001,
                                16667,
                                33333,
                                99'999'999,
                                100'000'000,
                                120'000'000,
                                200'000'000,
                                1'000'000'000,
                                -1,
                                -1500,
                                (int64_t{1} << 40) - 1,
                                int64_t{1} << 40,
                                int64_t{1} << 53};
  for (int i = 0; i < 2000; ++i) times.push_back(static_cast<int64_t>(random() >> (20 + i % 40)));
  for (int i = 1; i < 200; ++i) times.push_back(i * 1'000'000);
  for (int64_t value : times) {
    SCOPED_TRACE(value);
    JsonText out;
    out.AppendThousandths(value);
    EXPECT_EQ(out.view(), ToChars(static_cast<double>(value) / 1000.0));
  }
  const std::pair<std::string_view, std::string_view> texts[] = {
      {"plain", R"("plain")"},
      {"tab\t\x01\x7f", R"("tab\t\u0001\u007f")"},
      {"caf\xc3\xa9 \xc3", "\"caf\xc3\xa9 \\ufffd\""},
      {"\"q\"\\", R"("\"q\"\\")"},
  };
  for (const auto& [text, json] : texts) {
    SCOPED_TRACE(json);
    JsonText out;
    out.AppendString(text);
    EXPECT_EQ(out.view(), json);
  }
  // Copies of bytes already written, long and short, the first one making
  // the text move to larger storage.
  JsonText copies;
  copies.Append(std::string(250, '.') + "0123456789abcdefghij");
  copies.AppendCopy(250, 270);
  copies.AppendCopy(252, 255);
  EXPECT_EQ(copies.view().substr(270), "0123456789abcdefghij234");
}

TEST(TraceTest, FloatTextsAreToCharsTextsWhetherRememberedOrNot) {
  std::vector<uint32_t> patterns = {0x00000000,
                                    0x80000000,
                                    0x00000001,
                                    0x807FFFFF,
                                    0x00800000,
                                    0x7F7FFFFF,
                                    0xFF7FFFFF,
                                    std::bit_cast<uint32_t>(1.0f),
                                    std::bit_cast<uint32_t>(-1.0f),
                                    std::bit_cast<uint32_t>(100000.0f),
                                    std::bit_cast<uint32_t>(16777216.0f),
                                    std::bit_cast<uint32_t>(1e7f),
                                    std::bit_cast<uint32_t>(0.1f),
                                    std::bit_cast<uint32_t>(2626.33f),
                                    std::bit_cast<uint32_t>(-331.853f),
                                    std::bit_cast<uint32_t>(1.17549435e-38f),
                                    std::bit_cast<uint32_t>(-1.23456789e-30f),
                                    0x7F800000,
                                    0xFF800000,
                                    0x7FC00000,
                                    0xFFFFFFFF};
  std::mt19937 random(11);
  for (int i = 0; i < 20000; ++i) patterns.push_back(static_cast<uint32_t>(random()));
  // Every other value is written twice: once told, once remembered, with
  // the table full of other values in between.
  FloatTexts floats;
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t k = pass; k < patterns.size(); k += 1 + pass) {
      const float value = std::bit_cast<float>(patterns[k]);
      SCOPED_TRACE(testing::Message() << std::hex << patterns[k]);
      JsonText out;
      out.Append('[');
      floats.Append(out, value);
      const std::string expected = std::isfinite(value) ? ToChars(value) : "null";
      EXPECT_EQ(out.view(), "[" + expected);
    }
  }
}

TEST(TraceTest, RepeatedCallsGiveTheLinesAFreshFormatterGives) {
  // Host-made records, whose arguments are the decoding of their slots: a
  // few argument lists (0 and -0 among them) with many results, over and
  // over, so that lines that differ in one part share places in the table.
  const std::array<std::array<float, 6>, 3> coords = {{
      {2626.33f, 1545.275f, 115.693f, 2626.33f, 1695.275f, 115.693f},
      {0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f},
      {-0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f},
  }};
  TraceLineFormatter formatter;
  for (int k = 0; k < 600; ++k) {
    const std::array<float, 6>& at = coords[k % coords.size()];
    std::vector<uint64_t> raw;
    std::vector<DecodedArg> args;
    for (float coord : at) {
      raw.push_back(std::bit_cast<uint32_t>(coord));
      DecodedArg arg;
      arg.kind = ArgKind::kFloat;
      arg.f = coord;
      arg.raw = raw.back();
      args.push_back(arg);
    }
    raw.push_back(1);
    args.push_back(Bool(true));
    platform::CallResult result;
    result.slots[0] = std::bit_cast<uint32_t>(static_cast<float>(k * 7 % 200) / 8.0f);
    platform::CallRecord record = Record(platform::OpId::kDistanceBetweenCoords, args, &result);
    record.frame = k / 4;
    record.timeUs = k / 4 * 16'667;
    record.raw = raw;
    const std::string fresh = FormatTraceLine(record);
    SCOPED_TRACE(fresh);
    JsonText out;
    formatter.Call(out, record, {});
    ASSERT_EQ(out.view(), fresh);
  }
}

}  // namespace
}  // namespace sim
