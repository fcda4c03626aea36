// The words of a scenario line: tokens split at whitespace, with commas and
// parentheses standing alone; numbers read strictly; and near misses of a
// known word, for "did you mean" hints.
#ifndef HOMESTEAD_SIM_SCENARIO_LEXER_H
#define HOMESTEAD_SIM_SCENARIO_LEXER_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim::lang {

struct Token {
  std::string_view text;
  int column;  // 1-based byte column
};

// Splits one line, comment removed, into tokens.
std::vector<Token> Tokenize(std::string_view line);

// `text` without leading blanks and trailing blanks or carriage return.
std::string_view Trim(std::string_view text);

// Length of the leading number of `text`: [-]digits[.digits].
std::size_t NumberPrefix(std::string_view text);

enum class NumberRead : uint8_t { kNumber, kNotANumber, kOutOfRange };

// Reads all of `text` as a number. One too large (or too small) for a double,
// whatever its digits, is out of range rather than infinite, so that a range
// check decides about it and nothing is computed with it.
NumberRead ToDouble(std::string_view text, double* out);

// Edit distance between `a` and `b`, ignoring case: an insertion, a
// deletion, a substitution or a swap of two neighbours counts one.
std::size_t EditDistance(std::string_view a, std::string_view b);

// "did you mean 'wait'?" when `word` is a near miss (one edit for a short
// word, two for a longer one) of one or two of the `known` words; else "".
std::string DidYouMean(std::string_view word, std::span<const std::string_view> known);

}  // namespace sim::lang

#endif  // HOMESTEAD_SIM_SCENARIO_LEXER_H
