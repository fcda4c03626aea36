// The host's table of operations and the decoding of one call.
//
// Every operation a plug-in may call is listed once, in operations.def, with
// its name, its 64-bit hash, the kind of each argument in push order, the
// kind of its result and its cadence; this header and the table expand that one list. The
// dispatcher (host.h) looks a hash up here, checks the argument count, decodes the pushed 64-bit
// slots by the listed kinds and encodes the answer into the result slots.
//
// Slot encodings: a 32-bit value in the low half with the high half zero; a
// float as its single-precision bit pattern in the low half; a text or an
// out-argument as an address; a 64-bit value as the whole slot. Results: an
// integer, boolean or float in the low half of slot 0, a 64-bit value as all
// of slot 0, a vector in slots 0 to 2.
#ifndef HOMESTEAD_PLATFORM_OPERATIONS_H
#define HOMESTEAD_PLATFORM_OPERATIONS_H

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class ArgKind : uint8_t {
  kInt32,         // signed 32-bit value; also entity and blip handles
  kUint32,        // unsigned 32-bit value: hashes, model names
  kFloat,         // single-precision bit pattern
  kBool,          // 32-bit value, non-zero is true
  kText,          // address of NUL-terminated text
  kUint64,        // the whole slot, e.g. a string handle
  kHandleRef,     // address of an int32 handle that the call may overwrite
  kOutUint32,     // address of a uint32 that the call writes
  kSpeechParams,  // address of the eight-slot speech parameter block
};

enum class ResultKind : uint8_t { kNone, kInt32, kUint32, kBool, kFloat, kUint64, kVector3 };

// How often a plug-in makes a call: kPolling for the queries made every
// frame (a trace can leave them out), kOnDemand for the rest.
enum class Cadence : uint8_t { kOnDemand, kPolling };

// One entry per operation, in table order.
enum class OpId : uint8_t {
#define HOMESTEAD_OPERATION(name, hash, result, args, argNames, cadence) k##name,
#include "platform/operations.def"
#undef HOMESTEAD_OPERATION
  kCount,
};

// Each operation's hash by name, for code that needs it as a constant.
namespace op_hash {
#define HOMESTEAD_OPERATION(name, hash, result, args, argNames, cadence) \
  inline constexpr uint64_t k##name = hash;
#include "platform/operations.def"
#undef HOMESTEAD_OPERATION
}  // namespace op_hash

inline constexpr std::size_t kOperationCount = static_cast<std::size_t>(OpId::kCount);
// The longest argument list of any operation (GiveWeaponToPed).
inline constexpr std::size_t kMaxOperationArgs = 13;
static_assert(kMaxOperationArgs <= 16, "argument sorts are 16-bit masks");

struct Operation {
  OpId id;
  std::string_view name;
  uint64_t hash;
  ResultKind result;
  Cadence cadence;
  uint8_t argCount;
  std::array<ArgKind, kMaxOperationArgs> args;
  // Derived from `args`, so that the dispatcher checks a call's slots
  // without walking the kinds. Per argument, the bits of its slot that must
  // be zero: the high half of a 32-bit value.
  std::array<uint64_t, kMaxOperationArgs> mustBeZero;
  // Bit i set when argument i is of that sort.
  uint16_t addressArgs;    // addresses, which must not be null
  uint16_t handleRefArgs;  // kHandleRef
  uint16_t speechArgs;     // kSpeechParams, whose block is checked in full
};

// The whole table, indexed by OpId.
std::span<const Operation> Operations();
const Operation& OperationOf(OpId id);
// nullptr when no operation has this hash.
const Operation* FindOperation(uint64_t hash);

namespace detail {

// Open-addressing index from hash to table index, built at compile time from
// the hashes alone (so it holds values, no addresses, and may live in every
// module that includes this header): finding an operation costs one
// multiplication and usually a single probe. At most half full, so a probe
// sequence always ends at an empty slot.
struct HashSlot {
  uint64_t hash = 0;                // no operation has hash 0 (checked with the table)
  uint8_t index = kOperationCount;  // kOperationCount: empty
};
inline constexpr std::size_t kHashSlotBits = 7;
inline constexpr std::size_t kHashSlotCount = std::size_t{1} << kHashSlotBits;
static_assert(kHashSlotCount >= 2 * kOperationCount, "the index stays at most half full");
static_assert(kOperationCount < 0xFF, "table indices fit in a byte");

// Fibonacci hashing: the top bits of the product mix every bit of the hash.
constexpr std::size_t HomeSlot(uint64_t hash) {
  return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ull) >> (64 - kHashSlotBits));
}

inline constexpr std::array<HashSlot, kHashSlotCount> kIndexByHash = [] {
  constexpr std::array<uint64_t, kOperationCount> kHashes = {{
#define HOMESTEAD_OPERATION(name, hash, result, args, argNames, cadence) hash,
#include "platform/operations.def"
#undef HOMESTEAD_OPERATION
  }};
  std::array<HashSlot, kHashSlotCount> slots{};
  for (std::size_t i = 0; i < kHashes.size(); ++i) {
    std::size_t at = HomeSlot(kHashes[i]);
    while (slots[at].index != kOperationCount) at = (at + 1) % kHashSlotCount;
    slots[at] = HashSlot{kHashes[i], static_cast<uint8_t>(i)};
  }
  return slots;
}();

}  // namespace detail

// The table index (OpId) of the operation with this hash, or kOperationCount
// when there is none. Inline, for the dispatcher's every call.
constexpr std::size_t OperationIndexOf(uint64_t hash) {
  for (std::size_t at = detail::HomeSlot(hash);; at = (at + 1) % detail::kHashSlotCount) {
    const detail::HashSlot& slot = detail::kIndexByHash[at];
    // An empty slot ends the search with its index, kOperationCount.
    if (slot.hash == hash || slot.index == kOperationCount) return slot.index;
  }
}

std::string_view ArgKindName(ArgKind kind);

// Slots of the speech parameter block, as the plug-in fills it.
inline constexpr std::size_t kSpeechParamsSlots = 8;

// One argument as the handler sees it. Which fields are filled depends on
// the kind:
//   kInt32, kBool        i (kBool: 0 or 1)
//   kUint32              u
//   kFloat               f
//   kText                text (the bytes up to the NUL)
//   kUint64              raw
//   kHandleRef           i: the handle read through the address before the call
//   kOutUint32           u: the value the call wrote (after the call)
//   kSpeechParams        text: line name, aux: aux name, i: variation,
//                        u: params hash, flags: slots 5 to 8
struct DecodedArg {
  ArgKind kind = ArgKind::kInt32;
  uint64_t raw = 0;
  int32_t i = 0;
  uint32_t u = 0;
  float f = 0.0f;
  std::string_view text;
  std::string_view aux;
  std::array<uint32_t, 4> flags{};
};

// Decodes the pushed slots of one call of `op` into `out` (one entry per
// argument). A problem is described in `problems` (one message each, naming
// the operation and its hash). Returns false when the call cannot be carried
// out: a wrong argument count or an address that is null (in the speech
// block too). A 32-bit value with a non-zero high half is a problem but does
// not stop the call; its low half is used. So is a speech block whose aux name
// is not the empty text or whose last four slots are not 0, 1, 1, 1.
bool DecodeArgs(const Operation& op, std::span<const uint64_t> raw,
                std::span<DecodedArg, kMaxOperationArgs> out, std::vector<std::string>& problems);

// "Name (0x0123456789ABCDEF)".
std::string DescribeOperation(const Operation& op);
std::string HexHash(uint64_t hash);

// The three result slots of a call, encoded by the result kind.
struct CallResult {
  std::array<uint64_t, 3> slots{};

  void SetInt32(int32_t v) { slots[0] = static_cast<uint32_t>(v); }
  void SetUint32(uint32_t v) { slots[0] = v; }
  void SetBool(bool v) { slots[0] = v ? 1 : 0; }
  void SetFloat(float v) { slots[0] = std::bit_cast<uint32_t>(v); }
  void SetUint64(uint64_t v) { slots[0] = v; }
  void SetVector3(float x, float y, float z) {
    slots = {std::bit_cast<uint32_t>(x), std::bit_cast<uint32_t>(y), std::bit_cast<uint32_t>(z)};
  }
};

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_OPERATIONS_H
