#include "sim/trace.h"

#include <bit>
#include <cstdio>
#include <fstream>

#include "platform/format.h"
#include "sim/json.h"

#ifndef HOMESTEAD_VERSION
#define HOMESTEAD_VERSION "unknown"
#endif

namespace sim {
namespace {

using platform::ArgKind;
using platform::OpId;
using platform::ResultKind;

// The names of each operation's arguments in push order, comma-separated; an
// empty name is an argument whose meaning lies with the host alone, written
// only in "args".
constexpr std::array<std::string_view, platform::kOperationCount> kArgNames = {{
#define HOMESTEAD_OPERATION(name, hash, result, args, argNames) argNames,
#include "platform/operations.def"
#undef HOMESTEAD_OPERATION
}};

// The name of argument `index` of `id`, or "" when it has none.
std::string_view ArgName(OpId id, std::size_t index) {
  std::string_view names = kArgNames[static_cast<std::size_t>(id)];
  for (std::size_t i = 0; i < index; ++i) {
    const std::size_t comma = names.find(',');
    if (comma == names.npos) return "";
    names.remove_prefix(comma + 1);
  }
  return names.substr(0, names.find(','));
}

constexpr std::array<OpId, 11> kPolling = {{
    OpId::kIsActivitySuppressed,
    OpId::kGetClockHours,
    OpId::kPlayerPedId,
    OpId::kGetEntityCoords,
    OpId::kDistanceBetweenCoords,
    OpId::kHasModelLoaded,
    OpId::kDoesEntityExist,
    OpId::kIsAnySpeechPlaying,
    OpId::kIsEntityDead,
    OpId::kGetBlipFromEntity,
    OpId::kDoesBlipExist,
}};
constexpr std::string_view kPollingWord = "polling";

void AppendArg(std::string& out, const platform::DecodedArg& arg) {
  switch (arg.kind) {
    case ArgKind::kInt32:
      AppendJsonInt(out, arg.i);
      return;
    case ArgKind::kBool:
      out += arg.i != 0 ? "true" : "false";
      return;
    case ArgKind::kUint32:
      AppendJsonUint(out, arg.u);
      return;
    case ArgKind::kFloat:
      AppendJsonFloat(out, arg.f);
      return;
    case ArgKind::kText:
      AppendJsonString(out, arg.text);
      return;
    case ArgKind::kUint64:
      AppendJsonHash(out, arg.raw);
      return;
    case ArgKind::kHandleRef:
      out += "{\"ref\":";
      AppendJsonInt(out, arg.i);
      out += "}";
      return;
    case ArgKind::kOutUint32:
      out += "{\"out\":";
      AppendJsonUint(out, arg.u);
      out += "}";
      return;
    case ArgKind::kSpeechParams:
      out += "{\"line\":";
      AppendJsonString(out, arg.text);
      out += ",\"aux\":";
      AppendJsonString(out, arg.aux);
      out += ",\"variation\":";
      AppendJsonInt(out, arg.i);
      out += ",\"params\":";
      AppendJsonUint(out, arg.u);
      out += ",\"flags\":[";
      for (std::size_t k = 0; k < arg.flags.size(); ++k) {
        if (k > 0) out += ",";
        AppendJsonUint(out, arg.flags[k]);
      }
      out += "]}";
      return;
  }
}

void AppendResult(std::string& out, ResultKind kind, const platform::CallResult& result) {
  const auto low = static_cast<uint32_t>(result.slots[0]);
  switch (kind) {
    case ResultKind::kNone:
      out += "null";
      return;
    case ResultKind::kInt32:
      AppendJsonInt(out, static_cast<int32_t>(low));
      return;
    case ResultKind::kUint32:
      AppendJsonUint(out, low);
      return;
    case ResultKind::kBool:
      out += low != 0 ? "true" : "false";
      return;
    case ResultKind::kFloat:
      AppendJsonFloat(out, std::bit_cast<float>(low));
      return;
    case ResultKind::kUint64:
      AppendJsonHash(out, result.slots[0]);
      return;
    case ResultKind::kVector3:
      out += "[";
      for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0) out += ",";
        AppendJsonFloat(out, std::bit_cast<float>(static_cast<uint32_t>(result.slots[i])));
      }
      out += "]";
      return;
  }
}

// The argument in "named": as in "args", but with a hash or string handle
// the run has a text for as that text, and handles and written-back values
// as plain numbers.
void AppendNamedArg(std::string& out, const platform::DecodedArg& arg, const TraceNames& names) {
  switch (arg.kind) {
    case ArgKind::kUint32:
    case ArgKind::kOutUint32:
      if (names.hashName) {
        if (const auto name = names.hashName(arg.u)) {
          AppendJsonString(out, *name);
          return;
        }
      }
      AppendJsonUint(out, arg.u);
      return;
    case ArgKind::kUint64:
      if (const auto it = names.strings.find(arg.raw); it != names.strings.end()) {
        AppendJsonString(out, it->second);
        return;
      }
      break;
    case ArgKind::kHandleRef:
      AppendJsonInt(out, arg.i);
      return;
    default:
      break;
  }
  AppendArg(out, arg);
}

void AppendCommon(std::string& out, int64_t frame, int64_t timeUs) {
  out += "{\"frame\":";
  AppendJsonInt(out, frame);
  out += ",\"time_ms\":";
  AppendJsonDouble(out, static_cast<double>(timeUs) / 1000.0);
}

}  // namespace

std::string FormatTraceLine(const platform::CallRecord& call, const TraceNames& names) {
  std::string out;
  AppendCommon(out, call.frame, call.timeUs);
  out += ",\"op\":";
  if (call.op != nullptr) {
    AppendJsonString(out, call.op->name);
  } else {
    out += "null";
  }
  out += ",\"hash\":";
  AppendJsonHash(out, call.hash);
  if (call.refused || call.op == nullptr) {
    out += ",\"refused\":true,\"pushed\":";
    AppendJsonUint(out, call.raw.size());
    out += "}\n";
    return out;
  }
  out += ",\"args\":[";
  for (std::size_t i = 0; i < call.args().size(); ++i) {
    if (i > 0) out += ",";
    AppendArg(out, call.args()[i]);
  }
  out += "]";
  bool anyNamed = false;
  for (std::size_t i = 0; i < call.args().size(); ++i) {
    const std::string_view name = ArgName(call.op->id, i);
    if (name.empty()) continue;
    out += anyNamed ? "," : ",\"named\":{";
    anyNamed = true;
    AppendJsonString(out, name);
    out += ":";
    AppendNamedArg(out, call.args()[i], names);
  }
  if (anyNamed) out += "}";
  out += ",\"result\":";
  if (call.result != nullptr) {
    AppendResult(out, call.op->result, *call.result);
  } else {
    out += "null";
  }
  out += "}\n";
  return out;
}

std::string FormatMilestoneLine(const MilestoneRecord& record) {
  std::string out;
  AppendCommon(out, record.frame, record.timeUs);
  out += ",\"milestone\":";
  AppendJsonString(out, MilestoneName(record.milestone));
  out += ",\"homestead\":";
  AppendJsonInt(out, record.homestead);
  out += ",\"clock\":";
  AppendJsonString(out, platform::ClockText(record.clockMinute));
  out += "}\n";
  return out;
}

std::size_t ArgNameSlots(OpId id) {
  const std::string_view names = kArgNames[static_cast<std::size_t>(id)];
  if (names.empty()) return 0;
  std::size_t slots = 1;
  for (char c : names) slots += c == ',' ? 1 : 0;
  return slots;
}

bool IsPolling(OpId id) {
  for (OpId polled : kPolling) {
    if (polled == id) return true;
  }
  return false;
}

std::variant<TraceFilter, std::string> TraceFilter::Parse(std::string_view list) {
  TraceFilter filter;
  filter.list_ = std::string(list);
  std::array<bool, platform::kOperationCount> kept{};
  std::array<bool, platform::kOperationCount> dropped{};
  bool keepsAny = false;
  for (std::size_t start = 0; start <= list.size();) {
    std::size_t comma = list.find(',', start);
    if (comma == list.npos) comma = list.size();
    std::string_view item = list.substr(start, comma - start);
    start = comma + 1;
    const bool drop = item.starts_with('-');
    if (drop) item.remove_prefix(1);
    std::array<bool, platform::kOperationCount>& mark = drop ? dropped : kept;
    keepsAny = keepsAny || !drop;
    if (item == kPollingWord) {
      for (OpId id : kPolling) mark[static_cast<std::size_t>(id)] = true;
      continue;
    }
    bool found = false;
    for (const platform::Operation& op : platform::Operations()) {
      if (op.name != item) continue;
      mark[static_cast<std::size_t>(op.id)] = true;
      found = true;
    }
    if (found) continue;
    std::string known(kPollingWord);
    for (const platform::Operation& op : platform::Operations())
      known += ", " + std::string(op.name);
    const std::string what =
        item.empty() ? "an empty item" : "unknown operation '" + std::string(item) + "'";
    return "--trace-filter: " + what + " in '" + std::string(list) +
           "'; expected a comma-separated list of names, each kept or dropped with a leading '-', "
           "from: " +
           known;
  }
  for (std::size_t i = 0; i < platform::kOperationCount; ++i) {
    filter.keep_[i] = (keepsAny ? kept[i] : true) && !dropped[i];
  }
  return filter;
}

bool TraceFilter::Keeps(const platform::Operation* op) const {
  return op == nullptr || keep_[static_cast<std::size_t>(op->id)];
}

void IdentifyPlugin(TraceHeader& header) {
  std::ifstream in(header.pluginPath, std::ios::binary);
  if (!in) return;
  // FNV-1a 64: cheap, and enough to tell two builds apart.
  uint64_t hash = 0xcbf29ce484222325ULL;
  uint64_t bytes = 0;
  std::array<char, 1 << 16> buffer;
  while (in) {
    in.read(buffer.data(), buffer.size());
    const auto got = static_cast<std::size_t>(in.gcount());
    for (std::size_t i = 0; i < got; ++i) {
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 0x100000001b3ULL;
    }
    bytes += got;
  }
  if (in.bad()) return;
  header.pluginBytes = bytes;
  header.pluginHash = hash;
}

std::string FormatTraceHeader(const TraceHeader& header) {
  std::string out = "{\"trace\":\"homestead-sim\",\"version\":";
  AppendJsonInt(out, kTraceFormatVersion);
  out += ",\"simulator\":";
  AppendJsonString(out, HOMESTEAD_VERSION);
  out += ",\"scenario\":";
  AppendJsonString(out, header.scenario);
  out += ",\"source\":";
  AppendJsonString(out, header.source);
  out += ",\"seed\":";
  AppendJsonUint(out, header.seed);
  out += ",\"plugin\":";
  AppendJsonString(out, header.pluginPath);
  out += ",\"plugin_build\":";
  if (header.pluginBytes) {
    out += "{\"bytes\":";
    AppendJsonUint(out, *header.pluginBytes);
    out += ",\"fnv1a64\":";
    AppendJsonHash(out, header.pluginHash);
    out += "}";
  } else {
    out += "null";
  }
  out += ",\"filter\":";
  AppendJsonString(out, header.filter);
  out += "}\n";
  return out;
}

TraceWriter::TraceWriter(Sink sink, const platform::World& world, TraceFilter filter)
    : sink_(std::move(sink)), filter_(std::move(filter)) {
  names_.hashName = [&world](uint32_t hash) { return world.NameOfHash(hash); };
}

void TraceWriter::Header(TraceHeader header) {
  header.filter = filter_.list();
  IdentifyPlugin(header);
  sink_(FormatTraceHeader(header));
}

void TraceWriter::Call(const platform::CallRecord& call) {
  // String handles are learned from every call, kept or not, so that a
  // filtered trace still names the blips.
  if (call.op != nullptr && call.op->id == OpId::kCreateVarString && !call.refused &&
      call.result != nullptr && call.result->slots[0] != 0 && call.args().size() == 3) {
    names_.strings[call.result->slots[0]] = std::string(call.args()[2].text);
  }
  if (filter_.Keeps(call.op)) sink_(FormatTraceLine(call, names_));
}

void TraceWriter::Milestones(std::span<const MilestoneRecord> all) {
  for (; milestonesWritten_ < all.size(); ++milestonesWritten_) {
    sink_(FormatMilestoneLine(all[milestonesWritten_]));
  }
}

}  // namespace sim
