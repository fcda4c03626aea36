#include "sim/report/trace.h"

#include <algorithm>
#include <bit>
#include <fstream>

#include "platform/format.h"

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
#define HOMESTEAD_OPERATION(name, hash, result, args, argNames, cadence) argNames,
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

constexpr std::size_t LongestArgName() {
  std::size_t longest = 0;
  for (std::string_view names : kArgNames) {
    for (std::size_t start = 0; start <= names.size();) {
      std::size_t comma = names.find(',', start);
      if (comma == names.npos) comma = names.size();
      longest = std::max(longest, comma - start);
      start = comma + 1;
    }
  }
  return longest;
}

constexpr std::string_view kPollingWord = "polling";

// The brackets around a value passed by address, in "args"; "named" has the
// value alone.
constexpr std::string_view kRefOpen = "{\"ref\":";
constexpr std::string_view kOutOpen = "{\"out\":";

}  // namespace

TraceLineFormatter::TraceLineFormatter() {
  // The longest prefix is ,"named":{"name":
  static_assert(LongestArgName() + 13 <= std::tuple_size_v<decltype(OperationText::Prefix::text)>,
                "an argument name too long for its prepared text");
  for (const platform::Operation& op : platform::Operations()) {
    OperationText& text = operations_.emplace_back();
    JsonText head;
    head.Append(",\"op\":");
    head.AppendString(op.name);
    head.Append(",\"hash\":");
    head.AppendHash(op.hash);
    head.Append(",\"args\":[");
    text.head = head.view();
    for (std::size_t i = 0; i < text.named.size(); ++i) {
      const std::string_view name = ArgName(op.id, i);
      if (name.empty()) continue;
      JsonText named;
      named.Append(text.firstNamed < i ? "," : ",\"named\":{");
      named.AppendString(name);
      named.Append(':');
      OperationText::Prefix& prefix = text.named[i];
      prefix.length = named.size();
      std::copy_n(named.view().begin(), prefix.length, prefix.text.begin());
      text.firstNamed = std::min(text.firstNamed, i);
    }
    text.repeatable = op.argCount <= kRepeatArgs;
    for (std::size_t i = 0; i < op.argCount; ++i) {
      const ArgKind kind = op.args[i];
      text.repeatable = text.repeatable && (kind == ArgKind::kInt32 || kind == ArgKind::kBool ||
                                            kind == ArgKind::kFloat);
    }
  }
}

void TraceLineFormatter::Common(JsonText& out, int64_t frame, int64_t timeUs) {
  if (frame != commonFrame_ || timeUs != commonTimeUs_ || common_.size() == 0) {
    common_.clear();
    common_.Append("{\"frame\":");
    common_.AppendInt(frame);
    common_.Append(",\"time_ms\":");
    common_.AppendThousandths(timeUs);
    commonFrame_ = frame;
    commonTimeUs_ = timeUs;
  }
  out.AppendShort(common_);
}

void TraceLineFormatter::Arg(JsonText& out, const platform::DecodedArg& arg) {
  switch (arg.kind) {
    case ArgKind::kInt32:
      out.AppendInt(arg.i);
      return;
    case ArgKind::kBool:
      out.Append(arg.i != 0 ? "true" : "false");
      return;
    case ArgKind::kUint32:
      out.AppendUint(arg.u);
      return;
    case ArgKind::kFloat:
      floats_.Append(out, arg.f);
      return;
    case ArgKind::kText:
      out.AppendString(arg.text);
      return;
    case ArgKind::kUint64:
      out.AppendHash(arg.raw);
      return;
    case ArgKind::kHandleRef:
      out.Append(kRefOpen);
      out.AppendInt(arg.i);
      out.Append('}');
      return;
    case ArgKind::kOutUint32:
      out.Append(kOutOpen);
      out.AppendUint(arg.u);
      out.Append('}');
      return;
    case ArgKind::kSpeechParams:
      out.Append("{\"line\":");
      out.AppendString(arg.text);
      out.Append(",\"aux\":");
      out.AppendString(arg.aux);
      out.Append(",\"variation\":");
      out.AppendInt(arg.i);
      out.Append(",\"params\":");
      out.AppendUint(arg.u);
      out.Append(",\"flags\":[");
      for (std::size_t k = 0; k < arg.flags.size(); ++k) {
        if (k > 0) out.Append(',');
        out.AppendUint(arg.flags[k]);
      }
      out.Append("]}");
      return;
  }
}

void TraceLineFormatter::Result(JsonText& out, ResultKind kind,
                                const platform::CallResult& result) {
  const auto low = static_cast<uint32_t>(result.slots[0]);
  switch (kind) {
    case ResultKind::kNone:
      out.Append("null");
      return;
    case ResultKind::kInt32:
      out.AppendInt(static_cast<int32_t>(low));
      return;
    case ResultKind::kUint32:
      out.AppendUint(low);
      return;
    case ResultKind::kBool:
      out.Append(low != 0 ? "true" : "false");
      return;
    case ResultKind::kFloat:
      floats_.Append(out, std::bit_cast<float>(low));
      return;
    case ResultKind::kUint64:
      out.AppendHash(result.slots[0]);
      return;
    case ResultKind::kVector3:
      out.Append('[');
      for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0) out.Append(',');
        floats_.Append(out, std::bit_cast<float>(static_cast<uint32_t>(result.slots[i])));
      }
      out.Append(']');
      return;
  }
}

void TraceLineFormatter::Call(JsonText& out, const platform::CallRecord& call,
                              const TraceNames& names) {
  Common(out, call.frame, call.timeUs);
  const OperationText* text =
      call.op != nullptr ? &operations_[static_cast<std::size_t>(call.op->id)] : nullptr;
  if (text == nullptr || !text->repeatable || call.refused || call.result == nullptr ||
      call.hash != call.op->hash || call.raw.size() != call.op->argCount) {
    Rest(out, call, names);
    return;
  }
  const std::size_t op = static_cast<std::size_t>(call.op->id);
  const std::span<const uint64_t> slots = call.raw;
  const std::array<uint64_t, 3>& result = call.result->slots;
  // FNV-1a over the words, then Fibonacci hashing to a place in the table.
  uint64_t hash = op;
  for (uint64_t word : slots) hash = (hash ^ word) * 0x100000001B3ULL;
  for (uint64_t word : result) hash = (hash ^ word) * 0x100000001B3ULL;
  if (repeats_.empty()) repeats_.resize(std::size_t{1} << kRepeatBits);
  Repeat& repeat = repeats_[(hash * 0x9E3779B97F4A7C15ULL) >> (64 - kRepeatBits)];
  // The operation gives the number of slots.
  // Word by word: comparing the arrays whole would call memcmp.
  bool same = repeat.filled && repeat.op == op;
  for (std::size_t i = 0; i < result.size(); ++i) same = same && repeat.result[i] == result[i];
  for (std::size_t i = 0; same && i < slots.size(); ++i) same = repeat.slots[i] == slots[i];
  if (same) {
    out.Append(repeat.rest);
    return;
  }
  const std::size_t start = out.size();
  Rest(out, call, names);
  repeat.filled = true;
  repeat.op = op;
  for (std::size_t i = 0; i < slots.size(); ++i) repeat.slots[i] = slots[i];
  repeat.result = result;
  repeat.rest.assign(out.view().substr(start));
}

void TraceLineFormatter::Args(JsonText& out, std::span<const platform::DecodedArg> args,
                              ArgSpans& spans) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) out.Append(',');
    const std::size_t start = out.size();
    Arg(out, args[i]);
    if (i < spans.size()) spans[i] = {start, out.size()};
  }
  out.Append(']');
}

void TraceLineFormatter::Named(JsonText& out, const OperationText& text,
                               std::span<const platform::DecodedArg> args, const ArgSpans& spans,
                               const TraceNames& names) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const OperationText::Prefix& prefix = text.named[i];
    if (prefix.length == 0) continue;
    out.AppendBlock(prefix.text, prefix.length);
    const platform::DecodedArg& arg = args[i];
    const auto [start, end] = spans[i];
    switch (arg.kind) {
      case ArgKind::kUint32:
      case ArgKind::kOutUint32:
        if (names.hashName) {
          if (const auto name = names.hashName(arg.u)) {
            out.AppendString(*name);
            continue;
          }
        }
        if (arg.kind == ArgKind::kOutUint32) {
          out.AppendCopy(start + kOutOpen.size(), end - 1);
          continue;
        }
        break;
      case ArgKind::kUint64:
        if (const auto it = names.strings.find(arg.raw); it != names.strings.end()) {
          out.AppendString(it->second);
          continue;
        }
        break;
      case ArgKind::kHandleRef:
        out.AppendCopy(start + kRefOpen.size(), end - 1);
        continue;
      default:
        break;
    }
    out.AppendCopy(start, end);
  }
}

void TraceLineFormatter::Rest(JsonText& out, const platform::CallRecord& call,
                              const TraceNames& names) {
  const OperationText* text =
      call.op != nullptr ? &operations_[static_cast<std::size_t>(call.op->id)] : nullptr;
  // The prepared head stands for the hash the operation is known by.
  const bool prepared = text != nullptr && call.hash == call.op->hash;
  constexpr std::string_view kArgsOpen = ",\"args\":[";
  if (!prepared) {
    out.Append(",\"op\":");
    if (call.op != nullptr) {
      out.AppendString(call.op->name);
    } else {
      out.Append("null");
    }
    out.Append(",\"hash\":");
    out.AppendHash(call.hash);
  }
  if (call.refused || call.op == nullptr) {
    if (prepared)
      out.Append(std::string_view(text->head).substr(0, text->head.size() - kArgsOpen.size()));
    out.Append(",\"refused\":true,\"pushed\":");
    out.AppendUint(call.raw.size());
    out.Append("}\n");
    return;
  }
  out.Append(prepared ? std::string_view(text->head) : kArgsOpen);

  const std::span<const platform::DecodedArg> args = call.args();
  ArgSpans spans;
  Args(out, args, spans);
  const std::size_t namedCount = std::min(args.size(), text->named.size());
  Named(out, *text, args.first(namedCount), spans, names);
  if (text->firstNamed < namedCount) out.Append('}');
  out.Append(",\"result\":");
  if (call.result != nullptr) {
    Result(out, call.op->result, *call.result);
  } else {
    out.Append("null");
  }
  out.Append("}\n");
}

void TraceLineFormatter::Milestone(JsonText& out, const MilestoneRecord& record) {
  Common(out, record.frame, record.timeUs);
  out.Append(",\"milestone\":");
  out.AppendString(MilestoneName(record.milestone));
  out.Append(",\"homestead\":");
  out.AppendInt(record.homestead);
  out.Append(",\"clock\":");
  out.AppendString(platform::ClockText(record.clockMinute));
  out.Append("}\n");
}

std::string FormatTraceLine(const platform::CallRecord& call, const TraceNames& names) {
  TraceLineFormatter formatter;
  JsonText out;
  formatter.Call(out, call, names);
  return std::string(out.view());
}

std::size_t ArgNameSlots(OpId id) {
  const std::string_view names = kArgNames[static_cast<std::size_t>(id)];
  if (names.empty()) return 0;
  std::size_t slots = 1;
  for (char c : names) slots += c == ',' ? 1 : 0;
  return slots;
}

bool IsPolling(OpId id) {
  return platform::Operations()[static_cast<std::size_t>(id)].cadence ==
         platform::Cadence::kPolling;
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
      for (const platform::Operation& op : platform::Operations()) {
        if (op.cadence == platform::Cadence::kPolling) mark[static_cast<std::size_t>(op.id)] = true;
      }
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

void IdentifyPlugin(TraceHeader& header) {
  std::ifstream in(header.pluginFile.empty() ? header.pluginPath : header.pluginFile,
                   std::ios::binary);
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
  JsonText out;
  out.Append("{\"trace\":\"homestead-sim\",\"version\":");
  out.AppendInt(kTraceFormatVersion);
  out.Append(",\"simulator\":");
  out.AppendString(HOMESTEAD_VERSION);
  out.Append(",\"scenario\":");
  out.AppendString(header.scenario);
  out.Append(",\"source\":");
  out.AppendString(header.source);
  out.Append(",\"seed\":");
  out.AppendUint(header.seed);
  out.Append(",\"plugin\":");
  out.AppendString(header.pluginPath);
  out.Append(",\"plugin_build\":");
  if (header.pluginBytes) {
    out.Append("{\"bytes\":");
    out.AppendUint(*header.pluginBytes);
    out.Append(",\"fnv1a64\":");
    out.AppendHash(header.pluginHash);
    out.Append('}');
  } else {
    out.Append("null");
  }
  out.Append(",\"filter\":");
  out.AppendString(header.filter);
  out.Append("}\n");
  return std::string(out.view());
}

TraceWriter::TraceWriter(Sink sink, const platform::World& world, TraceFilter filter)
    : sink_(std::move(sink)), filter_(std::move(filter)) {
  names_.hashName = [&world](uint32_t hash) { return world.NameOfHash(hash); };
}

TraceWriter::~TraceWriter() {
  Flush();
}

void TraceWriter::Header(TraceHeader header) {
  header.filter = filter_.list();
  IdentifyPlugin(header);
  buffer_.Append(FormatTraceHeader(header));
}

void TraceWriter::Call(const platform::CallRecord& call) {
  // String handles are learned from every call, kept or not, so that a
  // filtered trace still names the blips.
  if (call.op != nullptr && call.op->id == OpId::kCreateVarString) LearnString(call);
  if (!filter_.Keeps(call.op)) return;
  formatter_.Call(buffer_, call, names_);
  FlushIfFull();
}

void TraceWriter::LearnString(const platform::CallRecord& call) {
  if (!call.refused && call.result != nullptr && call.result->slots[0] != 0 &&
      call.args().size() == 3) {
    names_.strings[call.result->slots[0]] = std::string(call.args()[2].text);
  }
}

void TraceWriter::Milestones(std::span<const MilestoneRecord> all) {
  for (; milestonesWritten_ < all.size(); ++milestonesWritten_) {
    formatter_.Milestone(buffer_, all[milestonesWritten_]);
  }
  FlushIfFull();
}

void TraceWriter::Flush() {
  if (buffer_.size() == 0) return;
  sink_(buffer_.view());
  buffer_.clear();
}

}  // namespace sim
