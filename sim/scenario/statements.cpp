#include "sim/scenario/statements.h"

#include <array>
#include <string>

namespace sim::lang {
namespace {

constexpr std::array<std::string_view, 6> kSettingWords = {"name",  "about",     "seed",
                                                           "clock", "homestead", "start"};

constexpr std::string_view kExpectedAction =
    "an action: ride, wait, shoot, take, advance, set, suppress, reload or expect";

bool ParseRide(LineParser& p, Action* a) {
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

bool ParseWait(LineParser& p, Action* a) {
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

bool ParseShoot(LineParser& p, Action* a) {
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

bool ParseTake(LineParser& p, Action* a) {
  a->kind = Action::Kind::kTakeMoney;
  return p.Word("money") && p.OptionalOfHomestead(&a->homestead) && p.End();
}

bool ParseAdvance(LineParser& p, Action* a) {
  a->kind = Action::Kind::kAdvanceClock;
  return p.Word("clock") && p.Duration(&a->durationMs) && p.End();
}

bool ParseSet(LineParser& p, Action* a) {
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

bool ParseSuppress(LineParser& p, Action* a) {
  a->kind = Action::Kind::kSuppress;
  if (p.PeekIs("on") || p.PeekIs("off")) {
    a->on = p.Take().text == "on";
    return p.End();
  }
  static constexpr std::array<std::string_view, 2> kSwitches = {"on", "off"};
  return p.FailUnknown("unknown switch", "'on' or 'off'", kSwitches);
}

bool ParseReload(LineParser& p, Action* a) {
  a->kind = Action::Kind::kReload;
  if (p.AtEnd()) return true;
  if (!p.Word("from")) return false;
  if (p.AtEnd()) return p.FailHere("", "the path of a plug-in library");
  a->pluginPath = std::string(p.TakeRest());
  return true;
}

bool ParseExpect(LineParser& p, Action* a) {
  a->kind = Action::Kind::kExpect;
  if (p.PeekIs("no")) {
    p.Take();
    a->kind = Action::Kind::kExpectNo;
  }
  return p.MilestoneName(&a->milestone) && p.End();
}

struct ActionStatement {
  std::string_view verb;
  bool (*parse)(LineParser& p, Action* a);
};

constexpr std::array<ActionStatement, 9> kActions = {{
    {"ride", ParseRide},
    {"wait", ParseWait},
    {"shoot", ParseShoot},
    {"take", ParseTake},
    {"advance", ParseAdvance},
    {"set", ParseSet},
    {"suppress", ParseSuppress},
    {"reload", ParseReload},
    {"expect", ParseExpect},
}};

constexpr std::array<std::string_view, kActions.size()> kActionVerbs = [] {
  std::array<std::string_view, kActions.size()> verbs{};
  for (std::size_t i = 0; i < kActions.size(); ++i) verbs[i] = kActions[i].verb;
  return verbs;
}();

bool ValidName(std::string_view name) {
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    if (!ok) return false;
  }
  return !name.empty();
}

}  // namespace

std::span<const std::string_view> SettingWords() {
  return kSettingWords;
}

std::span<const std::string_view> ActionVerbs() {
  return kActionVerbs;
}

bool IsSetting(std::string_view word) {
  return word == "name" || word == "about" || word == "seed" || word == "clock" ||
         word == "homestead" || word == "start";
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

bool ParseAction(LineParser& p, const Token& verb, int defaultHomestead, Action* a) {
  a->homestead = defaultHomestead;
  for (const ActionStatement& action : kActions) {
    if (verb.text == action.verb) return action.parse(p, a);
  }
  return p.Fail(verb, "unknown action", std::string(kExpectedAction),
                DidYouMean(verb.text, kActionVerbs));
}

}  // namespace sim::lang
