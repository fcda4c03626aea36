#include "sim/sweep/seed_result.h"

#include <charconv>
#include <vector>

namespace sim::sweep {
namespace {

template <typename T>
bool ReadNumber(std::string_view text, T* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// Splits off the text up to the next `separator`.
std::string_view Next(std::string_view* rest, char separator) {
  const std::size_t at = rest->find(separator);
  const std::string_view field = rest->substr(0, at);
  rest->remove_prefix(at == rest->npos ? rest->size() : at + 1);
  return field;
}

// "a.b;c.d" pairs, or "-" for none.
template <typename Pair, typename Second>
bool ReadPairs(std::string_view text, std::vector<Pair>* out) {
  if (text == "-") return true;
  while (!text.empty()) {
    std::string_view pair = Next(&text, ';');
    uint8_t stage = 0;
    Second second = 0;
    if (!ReadNumber(Next(&pair, '.'), &stage) || !ReadNumber(pair, &second) ||
        stage >= Stages().size()) {
      return false;
    }
    out->push_back(Pair{stage, second});
  }
  return true;
}

template <typename Pairs, typename Get>
void WritePairs(std::string* out, const Pairs& pairs, Get second) {
  if (pairs.empty()) *out += '-';
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (i > 0) *out += ';';
    *out += std::to_string(pairs[i].stage) + "." + std::to_string(second(pairs[i]));
  }
}

}  // namespace

std::string EncodeResult(const SeedResult& result) {
  std::string line = "R " + std::to_string(result.seed) + (result.passed ? " 1 " : " 0 ");
  for (std::size_t i = 0; i < result.milestones.size(); ++i) {
    line += (i > 0 ? "," : "") + std::to_string(result.milestones[i]);
  }
  line += " " + std::to_string(result.shot) + " " + std::to_string(result.gotAway) + " " +
          std::to_string(result.tornDown) + " ";
  WritePairs(&line, result.branches.drawn, [](const Branches::Drawn& d) { return int{d.pick}; });
  line += ' ';
  WritePairs(&line, result.branches.spoken, [](const Branches::Spoken& s) { return int{s.line}; });
  line += ' ';
  for (const char c : result.failure) {
    if (c == '\\') {
      line += "\\\\";
    } else if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else {
      line += c;
    }
  }
  return line;
}

std::optional<SeedResult> DecodeResult(std::string_view line) {
  SeedResult result;
  if (Next(&line, ' ') != "R" || !ReadNumber(Next(&line, ' '), &result.seed)) return std::nullopt;
  const std::string_view passed = Next(&line, ' ');
  if (passed != "0" && passed != "1") return std::nullopt;
  result.passed = passed == "1";
  std::string_view counts = Next(&line, ' ');
  for (int& count : result.milestones) {
    if (!ReadNumber(Next(&counts, ','), &count)) return std::nullopt;
  }
  if (!counts.empty() || !ReadNumber(Next(&line, ' '), &result.shot) ||
      !ReadNumber(Next(&line, ' '), &result.gotAway) ||
      !ReadNumber(Next(&line, ' '), &result.tornDown) ||
      !ReadPairs<Branches::Drawn, uint8_t>(Next(&line, ' '), &result.branches.drawn) ||
      !ReadPairs<Branches::Spoken, uint16_t>(Next(&line, ' '), &result.branches.spoken)) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\' || i + 1 == line.size()) {
      result.failure += line[i];
      continue;
    }
    const char escaped = line[++i];
    result.failure += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped;
  }
  return result;
}

}  // namespace sim::sweep
