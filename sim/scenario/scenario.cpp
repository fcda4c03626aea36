#include "sim/scenario/scenario.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <utility>

#include "platform/format.h"

namespace sim {
namespace {

struct Token {
  std::string_view text;
  int column;  // 1-based byte column
};

struct Unit {
  std::string_view name;
  double factor;  // to milliseconds, metres or metres per second
};

// A spelling people write for a unit that the language spells otherwise.
struct UnitAlias {
  std::string_view written;
  std::string_view unit;
};

constexpr std::array<Unit, 4> kDurationUnits = {
    {{"ms", 1.0}, {"s", 1e3}, {"min", 6e4}, {"h", 3.6e6}}};
constexpr std::array<Unit, 1> kDistanceUnits = {{{"m", 1.0}}};
constexpr std::array<Unit, 1> kSpeedUnits = {{{"m/s", 1.0}}};

// "m" is metres everywhere else, so a duration in "m" gets "min" suggested.
constexpr std::array<UnitAlias, 16> kDurationAliases = {{
    {"m", "min"},
    {"mins", "min"},
    {"minute", "min"},
    {"minutes", "min"},
    {"hr", "h"},
    {"hrs", "h"},
    {"hour", "h"},
    {"hours", "h"},
    {"sec", "s"},
    {"secs", "s"},
    {"second", "s"},
    {"seconds", "s"},
    {"msec", "ms"},
    {"msecs", "ms"},
    {"millisecond", "ms"},
    {"milliseconds", "ms"},
}};
constexpr std::array<UnitAlias, 4> kDistanceAliases = {
    {{"meter", "m"}, {"meters", "m"}, {"metre", "m"}, {"metres", "m"}}};
constexpr std::array<UnitAlias, 2> kSpeedAliases = {{{"m", "m/s"}, {"mps", "m/s"}}};

constexpr std::array<std::string_view, 8> kActionVerbs = {"ride",    "wait", "shoot",    "take",
                                                          "advance", "set",  "suppress", "expect"};
constexpr std::array<std::string_view, 6> kSettingWords = {"name",  "about",     "seed",
                                                           "clock", "homestead", "start"};

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Edit distance between `a` and `b`, ignoring case: an insertion, a
// deletion, a substitution or a swap of two neighbours counts one.
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

// "did you mean 'wait'?" when `word` is a near miss (one edit for a short
// word, two for a longer one) of one or two of the `known` words; else "".
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

std::string UnitHint(std::string_view written, std::span<const Unit> units,
                     std::span<const UnitAlias> aliases) {
  for (const UnitAlias& alias : aliases) {
    if (EditDistance(alias.written, written) == 0) {  // the same word, case aside
      return "did you mean '" + std::string(alias.unit) + "'?";
    }
  }
  std::vector<std::string_view> names;
  for (const Unit& unit : units) names.push_back(unit.name);
  return DidYouMean(written, names);
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// Commas and parentheses stand alone, so that a position copied from the
// timeline, "(2626.33, 1545.28, 115.69)", reads as its three numbers.
bool IsPunctuation(char c) {
  return c == ',' || c == '(' || c == ')';
}

// Splits one line, comment removed, into whitespace-separated tokens.
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

// Length of the leading number of `text`: [-]digits[.digits].
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

enum class NumberRead : uint8_t { kNumber, kNotANumber, kOutOfRange };

// Reads all of `text` as a number. One too large (or too small) for a double,
// whatever its digits, is out of range rather than infinite, so that a range
// check decides about it and nothing is computed with it.
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

// "0", "100000", "0.1": a limit as the messages give it.
std::string LimitText(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

std::string UnitList(std::span<const Unit> units) {
  std::string list;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (i > 0) list += i + 1 == units.size() ? " or " : ", ";
    list += units[i].name;
  }
  return list;
}

std::string MilestoneList() {
  std::string list;
  for (std::size_t i = 0; i < kMilestoneCount; ++i) {
    if (i > 0) list += ", ";
    list += MilestoneName(MilestoneAt(i));
  }
  return list;
}

std::vector<std::string_view> MilestoneNames() {
  std::vector<std::string_view> names;
  for (std::size_t i = 0; i < kMilestoneCount; ++i) names.push_back(MilestoneName(MilestoneAt(i)));
  return names;
}

constexpr std::string_view kExpectedAction =
    "an action: ride, wait, shoot, take, advance, set, suppress or expect";
constexpr std::string_view kExpectedSettingOrAction =
    "a setting (name, about, seed, clock, homestead, start) or an action (ride, wait, shoot, "
    "take, advance, set, suppress, expect)";

// Parses one line. Every Parse* member returns false after recording the
// first error; the caller stops at that error.
class LineParser {
 public:
  LineParser(std::vector<Token> tokens, ParseError* error)
      : tokens_(std::move(tokens)), error_(error) {}

  bool AtEnd() const { return next_ >= tokens_.size(); }
  const Token& Peek() const { return tokens_[next_]; }
  const Token& Take() { return tokens_[next_++]; }
  bool PeekIs(std::string_view word) const { return !AtEnd() && Peek().text == word; }

  bool Fail(const Token& token, std::string what, std::string expected, std::string hint = "") {
    error_->column = token.column;
    error_->near = std::string(token.text);
    error_->what = std::move(what);
    error_->expected = std::move(expected);
    error_->hint = std::move(hint);
    return false;
  }

  // Fails at the next token, an unknown word, with the nearest of `known`.
  bool FailUnknown(std::string what, std::string expected,
                   std::span<const std::string_view> known) {
    if (AtEnd()) return FailHere("", std::move(expected));
    return Fail(Peek(), std::move(what), std::move(expected), DidYouMean(Peek().text, known));
  }

  // Fails at the next token, or after the last one when the line has ended.
  bool FailHere(std::string what, std::string expected) {
    if (AtEnd()) return Fail(tokens_.back(), "line ends too early", std::move(expected));
    return Fail(Peek(), std::move(what), std::move(expected));
  }

  bool Word(std::string_view word) {
    if (PeekIs(word)) {
      ++next_;
      return true;
    }
    return FailHere("unexpected word", "'" + std::string(word) + "'");
  }

  bool End() {
    if (AtEnd()) return true;
    return Fail(Peek(), "unexpected text", "end of line");
  }

  bool Integer(int* out, int min, int max, std::string_view what) {
    const std::string expected =
        std::string(what) + " from " + std::to_string(min) + " to " + std::to_string(max);
    if (AtEnd()) return FailHere("", expected);
    const Token& token = Peek();
    int value = 0;
    const auto [end, ec] =
        std::from_chars(token.text.data(), token.text.data() + token.text.size(), value);
    if (ec != std::errc() || end != token.text.data() + token.text.size() || value < min ||
        value > max) {
      return Fail(token, "invalid " + std::string(what), expected);
    }
    *out = value;
    ++next_;
    return true;
  }

  bool Seed(uint32_t* out) {
    if (AtEnd()) return FailHere("", "a seed, a whole number");
    const Token& token = Peek();
    const auto [end, ec] =
        std::from_chars(token.text.data(), token.text.data() + token.text.size(), *out);
    if (ec != std::errc() || end != token.text.data() + token.text.size()) {
      return Fail(token, "invalid seed", "a whole number from 0 to 4294967295");
    }
    ++next_;
    return true;
  }

  bool Coordinate(double* out) {
    if (AtEnd()) return FailHere("", "a coordinate in metres");
    const std::string range = "a coordinate from -" + LimitText(kMaxCoordinate) + " to " +
                              LimitText(kMaxCoordinate) + " m";
    double value = 0;
    switch (ToDouble(Peek().text, &value)) {
      case NumberRead::kNotANumber:
        return Fail(Peek(), "invalid coordinate", "a number such as 2610.5");
      case NumberRead::kOutOfRange:
        return Fail(Peek(), "coordinate out of range", range);
      case NumberRead::kNumber:
        break;
    }
    if (value < -kMaxCoordinate || value > kMaxCoordinate) {
      return Fail(Peek(), "coordinate out of range", range);
    }
    *out = value;
    ++next_;
    return true;
  }

  // A number with a unit from `units`, written together ("2s") or apart
  // ("2 s"); with `compound`, several pairs in one token add up ("1h30min").
  // The result is scaled to the units' base and must lie within `min` and
  // `max`, which `range` says in words. Each number is checked against the
  // limit before it is scaled and the sum after each addition, so that
  // neither can grow past twice the limit. A unit spelt as in `aliases`
  // ("hours") or close to a real one gets the real one suggested.
  bool Quantity(std::span<const Unit> units, std::span<const UnitAlias> aliases,
                std::string_view noun, std::string_view example, bool compound, double min,
                double max, const std::string& range, double* out) {
    const std::string kind(noun);
    const std::string expected = "a " + kind + " such as " + std::string(example);
    const std::string unitsExpected = "a unit: " + UnitList(units);
    if (AtEnd()) return FailHere("", expected);
    const Token& token = Take();
    std::string_view rest = token.text;
    double total = 0.0;
    bool first = true;
    while (first || !rest.empty()) {
      const std::size_t numberLength = NumberPrefix(rest);
      if (numberLength == 0) {
        return Fail(token, first ? "not a number" : "unknown unit",
                    first ? expected : unitsExpected);
      }
      double number = 0;
      const NumberRead read = ToDouble(rest.substr(0, numberLength), &number);
      if (read == NumberRead::kNotANumber) return Fail(token, "not a number", expected);
      // "-0s" too: no quantity is written with a sign.
      if (read == NumberRead::kOutOfRange || std::signbit(number)) {
        return Fail(token, kind + " out of range", range);
      }
      rest.remove_prefix(numberLength);
      std::size_t unitLength = 0;
      while (unitLength < rest.size() && NumberPrefix(rest.substr(unitLength)) == 0) ++unitLength;
      std::string_view unitText = rest.substr(0, unitLength);
      rest.remove_prefix(unitLength);
      if (unitText.empty() && first && rest.empty()) {
        for (const Unit& unit : units) {
          if (PeekIs(unit.name)) {
            unitText = Take().text;
            break;
          }
        }
        if (unitText.empty() && !AtEnd()) {
          // "6 hours": the next word is meant as the unit.
          std::string hint = UnitHint(Peek().text, units, aliases);
          if (!hint.empty()) return Fail(Peek(), "unknown unit", unitsExpected, std::move(hint));
        }
        if (unitText.empty()) return Fail(token, kind + " without a unit", unitsExpected);
      }
      const Unit* unit = nullptr;
      for (const Unit& candidate : units) {
        if (candidate.name == unitText) unit = &candidate;
      }
      if (unit == nullptr || (!compound && !rest.empty())) {
        return Fail(token, "unknown unit", unitsExpected,
                    unit == nullptr ? UnitHint(unitText, units, aliases) : "");
      }
      if (number > max / unit->factor) return Fail(token, kind + " out of range", range);
      total += number * unit->factor;
      if (total > max) return Fail(token, kind + " out of range", range);
      first = false;
    }
    if (total < min) return Fail(token, kind + " out of range", range);
    *out = total;
    return true;
  }

  bool Duration(int64_t* out) {
    double ms = 0;
    if (!Quantity(kDurationUnits, kDurationAliases, "duration", "500ms, 2s, 3min or 6h", true, 0.0,
                  static_cast<double>(kMaxDurationMs),
                  "a duration from 0 to " + FormatScenarioDuration(kMaxDurationMs), &ms)) {
      return false;
    }
    *out = std::llround(ms);  // at most kMaxDurationMs: no overflow
    return true;
  }
  bool DistanceValue(double* out) {
    return Quantity(kDistanceUnits, kDistanceAliases, "distance", "18m", false, 0.0, kMaxDistance,
                    "a distance from 0 to " + LimitText(kMaxDistance) + " m", out);
  }
  bool Speed(double* out) {
    return Quantity(kSpeedUnits, kSpeedAliases, "speed", "4m/s", false, kMinSpeed, kMaxSpeed,
                    "a speed from " + LimitText(kMinSpeed) + " to " + LimitText(kMaxSpeed) + " m/s",
                    out);
  }

  bool Clock(int* minutes) {
    const std::string expected = "a time HH:MM from 00:00 to 23:59";
    if (AtEnd()) return FailHere("", expected);
    const Token& token = Peek();
    const std::string_view text = token.text;
    const std::size_t colon = text.find(':');
    int hours = -1;
    int mins = -1;
    if (colon != std::string_view::npos && colon > 0 && text.size() - colon == 3) {
      const auto h = std::from_chars(text.data(), text.data() + colon, hours);
      const auto m = std::from_chars(text.data() + colon + 1, text.data() + text.size(), mins);
      if (h.ptr != text.data() + colon || m.ptr != text.data() + text.size()) hours = -1;
    }
    if (hours < 0 || hours > 23 || mins < 0 || mins > 59) {
      return Fail(token, "invalid clock time", expected);
    }
    *minutes = hours * 60 + mins;
    ++next_;
    return true;
  }

  bool HomesteadId(int* out) {
    const std::string expected = "a homestead id: " + KnownHomesteadIds();
    if (AtEnd()) return FailHere("", expected);
    const Token& token = Peek();
    int id = 0;
    const auto [end, ec] =
        std::from_chars(token.text.data(), token.text.data() + token.text.size(), id);
    if (ec != std::errc() || end != token.text.data() + token.text.size() ||
        FindHomestead(id) == nullptr) {
      return Fail(token, "unknown homestead", expected);
    }
    *out = id;
    ++next_;
    return true;
  }

  // "homestead N"
  bool NamedHomestead(int* out) { return Word("homestead") && HomesteadId(out); }

  // An optional trailing "of homestead N"; `*out` keeps its value without one.
  bool OptionalOfHomestead(int* out) {
    if (!PeekIs("of")) return true;
    ++next_;
    return NamedHomestead(out);
  }

  bool MilestoneName(Milestone* out) {
    const std::string expected = "a milestone: " + MilestoneList();
    if (AtEnd()) return FailHere("", expected);
    const std::optional<Milestone> milestone = MilestoneFromName(Peek().text);
    if (!milestone) return FailUnknown("unknown milestone", expected, MilestoneNames());
    *out = *milestone;
    ++next_;
    return true;
  }

  bool PositionValue(Position* out) {
    constexpr std::string_view kExpected =
        "a position: x y z, 'homestead N', 'loot of homestead N' or '150m south of homestead N'";
    if (AtEnd()) return FailHere("", std::string(kExpected));
    if (PeekIs("(")) return PointValue(out);
    if (PeekIs("homestead")) {
      out->kind = Position::Kind::kCentre;
      return NamedHomestead(&out->homestead);
    }
    if (PeekIs("loot")) {
      ++next_;
      out->kind = Position::Kind::kLoot;
      return Word("of") && NamedHomestead(&out->homestead);
    }
    const Token& first = Peek();
    const std::size_t numberLength = NumberPrefix(first.text);
    if (numberLength == 0) return Fail(first, "not a position", std::string(kExpected));
    // "150m north of ..." or "150 m north of ...": a distance then a compass
    // point; "150 meters" too, to be told the unit.
    const std::string_view second = next_ + 1 < tokens_.size() ? tokens_[next_ + 1].text : "";
    const bool unitFollows = numberLength < first.text.size() || second == "m" ||
                             !UnitHint(second, kDistanceUnits, kDistanceAliases).empty();
    if (unitFollows) {
      out->kind = Position::Kind::kCompass;
      if (!DistanceValue(&out->distance)) return false;
      if (AtEnd()) return FailHere("", "a compass point such as north or southwest");
      if (!CompassFromName(std::string(Peek().text), &out->direction)) {
        return FailUnknown("unknown compass point",
                           "north, northeast, east, southeast, south, southwest, west or northwest",
                           kCompassNames);
      }
      ++next_;
      return Word("of") && NamedHomestead(&out->homestead);
    }
    return PointValue(out);
  }

  // "x y z", with or without commas between the numbers and parentheses
  // around them, as the timeline prints a position.
  bool PointValue(Position* out) {
    out->kind = Position::Kind::kPoint;
    const bool parenthesised = PeekIs("(");
    if (parenthesised) ++next_;
    for (double* coordinate : {&out->point.x, &out->point.y, &out->point.z}) {
      if (coordinate != &out->point.x && PeekIs(",")) ++next_;
      if (!Coordinate(coordinate)) return false;
    }
    return !parenthesised || Word(")");
  }

  bool OptionalSpeed(double* out) {
    *out = kDefaultRideSpeed;
    if (!PeekIs("at")) return true;
    ++next_;
    return Speed(out);
  }

 private:
  std::vector<Token> tokens_;
  std::size_t next_ = 0;
  ParseError* error_;
};

bool ParseAction(LineParser& p, const Token& verb, int defaultHomestead, Action* a) {
  a->homestead = defaultHomestead;
  const std::string_view word = verb.text;
  if (word == "ride") {
    if (p.PeekIs("to")) {
      p.Take();
      a->kind = Action::Kind::kRideTo;
      return p.PositionValue(&a->target) && p.OptionalSpeed(&a->speed) && p.End();
    }
    if (p.PeekIs("towards")) {
      p.Take();
      a->kind = Action::Kind::kRideTowards;
    } else if (p.PeekIs("away")) {
      p.Take();
      a->kind = Action::Kind::kRideAway;
      if (!p.Word("from")) return false;
    } else {
      static constexpr std::array<std::string_view, 3> kRides = {"to", "towards", "away"};
      return p.FailUnknown("unknown ride", "'to', 'towards' or 'away from'", kRides);
    }
    return p.NamedHomestead(&a->homestead) && p.Word("to") && p.DistanceValue(&a->distance) &&
           p.OptionalSpeed(&a->speed) && p.End();
  }
  if (word == "wait") {
    if (p.PeekIs("for")) {
      p.Take();
      a->kind = Action::Kind::kWaitFor;
      a->durationMs = kDefaultWaitForLimitMs;
      if (!p.MilestoneName(&a->milestone)) return false;
      if (p.PeekIs("up")) {
        p.Take();
        if (!p.Word("to") || !p.Duration(&a->durationMs)) return false;
      }
      return p.End();
    }
    a->kind = Action::Kind::kWait;
    if (p.AtEnd()) {
      return p.FailHere("", "a duration such as 2s, or 'for' and a milestone");
    }
    return p.Duration(&a->durationMs) && p.End();
  }
  if (word == "shoot") {
    if (p.PeekIs("occupant")) {
      p.Take();
      a->kind = Action::Kind::kShootOccupant;
      return p.Integer(&a->occupant, 0, 99, "occupant index") &&
             p.OptionalOfHomestead(&a->homestead) && p.End();
    }
    if (!p.PeekIs("all")) {
      static constexpr std::array<std::string_view, 2> kTargets = {"occupant", "all"};
      return p.FailUnknown("unknown target", "'occupant N', 'all' or 'all but one'", kTargets);
    }
    p.Take();
    a->kind = Action::Kind::kShootAll;
    if (p.PeekIs("but")) {
      p.Take();
      a->kind = Action::Kind::kShootAllButOne;
      if (!p.Word("one")) return false;
    }
    return p.OptionalOfHomestead(&a->homestead) && p.End();
  }
  if (word == "take") {
    a->kind = Action::Kind::kTakeMoney;
    return p.Word("money") && p.OptionalOfHomestead(&a->homestead) && p.End();
  }
  if (word == "advance") {
    a->kind = Action::Kind::kAdvanceClock;
    return p.Word("clock") && p.Duration(&a->durationMs) && p.End();
  }
  if (word == "set") {
    a->kind = Action::Kind::kSetClock;
    if (p.PeekIs("hour")) {
      p.Take();
      int hour = 0;
      if (!p.Integer(&hour, 0, 23, "hour")) return false;
      a->clockMinutes = hour * 60;
      return p.End();
    }
    if (!p.PeekIs("clock")) {
      static constexpr std::array<std::string_view, 2> kClockWords = {"clock", "hour"};
      return p.FailUnknown("unexpected word", "'clock HH:MM' or 'hour H'", kClockWords);
    }
    p.Take();
    return p.Clock(&a->clockMinutes) && p.End();
  }
  if (word == "suppress") {
    a->kind = Action::Kind::kSuppress;
    if (p.PeekIs("on") || p.PeekIs("off")) {
      a->on = p.Take().text == "on";
      return p.End();
    }
    static constexpr std::array<std::string_view, 2> kSwitches = {"on", "off"};
    return p.FailUnknown("unknown switch", "'on' or 'off'", kSwitches);
  }
  if (word == "expect") {
    a->kind = Action::Kind::kExpect;
    if (p.PeekIs("no")) {
      p.Take();
      a->kind = Action::Kind::kExpectNo;
    }
    return p.MilestoneName(&a->milestone) && p.End();
  }
  return p.Fail(verb, "unknown action", std::string(kExpectedAction),
                DidYouMean(word, kActionVerbs));
}

// Settings, each at most once and only before the first action.
struct SettingsSeen {
  bool name = false;
  bool about = false;
  bool seed = false;
  bool clock = false;
  bool homestead = false;
  bool start = false;
};

bool IsSetting(std::string_view word) {
  return word == "name" || word == "about" || word == "seed" || word == "clock" ||
         word == "homestead" || word == "start";
}

bool ValidName(std::string_view name) {
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    if (!ok) return false;
  }
  return !name.empty();
}

bool ParseSetting(LineParser& p, const Token& word, std::string_view restOfLine, SettingsSeen& seen,
                  Scenario* s) {
  bool* flag = nullptr;
  if (word.text == "name") flag = &seen.name;
  if (word.text == "about") flag = &seen.about;
  if (word.text == "seed") flag = &seen.seed;
  if (word.text == "clock") flag = &seen.clock;
  if (word.text == "homestead") flag = &seen.homestead;
  if (word.text == "start") flag = &seen.start;
  if (*flag) return p.Fail(word, "setting given twice", "each setting at most once");
  *flag = true;

  if (word.text == "name") {
    if (p.AtEnd()) return p.FailHere("", "a name of lower-case letters, digits and '-'");
    if (!ValidName(p.Peek().text)) {
      return p.Fail(p.Peek(), "invalid name", "lower-case letters, digits and '-'");
    }
    s->name = std::string(p.Take().text);
    return p.End();
  }
  if (word.text == "about") {
    if (p.AtEnd()) return p.FailHere("", "a one-line description");
    s->about = std::string(restOfLine);
    return true;
  }
  if (word.text == "seed") {
    s->seedGiven = true;
    return p.Seed(&s->seed) && p.End();
  }
  if (word.text == "clock") return p.Clock(&s->clockMinutes) && p.End();
  if (word.text == "homestead") return p.HomesteadId(&s->homestead) && p.End();
  return p.Word("at") && p.PositionValue(&s->start) && p.End();
}

}  // namespace

Vec3 Position::Resolve() const {
  if (kind == Kind::kPoint) return point;
  const HomesteadPlace* place = FindHomestead(homestead);
  if (kind == Kind::kLoot) return place->loot;
  if (kind == Kind::kCentre) return place->centre;
  return Offset(place->centre, direction, distance);
}

std::string Position::Describe() const {
  char buffer[96];
  switch (kind) {
    case Kind::kPoint:
      return platform::FixedTriple(point.x, point.y, point.z, " ");
    case Kind::kCentre:
      return "homestead " + std::to_string(homestead);
    case Kind::kLoot:
      return "loot of homestead " + std::to_string(homestead);
    case Kind::kCompass:
      break;
  }
  std::snprintf(buffer, sizeof buffer, "%gm %s of homestead %d", distance,
                std::string(kCompassNames[static_cast<std::size_t>(direction)]).c_str(), homestead);
  return buffer;
}

std::string ParseError::Format() const {
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": error: " + what +
         (near.empty() ? "" : " near '" + near + "'") + "; expected " + expected +
         (hint.empty() ? "" : "; " + hint);
}

std::optional<std::string> ReadScenarioFile(const std::string& path, std::string* error) {
  // A scenario is a few hundred bytes; the cap keeps "--file /dev/zero" from
  // reading forever.
  constexpr std::size_t kMaxBytes = std::size_t{1} << 20;
  const std::string prefix = "cannot read scenario file '" + path + "': ";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = prefix + std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  std::array<char, 4096> buffer;
  errno = 0;
  std::size_t got = 0;
  while (text.size() <= kMaxBytes &&
         (got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
    text.append(buffer.data(), got);
  }
  // A directory opens on some systems and fails only here, with EISDIR.
  const bool failed = std::ferror(file) != 0;
  const int readErrno = errno;
  std::fclose(file);
  if (failed) {
    *error = prefix + std::strerror(readErrno);
    return std::nullopt;
  }
  if (text.size() > kMaxBytes) {
    *error = prefix + "larger than 1 MiB";
    return std::nullopt;
  }
  return text;
}

std::string FormatClock(int minutes) {
  return platform::ClockText(minutes);
}

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
  std::vector<Token> tokens = Tokenize(text);
  ParseError failure;
  if (tokens.empty()) {
    *error = "expected a duration such as 2s";
    return std::nullopt;
  }
  LineParser p(std::move(tokens), &failure);
  int64_t ms = 0;
  if (!p.Duration(&ms) || !p.End()) {
    *error = failure.what + " near '" + failure.near + "'; expected " + failure.expected +
             (failure.hint.empty() ? "" : "; " + failure.hint);
    return std::nullopt;
  }
  return ms;
}

ParseResult ParseScenario(std::string_view text, std::string_view file,
                          std::string_view defaultName) {
  Scenario scenario;
  scenario.source = std::string(file);
  scenario.name = std::string(defaultName);
  SettingsSeen seen;
  ParseError error;
  error.file = std::string(file);

  // Some editors start a UTF-8 file with a byte-order mark; it is no word.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    const std::size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);

    std::vector<Token> tokens = Tokenize(line);
    if (tokens.empty()) continue;
    error.line = lineNumber;
    const Token first = tokens.front();
    LineParser p(std::move(tokens), &error);
    p.Take();

    if (IsSetting(first.text)) {
      if (!scenario.actions.empty()) {
        p.Fail(first, "setting after the first action", "settings before the first action");
        return error;
      }
      const std::string_view rest =
          Trim(line.substr(static_cast<std::size_t>(first.column - 1) + first.text.size()));
      if (!ParseSetting(p, first, rest, seen, &scenario)) return error;
      continue;
    }

    Action action;
    action.line = lineNumber;
    action.text = std::string(Trim(line));
    if (!ParseAction(p, first, scenario.homestead, &action)) {
      if (error.what == "unknown action" && scenario.actions.empty()) {
        // Settings are still allowed, so they are candidates too.
        std::vector<std::string_view> known(kSettingWords.begin(), kSettingWords.end());
        known.insert(known.end(), kActionVerbs.begin(), kActionVerbs.end());
        error.expected = std::string(kExpectedSettingOrAction);
        error.hint = DidYouMean(first.text, known);
      }
      return error;
    }
    scenario.actions.push_back(std::move(action));
  }

  // An empty scenario would play nothing and pass: almost surely the wrong
  // file.
  if (scenario.actions.empty()) {
    error.line = lineNumber + 1;
    error.column = 1;
    error.what = "the scenario has no actions";
    error.expected = "at least one action, such as 'wait 10s'";
    return error;
  }

  if (!seen.start) {
    scenario.start.kind = Position::Kind::kCompass;
    scenario.start.homestead = scenario.homestead;
    scenario.start.direction = Compass::kSouth;
    scenario.start.distance = kDefaultStartDistance;
  }
  return scenario;
}

}  // namespace sim
