// Reads the parts of one scenario line, token by token: words, numbers with
// units and limits, clock times, homestead ids, milestones and positions.
// The first problem is recorded as a ParseError (column, text near it, what
// was expected, and a hint for a near miss) and every later read stops.
#ifndef HOMESTEAD_SIM_SCENARIO_LINE_PARSER_H
#define HOMESTEAD_SIM_SCENARIO_LINE_PARSER_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/base/milestone.h"
#include "sim/scenario/lexer.h"
#include "sim/scenario/scenario.h"

namespace sim::lang {

struct Unit {
  std::string_view name;
  double factor;  // to milliseconds, metres or metres per second
};

// A spelling people write for a unit that the language spells otherwise.
struct UnitAlias {
  std::string_view written;
  std::string_view unit;
};

// Reads one line. Every reading member returns false after recording the
// first error; the caller stops at that error.
class LineParser {
 public:
  LineParser(std::vector<Token> tokens, ParseError* error)
      : tokens_(std::move(tokens)), error_(error) {}

  bool AtEnd() const { return next_ >= tokens_.size(); }
  const Token& Peek() const { return tokens_[next_]; }
  const Token& Take() { return tokens_[next_++]; }
  bool PeekIs(std::string_view word) const { return !AtEnd() && Peek().text == word; }
  // The line as written from the next token to its last one, which are all
  // taken: text that commas or parentheses must not split, such as a path.
  std::string_view TakeRest() {
    if (AtEnd()) return {};
    const char* const begin = Peek().text.data();
    const Token& last = tokens_.back();
    next_ = tokens_.size();
    return {begin, static_cast<std::size_t>(last.text.data() + last.text.size() - begin)};
  }

  // Records the error at `token`; always false.
  bool Fail(const Token& token, std::string what, std::string expected, std::string hint = "");

  // Fails at the next token, an unknown word, with the nearest of `known`.
  bool FailUnknown(std::string what, std::string expected, std::span<const std::string_view> known);

  // Fails at the next token, or after the last one when the line has ended.
  bool FailHere(std::string what, std::string expected);

  // Each of these reads what its name says from the next tokens, or fails.
  bool Word(std::string_view word);
  bool End();
  bool Integer(int* out, int min, int max, std::string_view what);
  bool Seed(uint32_t* out);
  bool Coordinate(double* out);
  bool Duration(int64_t* out);
  bool DistanceValue(double* out);
  bool Speed(double* out);
  bool Clock(int* minutes);
  bool HomesteadId(int* out);

  // "homestead N"
  bool NamedHomestead(int* out) { return Word("homestead") && HomesteadId(out); }

  // An optional trailing "of homestead N"; `*out` keeps its value without one.
  bool OptionalOfHomestead(int* out);
  bool MilestoneName(Milestone* out);
  // x y z, "homestead N", "loot of homestead N" or "150m south of homestead N".
  bool PositionValue(Position* out);

  // "x y z", with or without commas between the numbers and parentheses
  // around them, as the timeline prints a position.
  bool PointValue(Position* out);
  // " at SPEED", or the default ride speed.
  bool OptionalSpeed(double* out);

 private:
  // A number with a unit from `units`, written together ("2s") or apart
  // ("2 s"); with `compound`, several pairs in one token add up ("1h30min").
  // The result is scaled to the units' base and must lie within `min` and
  // `max`, which `range` says in words. Each number is checked against the
  // limit before it is scaled and the sum after each addition, so that
  // neither can grow past twice the limit. A unit spelt as in `aliases`
  // ("hours") or close to a real one gets the real one suggested.
  bool Quantity(std::span<const Unit> units, std::span<const UnitAlias> aliases,
                std::string_view noun, std::string_view example, bool compound, double min,
                double max, const std::string& range, double* out);

  std::vector<Token> tokens_;
  std::size_t next_ = 0;
  ParseError* error_;
};

}  // namespace sim::lang

#endif  // HOMESTEAD_SIM_SCENARIO_LINE_PARSER_H
