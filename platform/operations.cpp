#include "platform/operations.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace platform {
namespace {

constexpr bool IsThirtyTwoBit(ArgKind kind) {
  switch (kind) {
    case ArgKind::kInt32:
    case ArgKind::kUint32:
    case ArgKind::kFloat:
    case ArgKind::kBool:
      return true;
    default:
      return false;
  }
}

constexpr bool IsAddress(ArgKind kind) {
  switch (kind) {
    case ArgKind::kText:
    case ArgKind::kHandleRef:
    case ArgKind::kOutUint32:
    case ArgKind::kSpeechParams:
      return true;
    default:
      return false;
  }
}

constexpr Operation Op(OpId id, std::string_view name, uint64_t hash, ResultKind result,
                       Cadence cadence, std::initializer_list<ArgKind> args) {
  Operation op{id, name, hash, result, cadence, static_cast<uint8_t>(args.size()), {}, {}, 0, 0, 0};
  std::size_t i = 0;
  for (ArgKind kind : args) {
    const auto bit = static_cast<uint16_t>(1u << i);
    if (IsThirtyTwoBit(kind)) op.mustBeZero[i] = 0xFFFF'FFFF'0000'0000ull;
    if (IsAddress(kind)) op.addressArgs |= bit;
    if (kind == ArgKind::kHandleRef) op.handleRefArgs |= bit;
    if (kind == ArgKind::kSpeechParams) op.speechArgs |= bit;
    op.args[i++] = kind;
  }
  return op;
}

// Hashes and argument lists of the host's protocol, from operations.def.
constexpr auto kTable = [] {
  using enum ArgKind;
  return std::array<Operation, kOperationCount>{{
#define HOMESTEAD_KINDS(...) __VA_ARGS__
#define HOMESTEAD_OPERATION(name, hash, result, args, argNames, cadence) \
  Op(OpId::k##name, #name, hash, ResultKind::result, Cadence::cadence, {HOMESTEAD_KINDS args}),
#include "platform/operations.def"
#undef HOMESTEAD_OPERATION
#undef HOMESTEAD_KINDS
  }};
}();
static_assert(kTable.size() == kOperationCount, "one table entry per OpId");

constexpr bool TableIsConsistent() {
  for (std::size_t i = 0; i < kTable.size(); ++i) {
    if (static_cast<std::size_t>(kTable[i].id) != i) return false;
    if (kTable[i].argCount > kMaxOperationArgs) return false;
    if (kTable[i].hash == 0) return false;  // 0 marks the index's empty slots
    for (std::size_t j = i + 1; j < kTable.size(); ++j) {
      if (kTable[i].hash == kTable[j].hash || kTable[i].name == kTable[j].name) return false;
    }
  }
  return true;
}
static_assert(TableIsConsistent(),
              "entries in OpId order, hashes non-zero and unique, names unique");
static_assert(std::ranges::all_of(kTable,
                                  [](const Operation& op) {
                                    return OperationIndexOf(op.hash) ==
                                           static_cast<std::size_t>(op.id);
                                  }),
              "the index by hash finds every operation");

uint32_t Low(uint64_t slot) {
  return static_cast<uint32_t>(slot);
}

std::string ArgProblem(const Operation& op, std::size_t index, std::string_view what) {
  std::string message = DescribeOperation(op);
  message += ": argument ";
  message += std::to_string(index + 1);
  message += " (";
  message += ArgKindName(op.args[index]);
  message += ") ";
  message += what;
  return message;
}

// The values the block carries after the params hash.
constexpr std::array<uint32_t, 4> kSpeechFlags = {0, 1, 1, 1};

// Reads the speech block; its slots follow the 32-bit rule too, so a
// non-zero high half in slots 3 to 8 is reported.
bool DecodeSpeechParams(const Operation& op, std::size_t index, DecodedArg& arg,
                        std::vector<std::string>& problems) {
  std::array<uint64_t, kSpeechParamsSlots> block;
  std::memcpy(block.data(), reinterpret_cast<const void*>(arg.raw), sizeof block);
  if (block[0] == 0 || block[1] == 0) {
    problems.push_back(ArgProblem(op, index, "holds a null line or aux name address"));
    return false;
  }
  arg.text = reinterpret_cast<const char*>(block[0]);
  arg.aux = reinterpret_cast<const char*>(block[1]);
  arg.i = static_cast<int32_t>(Low(block[2]));
  arg.u = Low(block[3]);
  for (std::size_t slot = 2; slot < kSpeechParamsSlots; ++slot) {
    if ((block[slot] >> 32) != 0) {
      problems.push_back(
          ArgProblem(op, index, "has a non-zero high half in slot " + std::to_string(slot + 1)));
    }
  }
  for (std::size_t k = 0; k < arg.flags.size(); ++k) arg.flags[k] = Low(block[4 + k]);
  if (!arg.aux.empty())
    problems.push_back(ArgProblem(op, index, "has an aux name that is not empty"));
  if (arg.flags != kSpeechFlags) {
    problems.push_back(ArgProblem(op, index, "does not end in the values 0, 1, 1, 1"));
  }
  return true;
}

}  // namespace

std::span<const Operation> Operations() {
  return kTable;
}

const Operation& OperationOf(OpId id) {
  return kTable[static_cast<std::size_t>(id)];
}

const Operation* FindOperation(uint64_t hash) {
  const std::size_t index = OperationIndexOf(hash);
  return index < kTable.size() ? &kTable[index] : nullptr;
}

std::string_view ArgKindName(ArgKind kind) {
  switch (kind) {
    case ArgKind::kInt32:
      return "int32";
    case ArgKind::kUint32:
      return "uint32";
    case ArgKind::kFloat:
      return "float";
    case ArgKind::kBool:
      return "bool";
    case ArgKind::kText:
      return "text";
    case ArgKind::kUint64:
      return "uint64";
    case ArgKind::kHandleRef:
      return "handle address";
    case ArgKind::kOutUint32:
      return "out address";
    case ArgKind::kSpeechParams:
      return "speech params";
  }
  return "?";
}

std::string HexHash(uint64_t hash) {
  char buffer[19];
  std::snprintf(buffer, sizeof buffer, "0x%016llX", static_cast<unsigned long long>(hash));
  return buffer;
}

std::string DescribeOperation(const Operation& op) {
  std::string out(op.name);
  out += " (";
  out += HexHash(op.hash);
  out += ")";
  return out;
}

bool DecodeArgs(const Operation& op, std::span<const uint64_t> raw,
                std::span<DecodedArg, kMaxOperationArgs> out, std::vector<std::string>& problems) {
  if (raw.size() != op.argCount) {
    problems.push_back(DescribeOperation(op) + ": expected " + std::to_string(op.argCount) +
                       " arguments, got " + std::to_string(raw.size()));
    return false;
  }
  bool callable = true;
  for (std::size_t index = 0; index < raw.size(); ++index) {
    DecodedArg& arg = out[index];
    arg = DecodedArg{};
    arg.kind = op.args[index];
    arg.raw = raw[index];
    if (IsThirtyTwoBit(arg.kind) && (arg.raw >> 32) != 0) {
      problems.push_back(ArgProblem(op, index, "has a non-zero high half: " + HexHash(arg.raw)));
    }
    if (IsAddress(arg.kind) && arg.raw == 0) {
      problems.push_back(ArgProblem(op, index, "is a null address"));
      callable = false;
      continue;
    }
    switch (arg.kind) {
      case ArgKind::kInt32:
        arg.i = static_cast<int32_t>(Low(arg.raw));
        break;
      case ArgKind::kBool:
        arg.i = Low(arg.raw) != 0 ? 1 : 0;
        break;
      case ArgKind::kUint32:
        arg.u = Low(arg.raw);
        break;
      case ArgKind::kFloat:
        arg.f = std::bit_cast<float>(Low(arg.raw));
        break;
      case ArgKind::kText:
        arg.text = reinterpret_cast<const char*>(arg.raw);
        break;
      case ArgKind::kUint64:
        break;
      case ArgKind::kHandleRef:
        // memcpy: an odd address must not be undefined behaviour here.
        std::memcpy(&arg.i, reinterpret_cast<const void*>(arg.raw), sizeof arg.i);
        break;
      case ArgKind::kOutUint32:
        break;
      case ArgKind::kSpeechParams:
        if (!DecodeSpeechParams(op, index, arg, problems)) callable = false;
        break;
    }
  }
  return callable;
}

}  // namespace platform
