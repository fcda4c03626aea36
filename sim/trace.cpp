#include "sim/trace.h"

#include <bit>

#include "sim/json.h"

namespace sim {
namespace {

using platform::ArgKind;
using platform::ResultKind;

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

}  // namespace

std::string FormatTraceLine(const platform::CallRecord& call) {
  std::string out = "{\"frame\":";
  AppendJsonInt(out, call.frame);
  out += ",\"time_ms\":";
  AppendJsonDouble(out, static_cast<double>(call.timeUs) / 1000.0);
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
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    if (i > 0) out += ",";
    AppendArg(out, call.args[i]);
  }
  out += "],\"result\":";
  if (call.result != nullptr) {
    AppendResult(out, call.op->result, *call.result);
  } else {
    out += "null";
  }
  out += "}\n";
  return out;
}

}  // namespace sim
