#include "sim/report/json.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>

namespace sim {
namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";

constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Bytes a JSON string takes as they are: printable ASCII but the quote and
// the backslash.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x7F; ++c) plain[c] = c != '"' && c != '\\';
  return plain;
}();

// Length of the valid UTF-8 sequence at the start of `text`, or 0.
std::size_t Utf8Length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4;
  if (length == 0 || text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

void JsonText::Reserve(std::size_t capacity) {
  capacity = std::max({capacity, 2 * capacity_, std::size_t{256}});
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

void JsonText::AppendString(std::string_view text) {
  std::size_t plain = 0;
  while (plain < text.size() && kPlain[static_cast<unsigned char>(text[plain])]) ++plain;
  char* at = Room(plain + 2);
  at[0] = '"';
  std::memcpy(at + 1, text.data(), plain);
  size_ += plain + 1;
  if (plain < text.size()) AppendEscaped(text.substr(plain));
  Append('"');
}

void JsonText::AppendEscaped(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      Append('\\');
      Append(static_cast<char>(c));
    } else if (c == '\n') {
      Append("\\n");
    } else if (c == '\t') {
      Append("\\t");
    } else if (c < 0x20 || c == 0x7F) {
      Append("\\u00");
      Append(kLowerHex[c >> 4]);
      Append(kLowerHex[c & 0xF]);
    } else if (c < 0x80) {
      Append(static_cast<char>(c));
    } else if (const std::size_t length = Utf8Length(text.substr(i)); length > 0) {
      Append(text.substr(i, length));
      i += length;
      continue;
    } else {
      Append("\\ufffd");
    }
    ++i;
  }
}

void JsonText::AppendInt(int64_t value) {
  if (value < 0) {
    Append('-');
    AppendUint(0 - static_cast<uint64_t>(value));
  } else {
    AppendUint(static_cast<uint64_t>(value));
  }
}

void JsonText::AppendUint(uint64_t value) {
  char digits[20];
  char* const end = digits + sizeof digits;
  char* start = end;
  while (value >= 100) {
    start -= 2;
    std::memcpy(start, &kDigitPairs[(value % 100) * 2], 2);
    value /= 100;
  }
  if (value >= 10) {
    start -= 2;
    std::memcpy(start, &kDigitPairs[value * 2], 2);
  } else {
    *--start = static_cast<char>('0' + value);
  }
  Append(std::string_view(start, static_cast<std::size_t>(end - start)));
}

void JsonText::AppendDouble(double value) {
  if (!std::isfinite(value)) {
    Append("null");
    return;
  }
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  Append(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

void JsonText::AppendThousandths(int64_t value) {
  // Below 2^40 a double is finer than a thousandth by far, so the decimal
  // value / 1000 with at most three decimals reads back as the double
  // nearest it and no decimal with fewer digits does: those digits are the
  // shortest form. Fractions always take the fixed form; whole numbers take
  // the exponent form where it is shorter, as std::to_chars chooses.
  if (value < 0 || value >= (int64_t{1} << 40)) {
    AppendDouble(static_cast<double>(value) / 1000.0);
    return;
  }
  const auto whole = static_cast<uint64_t>(value) / 1000;
  const auto fraction = static_cast<uint32_t>(static_cast<uint64_t>(value) % 1000);
  if (fraction != 0) {
    AppendUint(whole);
    char* at = Room(4);
    at[0] = '.';
    at[1] = static_cast<char>('0' + fraction / 100);
    at[2] = static_cast<char>('0' + fraction / 10 % 10);
    at[3] = static_cast<char>('0' + fraction % 10);
    size_ += fraction % 100 == 0 ? 2 : fraction % 10 == 0 ? 3 : 4;
    return;
  }
  std::size_t digits = 1;
  for (uint64_t rest = whole; rest >= 10; rest /= 10) ++digits;
  std::size_t zeros = 0;
  for (uint64_t rest = whole; rest != 0 && rest % 10 == 0; rest /= 10) ++zeros;
  // "d.ddde+0X" is shorter only for a few round numbers (100000 ms is
  // "1e+05"); those are left to std::to_chars.
  const std::size_t significant = digits - zeros;
  if (significant + (significant > 1 ? 1 : 0) + 4 < digits) {
    AppendDouble(static_cast<double>(value) / 1000.0);
  } else {
    AppendUint(whole);
  }
}

void JsonText::AppendHash(uint64_t hash) {
  char* at = Room(20);
  at[0] = '"';
  at[1] = '0';
  at[2] = 'x';
  for (int i = 0; i < 16; ++i) at[3 + i] = kUpperHex[(hash >> (60 - 4 * i)) & 0xF];
  at[19] = '"';
  size_ += 20;
}

void FloatTexts::Miss(JsonText& out, float value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  if ((bits & 0x7F800000u) == 0x7F800000u) {
    out.Append("null");
    return;
  }
  // Written in place, and the table takes a block from there.
  constexpr std::size_t kRoom = 32;
  char* at = out.Room(kRoom);
  const auto length = static_cast<std::size_t>(std::to_chars(at, at + kRoom, value).ptr - at);
  out.Grew(length);
  if (length > kMaxText) return;
  Entry& entry = entries_[(bits * 0x9E3779B1u) >> (32 - kEntryBits)];
  entry.bits = bits;
  entry.length = static_cast<uint8_t>(length);
  std::memcpy(entry.text.data(), at, kMaxText);
}

}  // namespace sim
