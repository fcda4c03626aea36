#include "sim/scenario/duration.h"

#include <array>
#include <utility>
#include <vector>

#include "sim/scenario/line_parser.h"

namespace sim {

std::string FormatScenarioDuration(int64_t ms) {
  struct Part {
    int64_t ms;
    const char* unit;
  };
  static constexpr std::array<Part, 4> kParts = {
      {{3600000, "h"}, {60000, "min"}, {1000, "s"}, {1, "ms"}}};
  if (ms <= 0) return "0s";
  std::string text;
  for (const Part& part : kParts) {
    if (ms >= part.ms) text += std::to_string(ms / part.ms) + part.unit;
    ms %= part.ms;
  }
  return text;
}

std::optional<int64_t> ParseDuration(std::string_view text, std::string* error) {
  std::vector<lang::Token> tokens = lang::Tokenize(text);
  ParseError failure;
  if (tokens.empty()) {
    *error = "expected a duration such as 2s";
    return std::nullopt;
  }
  lang::LineParser p(std::move(tokens), &failure);
  int64_t ms = 0;
  if (!p.Duration(&ms) || !p.End()) {
    *error = failure.what + " near '" + failure.near + "'; expected " + failure.expected +
             (failure.hint.empty() ? "" : "; " + failure.hint);
    return std::nullopt;
  }
  return ms;
}

}  // namespace sim
