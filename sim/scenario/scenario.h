// Scenarios: what the player does in a simulated run, one action per line.
//
// A scenario is a short text in a line-based language (documented with
// examples in sim/scenario/SCENARIOS.md and in --help): settings such as the start
// clock and the player's start position come first, then actions in the
// order they are played: rides, waits, shots, taking the money, clock moves,
// suppression switches and milestone checks. ParseScenario turns such a text
// into a Scenario, or into a ParseError naming the file, line and column, the
// offending text and what was expected there. The positions, durations and
// file reading it uses have headers of their own, included here.
#ifndef HOMESTEAD_SIM_SCENARIO_SCENARIO_H
#define HOMESTEAD_SIM_SCENARIO_SCENARIO_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "sim/base/milestone.h"
#include "sim/scenario/duration.h"
#include "sim/scenario/position.h"
#include "sim/scenario/scenario_file.h"

namespace sim {

struct Action {
  enum class Kind : uint8_t {
    kRideTo,          // ride to <position> [at <speed>]
    kRideTowards,     // ride towards homestead N to <distance> [at <speed>]
    kRideAway,        // ride away from homestead N to <distance> [at <speed>]
    kWait,            // wait <duration>
    kWaitFor,         // wait for <milestone> [up to <duration>]
    kShootOccupant,   // shoot occupant K [of homestead N]
    kShootAll,        // shoot all [of homestead N]
    kShootAllButOne,  // shoot all but one [of homestead N]
    kTakeMoney,       // take money [of homestead N]
    kAdvanceClock,    // advance clock <duration>
    kSetClock,        // set clock HH:MM | set hour H
    kSuppress,        // suppress on|off
    kReload,          // reload [from PATH]
    kExpect,          // expect <milestone>
    kExpectNo,        // expect no <milestone>
  };
  Kind kind = Kind::kWait;
  int line = 0;                               // 1-based line in the source
  std::string text;                           // the statement as written, without comment
  Position target;                            // kRideTo
  int homestead = 0;                          // rides towards/away, shots, money
  double distance = 0;                        // kRideTowards, kRideAway: metres from the centre
  double speed = 0;                           // rides: metres per second
  int64_t durationMs = 0;                     // kWait, kWaitFor (limit), kAdvanceClock; at
                                              // most kMaxDurationMs
  int occupant = 0;                           // kShootOccupant
  int clockMinutes = 0;                       // kSetClock: minutes since midnight
  bool on = false;                            // kSuppress
  std::string pluginPath;                     // kReload: another build; empty: the same file
  Milestone milestone = Milestone::kStartup;  // kWaitFor, kExpect, kExpectNo
};

struct Scenario {
  std::string name;    // "robbery"; a file's stem unless it sets one
  std::string about;   // one line for --list and the timeline's header
  std::string source;  // file path, or "built-in"
  uint32_t seed = 1;
  bool seedGiven = false;
  int clockMinutes = 12 * 60;  // start of the game clock, minutes since midnight
  int homestead = 1;           // default for shots and money
  Position start;              // where the player stands at the first frame
  std::vector<Action> actions;
};

inline constexpr double kDefaultRideSpeed = 4.0;        // m/s, a trot
inline constexpr double kDefaultStartDistance = 150.0;  // m south of the homestead
inline constexpr int64_t kDefaultWaitForLimitMs = 10 * 60 * 1000;

// Every number a scenario gives is checked against these limits where it is
// read, so that nothing computed from it can overflow and no single action
// can run for days: durations (waits, `up to` limits, clock moves), distances
// (from a homestead's centre), speeds, and each coordinate of a point.
inline constexpr int64_t kMaxDurationMs = int64_t{48} * 60 * 60 * 1000;
inline constexpr double kMaxDistance = 100000.0;    // m
inline constexpr double kMaxCoordinate = 100000.0;  // m, either way from 0
inline constexpr double kMinSpeed = 0.1;            // m/s
inline constexpr double kMaxSpeed = 100.0;          // m/s

struct ParseError {
  std::string file;
  int line = 0;
  int column = 0;
  std::string what;
  std::string near;  // empty at the end of the file
  std::string expected;
  std::string hint;  // "did you mean 'wait'?" for a near miss, else empty

  // "file:line:column: error: <what> near '<near>'; expected <expected>",
  // then "; <hint>" when there is one.
  std::string Format() const;
};

using ParseResult = std::variant<Scenario, ParseError>;

// Parses `text`; `file` names it in errors and becomes Scenario::source.
// `defaultName` is used when the text has no "name" setting.
ParseResult ParseScenario(std::string_view text, std::string_view file,
                          std::string_view defaultName);

// Formats minutes since midnight as "HH:MM".
std::string FormatClock(int minutes);

}  // namespace sim

#endif  // HOMESTEAD_SIM_SCENARIO_SCENARIO_H
