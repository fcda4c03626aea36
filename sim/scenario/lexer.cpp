#include "sim/scenario/lexer.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sim::lang {
namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// Commas and parentheses stand alone, so that a position copied from the
// timeline, "(2626.33, 1545.28, 115.69)", reads as its three numbers.
bool IsPunctuation(char c) {
  return c == ',' || c == '(' || c == ')';
}

}  // namespace

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> beforePrevious(b.size() + 1);
  std::vector<std::size_t> previous(b.size() + 1);
  std::vector<std::size_t> current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) &&
          Lower(a[i - 2]) == Lower(b[j - 1])) {
        current[j] = std::min(current[j], beforePrevious[j - 2] + 1);
      }
    }
    std::swap(beforePrevious, previous);
    std::swap(previous, current);
  }
  return previous[b.size()];
}

std::string DidYouMean(std::string_view word, std::span<const std::string_view> known) {
  const std::size_t limit = word.size() <= 4 ? 1 : 2;
  std::size_t best = limit + 1;
  std::vector<std::string_view> closest;
  for (const std::string_view candidate : known) {
    const std::size_t distance = EditDistance(word, candidate);
    // As far as the longer word is long: the two have nothing in common.
    if (distance >= std::max(word.size(), candidate.size())) continue;
    if (distance < best) {
      best = distance;
      closest.clear();
    }
    if (distance == best) closest.push_back(candidate);
  }
  if (closest.empty() || closest.size() > 2) return "";
  std::string hint = "did you mean '" + std::string(closest[0]) + "'";
  if (closest.size() == 2) hint += " or '" + std::string(closest[1]) + "'";
  return hint + "?";
}

std::vector<Token> Tokenize(std::string_view line) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    if (IsSpace(line[i])) {
      ++i;
      continue;
    }
    const std::size_t begin = i;
    if (IsPunctuation(line[i])) {
      ++i;
    } else {
      while (i < line.size() && !IsSpace(line[i]) && !IsPunctuation(line[i])) ++i;
    }
    tokens.push_back({line.substr(begin, i - begin), static_cast<int>(begin) + 1});
  }
  return tokens;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

std::size_t NumberPrefix(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  const std::size_t digitsFrom = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  }
  return i > digitsFrom ? i : 0;
}

NumberRead ToDouble(std::string_view text, double* out) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (end != text.data() + text.size() || ec == std::errc::invalid_argument || std::isnan(value)) {
    return NumberRead::kNotANumber;
  }
  if (ec == std::errc::result_out_of_range || std::isinf(value)) return NumberRead::kOutOfRange;
  *out = value;
  return NumberRead::kNumber;
}

}  // namespace sim::lang
