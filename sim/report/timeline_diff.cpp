#include "sim/report/timeline_diff.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdint>

namespace sim {
namespace {

enum class Op : uint8_t { kKeep, kRemove, kAdd };

std::size_t HeaderLength(std::span<const std::string> lines) {
  std::size_t header = 0;
  while (header < lines.size() && !IsStampedLine(lines[header])) ++header;
  // A timeline without a stamped line has nothing but a header and a summary.
  return header == lines.size() ? 0 : header;
}

// A line without its stamp, "HH:MM  m:ss.mmm  ".
std::string_view WithoutStamp(std::string_view line) {
  if (!IsStampedLine(line)) return line;
  const std::size_t end = line.find("  ", 7);
  return end == std::string_view::npos ? line : line.substr(end + 2);
}

// The shortest edit script from `a` to `b`, as one op per kept, removed or
// added line, in order. Myers' greedy algorithm; the furthest points of each
// round are kept (2d + 1 of them in round d) to walk the path back.
std::vector<Op> EditScript(std::span<const std::string> a, std::span<const std::string> b) {
  const auto n = static_cast<std::ptrdiff_t>(a.size());
  const auto m = static_cast<std::ptrdiff_t>(b.size());
  const std::ptrdiff_t max = n + m;
  std::vector<std::ptrdiff_t> v(static_cast<std::size_t>(2 * max + 2), 0);
  auto at = [&v, max](std::ptrdiff_t k) -> std::ptrdiff_t& {
    return v[static_cast<std::size_t>(k + max + 1)];
  };
  std::vector<std::vector<std::ptrdiff_t>> rounds;
  std::ptrdiff_t editCount = -1;
  for (std::ptrdiff_t d = 0; d <= max && editCount < 0; ++d) {
    for (std::ptrdiff_t k = -d; k <= d; k += 2) {
      std::ptrdiff_t x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
      std::ptrdiff_t y = x - k;
      while (x < n && y < m &&
             WithoutStamp(a[static_cast<std::size_t>(x)]) ==
                 WithoutStamp(b[static_cast<std::size_t>(y)])) {
        ++x;
        ++y;
      }
      at(k) = x;
      if (x >= n && y >= m) editCount = d;
    }
    std::vector<std::ptrdiff_t>& round = rounds.emplace_back();
    for (std::ptrdiff_t k = -d; k <= d; ++k) round.push_back(at(k));
  }
  assert(editCount >= 0 && "a path always reaches the end within n + m rounds");

  std::vector<Op> ops;
  std::ptrdiff_t x = n;
  std::ptrdiff_t y = m;
  for (std::ptrdiff_t d = editCount; d > 0; --d) {
    const std::vector<std::ptrdiff_t>& previous = rounds[static_cast<std::size_t>(d - 1)];
    auto before = [&previous, d](std::ptrdiff_t k) {
      return previous[static_cast<std::size_t>(k + d - 1)];
    };
    const std::ptrdiff_t k = x - y;
    const bool down = k == -d || (k != d && before(k - 1) < before(k + 1));
    const std::ptrdiff_t previousK = down ? k + 1 : k - 1;
    const std::ptrdiff_t previousX = before(previousK);
    const std::ptrdiff_t previousY = previousX - previousK;
    for (; x > previousX + (down ? 0 : 1) && y > previousY + (down ? 1 : 0); --x, --y) {
      ops.push_back(Op::kKeep);
    }
    ops.push_back(down ? Op::kAdd : Op::kRemove);
    x = previousX;
    y = previousY;
  }
  for (; x > 0; --x) ops.push_back(Op::kKeep);
  std::reverse(ops.begin(), ops.end());
  return ops;
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool IsStampedLine(std::string_view line) {
  const auto digit = [line](std::size_t i) {
    return std::isdigit(static_cast<unsigned char>(line[i])) != 0;
  };
  return line.size() >= 7 && digit(0) && digit(1) && line[2] == ':' && digit(3) && digit(4) &&
         line.substr(5, 2) == "  ";
}

TimelineDiff DiffTimelines(std::span<const std::string> before,
                           std::span<const std::string> after) {
  const std::size_t headerAfter = HeaderLength(after);
  const std::span<const std::string> a = before.subspan(HeaderLength(before));
  const std::span<const std::string> b = after.subspan(headerAfter);

  TimelineDiff diff;
  diff.compared = b.size();
  std::size_t i = 0;
  std::size_t j = 0;
  TimelineChange* open = nullptr;  // the change that the next edit extends
  for (const Op op : EditScript(a, b)) {
    if (op == Op::kKeep) {
      if (a[i++] != b[j++]) ++diff.movedCount;
      open = nullptr;
      continue;
    }
    if (open == nullptr) {
      open = &diff.changes.emplace_back();
      open->line = headerAfter + j + 1;
    }
    if (op == Op::kRemove) {
      open->removed.push_back(a[i++]);
      ++diff.removedCount;
    } else {
      open->added.push_back(b[j++]);
      ++diff.addedCount;
    }
  }
  return diff;
}

std::vector<std::string> FormatTimelineDiff(const TimelineDiff& diff) {
  const std::string of = std::to_string(diff.compared) + " lines";
  if (diff.equal()) return {"no change in " + of};
  std::vector<std::string> lines;
  lines.push_back(
      std::to_string(diff.removedCount) + (diff.removedCount == 1 ? " line" : " lines") +
      " removed, " + std::to_string(diff.addedCount) + " added (" + of + " compared" +
      (diff.movedCount == 0 ? "" : ", " + std::to_string(diff.movedCount) + " at another time") +
      ")");
  for (const TimelineChange& change : diff.changes) {
    lines.push_back("@@ line " + std::to_string(change.line));
    for (const std::string& line : change.removed) lines.push_back("- " + line);
    for (const std::string& line : change.added) lines.push_back("+ " + line);
  }
  return lines;
}

}  // namespace sim
