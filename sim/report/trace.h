// The call trace: a run as JSON lines, for tools such as jq.
//
// The first line is a header that says what produced the trace:
//
//   {"trace":"homestead-sim","version":2,"simulator":"0.1.0","scenario":"robbery",
//    "source":"built-in","seed":1,"plugin":"/path/libhomestead_robbery.so",
//    "plugin_build":{"bytes":812345,"fnv1a64":"0x..."},"filter":"all"}
//
// Then every host call the filter keeps, one object per line:
//
//   {"frame":12,"time_ms":183.333,"op":"CreatePed","hash":"0xD49F9B0955C367DE",
//    "args":[1057570823,2628.946,...],"named":{"model":1057570823,"x":2628.946,...},
//    "result":101}
//
// and, where the recorder noticed one, a milestone record after the calls of
// its frame:
//
//   {"frame":776,"time_ms":12916.666,"milestone":"money-stack","homestead":1,"clock":"14:06"}
//
// A line is a header when it has "trace", a call when it has "op", a milestone
// when it has "milestone".
//
// "args" holds the arguments as the host decoded them: numbers, booleans,
// texts, {"ref":h} for a handle passed by address (its value before the call),
// {"out":v} for a value the call wrote back, an object for the speech block,
// and 64-bit string handles as hex strings. "named" holds the arguments whose
// meaning is known under their names, more readably: a hash that the run
// made with HashKey as its text, a string handle as the text it was made
// from, handles and written-back values as plain numbers. No address is ever
// written, so the same run gives the same bytes. A call the host refused has
// "refused": true and no arguments.
#ifndef HOMESTEAD_SIM_REPORT_TRACE_H
#define HOMESTEAD_SIM_REPORT_TRACE_H

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/host.h"
#include "sim/base/milestone.h"
#include "sim/report/json.h"

namespace sim {

inline constexpr int kTraceFormatVersion = 2;

// Which calls the trace keeps. Written on the command line as a comma-
// separated list: an operation name keeps it, "-Name" drops it, and the word
// "polling" stands for the queries the script repeats every frame
// (IsEntityDead, DistanceBetweenCoords, ...). When the list keeps anything,
// only what it keeps is written; otherwise everything but what it drops.
// "-polling" keeps every call that does something.
class TraceFilter {
 public:
  // Everything.
  TraceFilter() { keep_.fill(true); }

  // The filter `list` describes, or a message that names the bad item and
  // lists the known names.
  static std::variant<TraceFilter, std::string> Parse(std::string_view list);

  // Refused calls of unknown operations are always kept: they are errors.
  bool Keeps(const platform::Operation* op) const {
    return op == nullptr || keep_[static_cast<std::size_t>(op->id)];
  }
  // The list as given, or "all".
  const std::string& list() const { return list_; }

 private:
  std::array<bool, platform::kOperationCount> keep_{};
  std::string list_ = "all";
};

// Whether the script repeats this query every frame; these are the
// "polling" of a trace filter.
bool IsPolling(platform::OpId id);

// How many arguments the trace has names (or blanks) for; equal to the
// operation's argument count unless the name table is out of step.
std::size_t ArgNameSlots(platform::OpId id);

// What the run knows about names: hashes made with HashKey and the texts of
// string handles made with CreateVarString.
struct TraceNames {
  std::function<std::optional<std::string_view>(uint32_t hash)> hashName;
  std::map<uint64_t, std::string> strings;
};

// Formats trace lines. What repeats from line to line is prepared once: each
// operation's name and hash and its argument names as ready text, the frame
// and time once per frame, float texts by bit pattern (FloatTexts), whole
// lines of the queries repeated every frame (Repeat). Each argument is
// formatted once; "named" copies its bytes where it is the same.
class TraceLineFormatter {
 public:
  TraceLineFormatter();
  TraceLineFormatter(const TraceLineFormatter&) = delete;
  TraceLineFormatter& operator=(const TraceLineFormatter&) = delete;

  // Appends one call line, newline included.
  void Call(JsonText& out, const platform::CallRecord& call, const TraceNames& names);
  // Appends one milestone line, newline included.
  void Milestone(JsonText& out, const MilestoneRecord& record);

 private:
  struct OperationText {
    // ,"op":"Name","hash":"0x...","args":[
    std::string head;
    // Per argument, what goes before its value in "named": ,"named":{"x":
    // for the first named one, ,"y": for the next; length 0 for none.
    struct Prefix {
      std::array<char, 32> text{};
      std::size_t length = 0;
    };
    std::array<Prefix, platform::kMaxOperationArgs> named;
    std::size_t firstNamed = platform::kMaxOperationArgs;
    bool repeatable = false;  // see Repeat
  };

  // The queries the script repeats every frame give the same line over and
  // over but for the frame and time. For an operation whose arguments are
  // numbers and booleans only, the rest of the line follows from its pushed
  // slots and result (no name can change it), so it is kept by those and
  // the arguments need not even be decoded again. This takes a record's
  // arguments to be the decoding of its slots, as they are in a host's.
  static constexpr std::size_t kRepeatArgs = 8;
  static constexpr std::size_t kRepeatBits = 10;
  struct Repeat {
    bool filled = false;
    std::size_t op = 0;
    std::array<uint64_t, kRepeatArgs> slots{};
    std::array<uint64_t, 3> result{};
    std::string rest;
  };

  // Where each argument's text lies in the line, for "named" to copy.
  struct ArgSpan {
    std::size_t start;
    std::size_t end;
  };
  using ArgSpans = std::array<ArgSpan, platform::kMaxOperationArgs>;

  void Common(JsonText& out, int64_t frame, int64_t timeUs);
  // The line after the frame and time.
  void Rest(JsonText& out, const platform::CallRecord& call, const TraceNames& names);
  // Rest's steps, inlined into it: the "args" array, noting where each
  // argument's text lies; then "named", which copies those texts or gives
  // the names of hashes and strings.
  [[gnu::always_inline]] inline void Args(JsonText& out, std::span<const platform::DecodedArg> args,
                                          ArgSpans& spans);
  [[gnu::always_inline]] inline void Named(JsonText& out, const OperationText& text,
                                           std::span<const platform::DecodedArg> args,
                                           const ArgSpans& spans, const TraceNames& names);
  void Arg(JsonText& out, const platform::DecodedArg& arg);
  void Result(JsonText& out, platform::ResultKind kind, const platform::CallResult& result);

  std::vector<OperationText> operations_;
  std::vector<Repeat> repeats_;
  // {"frame":N,"time_ms":T of the last line, and for which frame and time.
  JsonText common_;
  int64_t commonFrame_ = -1;
  int64_t commonTimeUs_ = -1;
  FloatTexts floats_;
};

// One call line, newline included.
std::string FormatTraceLine(const platform::CallRecord& call, const TraceNames& names = {});

struct TraceHeader {
  std::string scenario;
  std::string source;  // the scenario's file, or "built-in"
  uint32_t seed = 1;
  std::string pluginPath;
  // The file read for the build's identity, when the library was loaded from
  // a copy of pluginPath; empty: pluginPath.
  std::string pluginFile;
  // The plug-in library's size and FNV-1a 64 of its bytes: the same build
  // gives the same values wherever it lies; nullopt when it cannot be read.
  std::optional<uint64_t> pluginBytes;
  uint64_t pluginHash = 0;
  std::string filter = "all";
};

// Fills pluginBytes and pluginHash from the file at `pluginFile`, else `pluginPath`.
void IdentifyPlugin(TraceHeader& header);

// The header line, newline included.
std::string FormatTraceHeader(const TraceHeader& header);

// Writes a run's trace: the header, the calls the filter keeps with the names
// learned so far, and the milestones as the recorder reports them. Lines are
// gathered and handed to the sink in chunks of about kChunkBytes; Flush hands
// over the rest, and so does the destructor.
class TraceWriter {
 public:
  using Sink = std::function<void(std::string_view text)>;
  static constexpr std::size_t kChunkBytes = std::size_t{1} << 16;

  TraceWriter(Sink sink, const platform::World& world, TraceFilter filter);
  ~TraceWriter();
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;

  void Header(TraceHeader header);
  void Call(const platform::CallRecord& call);
  // Writes the records of `all` that were not written before.
  void Milestones(std::span<const MilestoneRecord> all);
  void Flush();

 private:
  // Out of line, so that the calls of other operations stay cheap.
  [[gnu::noinline]] void LearnString(const platform::CallRecord& call);
  void FlushIfFull() {
    if (buffer_.size() >= kChunkBytes) Flush();
  }

  Sink sink_;
  TraceFilter filter_;
  TraceNames names_;
  TraceLineFormatter formatter_;
  JsonText buffer_;
  std::size_t milestonesWritten_ = 0;
};

}  // namespace sim

#endif  // HOMESTEAD_SIM_REPORT_TRACE_H
