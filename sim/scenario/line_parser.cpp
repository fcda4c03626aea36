#include "sim/scenario/line_parser.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "sim/base/places.h"

namespace sim::lang {
namespace {

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

}  // namespace

bool LineParser::Fail(const Token& token, std::string what, std::string expected,
                      std::string hint) {
  error_->column = token.column;
  error_->near = std::string(token.text);
  error_->what = std::move(what);
  error_->expected = std::move(expected);
  error_->hint = std::move(hint);
  return false;
}

bool LineParser::FailUnknown(std::string what, std::string expected,
                             std::span<const std::string_view> known) {
  if (AtEnd()) return FailHere("", std::move(expected));
  return Fail(Peek(), std::move(what), std::move(expected), DidYouMean(Peek().text, known));
}

bool LineParser::FailHere(std::string what, std::string expected) {
  if (AtEnd()) return Fail(tokens_.back(), "line ends too early", std::move(expected));
  return Fail(Peek(), std::move(what), std::move(expected));
}

bool LineParser::Word(std::string_view word) {
  if (PeekIs(word)) {
    ++next_;
    return true;
  }
  return FailHere("unexpected word", "'" + std::string(word) + "'");
}

bool LineParser::End() {
  if (AtEnd()) return true;
  return Fail(Peek(), "unexpected text", "end of line");
}

bool LineParser::Integer(int* out, int min, int max, std::string_view what) {
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

bool LineParser::Seed(uint32_t* out) {
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

bool LineParser::Coordinate(double* out) {
  if (AtEnd()) return FailHere("", "a coordinate in metres");
  const std::string range =
      "a coordinate from -" + LimitText(kMaxCoordinate) + " to " + LimitText(kMaxCoordinate) + " m";
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

bool LineParser::Quantity(std::span<const Unit> units, std::span<const UnitAlias> aliases,
                          std::string_view noun, std::string_view example, bool compound,
                          double min, double max, const std::string& range, double* out) {
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
      return Fail(token, first ? "not a number" : "unknown unit", first ? expected : unitsExpected);
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

bool LineParser::Duration(int64_t* out) {
  double ms = 0;
  if (!Quantity(kDurationUnits, kDurationAliases, "duration", "500ms, 2s, 3min or 6h", true, 0.0,
                static_cast<double>(kMaxDurationMs),
                "a duration from 0 to " + FormatScenarioDuration(kMaxDurationMs), &ms)) {
    return false;
  }
  *out = std::llround(ms);  // at most kMaxDurationMs: no overflow
  return true;
}

bool LineParser::DistanceValue(double* out) {
  return Quantity(kDistanceUnits, kDistanceAliases, "distance", "18m", false, 0.0, kMaxDistance,
                  "a distance from 0 to " + LimitText(kMaxDistance) + " m", out);
}

bool LineParser::Speed(double* out) {
  return Quantity(kSpeedUnits, kSpeedAliases, "speed", "4m/s", false, kMinSpeed, kMaxSpeed,
                  "a speed from " + LimitText(kMinSpeed) + " to " + LimitText(kMaxSpeed) + " m/s",
                  out);
}

bool LineParser::Clock(int* minutes) {
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

bool LineParser::HomesteadId(int* out) {
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

bool LineParser::OptionalOfHomestead(int* out) {
  if (!PeekIs("of")) return true;
  ++next_;
  return NamedHomestead(out);
}

bool LineParser::MilestoneName(Milestone* out) {
  const std::string expected = "a milestone: " + MilestoneList();
  if (AtEnd()) return FailHere("", expected);
  const std::optional<Milestone> milestone = MilestoneFromName(Peek().text);
  if (!milestone) return FailUnknown("unknown milestone", expected, MilestoneNames());
  *out = *milestone;
  ++next_;
  return true;
}

bool LineParser::PositionValue(Position* out) {
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

bool LineParser::PointValue(Position* out) {
  out->kind = Position::Kind::kPoint;
  const bool parenthesised = PeekIs("(");
  if (parenthesised) ++next_;
  for (double* coordinate : {&out->point.x, &out->point.y, &out->point.z}) {
    if (coordinate != &out->point.x && PeekIs(",")) ++next_;
    if (!Coordinate(coordinate)) return false;
  }
  return !parenthesised || Word(")");
}

bool LineParser::OptionalSpeed(double* out) {
  *out = kDefaultRideSpeed;
  if (!PeekIs("at")) return true;
  ++next_;
  return Speed(out);
}

}  // namespace sim::lang
