// Text that JSON values are appended to, for the trace. Numbers are written
// in their shortest exact form, so equal values give equal bytes; nothing
// here depends on the locale or the C library's formatting.
#ifndef HOMESTEAD_SIM_REPORT_JSON_H
#define HOMESTEAD_SIM_REPORT_JSON_H

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace sim {

// A growing run of bytes. Cleared and filled again, it keeps its storage,
// so that steady use allocates nothing.
class JsonText {
 public:
  JsonText() = default;
  JsonText(const JsonText&) = delete;
  JsonText& operator=(const JsonText&) = delete;

  std::string_view view() const { return {data_.get(), size_}; }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }

  void Append(std::string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size());
    size_ += text.size();
  }
  void Append(char c) {
    *Room(1) = c;
    ++size_;
  }
  // Appends `text`. One no longer than kShort bytes goes as a single block
  // of that size, which needs no call to memcpy; the block's bytes past the
  // end of `text` land past the new end and do not count.
  static constexpr std::size_t kShort = 48;
  void AppendShort(const JsonText& text) {
    if (text.size_ > kShort || text.capacity_ < kShort) {
      Append(text.view());
      return;
    }
    std::memcpy(Room(kShort), text.data_.get(), kShort);
    size_ += text.size_;
  }
  // Appends the first `length` bytes of `block`, copying all of it as one
  // block, which needs no call to memcpy.
  template <std::size_t N>
  void AppendBlock(const std::array<char, N>& block, std::size_t length) {
    std::memcpy(Room(N), block.data(), N);
    size_ += length;
  }
  // Appends again the bytes [from, to) of this text; a short run as one
  // block of kShortCopy bytes, through a copy since the two may overlap.
  static constexpr std::size_t kShortCopy = 16;
  void AppendCopy(std::size_t from, std::size_t to) {
    const std::size_t n = to - from;
    // Room first: it may move the bytes to be copied.
    char* at = Room(n > kShortCopy ? n : kShortCopy);
    if (n > kShortCopy) {
      std::memcpy(at, data_.get() + from, n);
    } else {
      char block[kShortCopy];
      std::memcpy(block, data_.get() + from, kShortCopy);
      std::memcpy(at, block, kShortCopy);
    }
    size_ += n;
  }
  // A quoted JSON string; control characters and bytes that are not valid
  // UTF-8 are escaped so the output always parses.
  void AppendString(std::string_view text);
  void AppendInt(int64_t value);
  void AppendUint(uint64_t value);
  // Shortest text that reads back as the same double (std::to_chars's);
  // non-finite values as null.
  void AppendDouble(double value);
  // `value` / 1000 as AppendDouble writes it, for times in microseconds
  // written in milliseconds, without its general machinery.
  void AppendThousandths(int64_t value);
  // "0x" and 16 upper-case hex digits, as a JSON string.
  void AppendHash(uint64_t hash);

  // `n` bytes of room at the end, to be filled and then taken with Grew.
  char* Room(std::size_t n) {
    if (capacity_ - size_ < n) Reserve(size_ + n);
    return data_.get() + size_;
  }
  void Grew(std::size_t n) { size_ += n; }

 private:
  void Reserve(std::size_t capacity);
  void AppendEscaped(std::string_view text);

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Writes floats as their shortest text that reads back as the same float
// (std::to_chars's), non-finite values as null. The text of each bit pattern
// is kept in a small table indexed by the pattern, so that a value written
// again (a homestead's coordinates every frame) costs a copy.
class FloatTexts {
 public:
  FloatTexts() : entries_(kEntries) {}
  void Append(JsonText& out, float value) {
    const auto bits = std::bit_cast<uint32_t>(value);
    // Fibonacci hashing spreads nearby patterns over the table.
    const Entry& entry = entries_[(bits * 0x9E3779B1u) >> (32 - kEntryBits)];
    if (entry.length == 0 || entry.bits != bits) {
      Miss(out, value);
      return;
    }
    out.AppendBlock(entry.text, entry.length);
  }

 private:
  // Non-finite values, and values not in the table: written and, when
  // finite, put in it.
  void Miss(JsonText& out, float value);

  static constexpr std::size_t kEntryBits = 10;
  static constexpr std::size_t kEntries = std::size_t{1} << kEntryBits;
  // Room for the longest shortest form, "-1.17549435e-38" (15 bytes).
  static constexpr std::size_t kMaxText = 16;
  struct Entry {
    uint32_t bits = 0;
    uint8_t length = 0;  // 0: empty
    std::array<char, kMaxText> text{};
  };
  std::vector<Entry> entries_;
};

}  // namespace sim

#endif  // HOMESTEAD_SIM_REPORT_JSON_H
