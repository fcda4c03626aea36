#include "sim/scenario/scenario.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "sim/scenario/builtin.h"
#include "support/catalogue_reads.h"

namespace sim {
namespace {

std::string ParseFailure(std::string_view text) {
  const ParseResult result = ParseScenario(text, "bad.scn", "bad");
  const auto* error = std::get_if<ParseError>(&result);
  if (error == nullptr) return "(parsed without error)";
  return error->Format();
}

Scenario ParseOk(std::string_view text) {
  ParseResult result = ParseScenario(text, "good.scn", "good");
  if (const auto* error = std::get_if<ParseError>(&result)) {
    ADD_FAILURE() << error->Format();
    return {};
  }
  return std::get<Scenario>(std::move(result));
}

TEST(ScenarioParserTest, MalformedLinesNameFileLineColumnTextAndExpectation) {
  struct Case {
    std::string text;
    std::string message;
  };
  const std::string unknown = std::to_string(homestead::catalogue::UnknownId());
  const Case cases[] = {
      {"# a comment\n\njump over the fence\n",
       "bad.scn:3:1: error: unknown action near 'jump'; expected a setting (name, about, seed, "
       "clock, homestead, start) or an action (ride, wait, shoot, take, advance, set, suppress, "
       "reload, expect)"},
      {"wait 2s\n  leap\n",
       "bad.scn:2:3: error: unknown action near 'leap'; expected an action: ride, wait, shoot, "
       "take, advance, set, suppress, reload or expect"},
      {"wait 30\n",
       "bad.scn:1:6: error: duration without a unit near '30'; expected a unit: ms, s, min or h"},
      {"wait 2s 3s\n", "bad.scn:1:9: error: unexpected text near '3s'; expected end of line"},
      {"ride towards homestead 1 to 20m at 5kph\n",
       "bad.scn:1:36: error: unknown unit near '5kph'; expected a unit: m/s"},
      {"ride towards homestead " + unknown + " to 20m\n",
       "bad.scn:1:24: error: unknown homestead near '" + unknown +
           "'; expected a homestead id: " + homestead::catalogue::IdList()},
      {"ride to homestead 1 at 0m/s\n",
       "bad.scn:1:24: error: speed out of range near '0m/s'; expected a speed from 0.1 to 100 m/s"},
      {"ride towards homestead 1 18m\n",
       "bad.scn:1:26: error: unexpected word near '18m'; expected 'to'"},
      {"ride to 2600 1690\n",
       "bad.scn:1:14: error: line ends too early near '1690'; expected a coordinate in metres"},
      {"ride to 150m up of homestead 1\n",
       "bad.scn:1:14: error: unknown compass point near 'up'; expected north, northeast, east, "
       "southeast, south, southwest, west or northwest"},
      {"wait\n",
       "bad.scn:1:1: error: line ends too early near 'wait'; expected a duration such as 2s, or "
       "'for' and a milestone"},
      {"wait for victory\n",
       "bad.scn:1:10: error: unknown milestone near 'victory'; expected a milestone: startup, "
       "spawned, money-stack, approach, home-blip-removed, confrontation, attack, surrender, "
       "flight, got-away, outcome, loot-blip-removed, teardown, restored"},
      {"clock 24:00\n",
       "bad.scn:1:7: error: invalid clock time near '24:00'; expected a time HH:MM from 00:00 to "
       "23:59"},
      {"wait 1s  # already playing\nclock 10:00\n",
       "bad.scn:2:1: error: setting after the first action near 'clock'; expected settings before "
       "the first action"},
      {"seed 1\nseed 2\n",
       "bad.scn:2:1: error: setting given twice near 'seed'; expected each setting at most once"},
      {"seed 4294967296\n",
       "bad.scn:1:6: error: invalid seed near '4294967296'; expected a whole number from 0 to "
       "4294967295"},
      {"suppress maybe\n",
       "bad.scn:1:10: error: unknown switch near 'maybe'; expected 'on' or 'off'"},
      {"wait -2s\n",
       "bad.scn:1:6: error: duration out of range near '-2s'; expected a duration from 0 to 48h"},
      // Every number within its limits, however many digits it has; nothing
      // is computed with one outside them.
      {"wait 9999999999h\n",
       "bad.scn:1:6: error: duration out of range near '9999999999h'; expected a duration from 0 "
       "to 48h"},
      {"wait for attack up to 9999999999h\n",
       "bad.scn:1:23: error: duration out of range near '9999999999h'; expected a duration from "
       "0 to 48h"},
      {"wait for attack up to 12345678901234567890123ms\n",
       "bad.scn:1:23: error: duration out of range near '12345678901234567890123ms'; expected a "
       "duration from 0 to 48h"},
      {"wait 1000h\n",
       "bad.scn:1:6: error: duration out of range near '1000h'; expected a duration from 0 to "
       "48h"},
      {"wait -0s5h\n",
       "bad.scn:1:6: error: duration out of range near '-0s5h'; expected a duration from 0 to 48h"},
      {"wait 47h61min\n",
       "bad.scn:1:6: error: duration out of range near '47h61min'; expected a duration from 0 to "
       "48h"},
      {"advance clock 49h\n",
       "bad.scn:1:15: error: duration out of range near '49h'; expected a duration from 0 to 48h"},
      {"ride to homestead 1 at 0.05m/s\n",
       "bad.scn:1:24: error: speed out of range near '0.05m/s'; expected a speed from 0.1 to 100 "
       "m/s"},
      {"ride towards homestead 1 to 20m at 101 m/s\n",
       "bad.scn:1:36: error: speed out of range near '101'; expected a speed from 0.1 to 100 m/s"},
      {"ride away from homestead 1 to 100000.5m\n",
       "bad.scn:1:31: error: distance out of range near '100000.5m'; expected a distance from 0 "
       "to 100000 m"},
      {"start at 250000m north of homestead 1\n",
       "bad.scn:1:10: error: distance out of range near '250000m'; expected a distance from 0 to "
       "100000 m"},
      {"ride to 2600 -100001 115\n",
       "bad.scn:1:14: error: coordinate out of range near '-100001'; expected a coordinate from "
       "-100000 to 100000 m"},
      {"ride to 0 1e999 0\n",
       "bad.scn:1:11: error: coordinate out of range near '1e999'; expected a coordinate from "
       "-100000 to 100000 m"},
      {"ride to 0 nan 0\n",
       "bad.scn:1:11: error: invalid coordinate near 'nan'; expected a number such as 2610.5"},
      {"shoot occupant 99999999999999999999\n",
       "bad.scn:1:16: error: invalid occupant index near '99999999999999999999'; expected "
       "occupant index from 0 to 99"},
      // Near misses get the word they were probably meant to be.
      {"\xEF\xBB\xBFWait 2s\n",
       "bad.scn:1:1: error: unknown action near 'Wait'; expected a setting (name, about, seed, "
       "clock, homestead, start) or an action (ride, wait, shoot, take, advance, set, suppress, "
       "reload, expect); did you mean 'wait'?"},
      {"wait 1s\nshot all\n",
       "bad.scn:2:1: error: unknown action near 'shot'; expected an action: ride, wait, shoot, "
       "take, advance, set, suppress, reload or expect; did you mean 'shoot'?"},
      {"wait for surender\n",
       "bad.scn:1:10: error: unknown milestone near 'surender'; expected a milestone: startup, "
       "spawned, money-stack, approach, home-blip-removed, confrontation, attack, surrender, "
       "flight, got-away, outcome, loot-blip-removed, teardown, restored; did you mean "
       "'surrender'?"},
      {"wait 6 hours\n",
       "bad.scn:1:8: error: unknown unit near 'hours'; expected a unit: ms, s, min or h; did you "
       "mean 'h'?"},
      {"wait 2m\n",
       "bad.scn:1:6: error: unknown unit near '2m'; expected a unit: ms, s, min or h; did you mean "
       "'min'?"},
      {"wait for attack up to 1h30mins\n",
       "bad.scn:1:23: error: unknown unit near '1h30mins'; expected a unit: ms, s, min or h; did "
       "you mean 'min'?"},
      {"ride towards homestead 1 to 20 meters\n",
       "bad.scn:1:32: error: unknown unit near 'meters'; expected a unit: m; did you mean 'm'?"},
      {"ride to 150 metres south of homestead 1\n",
       "bad.scn:1:13: error: unknown unit near 'metres'; expected a unit: m; did you mean 'm'?"},
      {"ride to homestead 1 at 4 mps\n",
       "bad.scn:1:26: error: unknown unit near 'mps'; expected a unit: m/s; did you mean 'm/s'?"},
      {"ride toward homestead 1 to 20m\n",
       "bad.scn:1:6: error: unknown ride near 'toward'; expected 'to', 'towards' or 'away from'; "
       "did you mean 'towards'?"},
      {"ride to 150m sout of homestead 1\n",
       "bad.scn:1:14: error: unknown compass point near 'sout'; expected north, northeast, east, "
       "southeast, south, southwest, west or northwest; did you mean 'south'?"},
      {"suppress of\n",
       "bad.scn:1:10: error: unknown switch near 'of'; expected 'on' or 'off'; did you mean 'on' "
       "or 'off'?"},
      {"set clok 10:00\n",
       "bad.scn:1:5: error: unexpected word near 'clok'; expected 'clock HH:MM' or 'hour H'; did "
       "you mean 'clock'?"},
      {"shoot occupnt 2\n",
       "bad.scn:1:7: error: unknown target near 'occupnt'; expected 'occupant N', 'all' or 'all "
       "but one'; did you mean 'occupant'?"},
      {"ride to (2600, 1690 115\n",
       "bad.scn:1:21: error: line ends too early near '115'; expected ')'"},
      {"ride to 2600, 1690, 115,\n",
       "bad.scn:1:24: error: unexpected text near ','; expected end of line"},
      // Nothing to play is an error, not a run that passes.
      {"",
       "bad.scn:1:1: error: the scenario has no actions; expected at least one action, such "
       "as 'wait 10s'"},
      {"\xEF\xBB\xBFname idle\nclock 10:00\n",
       "bad.scn:3:1: error: the scenario has no actions; expected at least one action, such as "
       "'wait 10s'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseFailure(c.text), c.message);
  }
  // A duration of 300 digits, the one in the report.
  EXPECT_EQ(ParseFailure("wait " + std::string(300, '9') + "s\n"),
            "bad.scn:1:6: error: duration out of range near '" + std::string(300, '9') +
                "s'; expected a duration from 0 to 48h");
}

TEST(ScenarioParserTest, ReadsSettingsActionsUnitsAndDefaults) {
  const Scenario s = ParseOk(
      "\xEF\xBB\xBFname test-ride   # settings first; a byte-order mark before\n"
      "about a test ride, # and a comment\n"
      "seed 42\n"
      "clock 21:45\n"
      "homestead 7\n"
      "start at 120m northeast of homestead 7\n"
      "\n"
      "ride to loot of homestead 7 at 1.5 m/s\n"
      "wait 1h30min\n"
      "wait for surrender\n"
      "wait for outcome up to 2 min\n"
      "shoot occupant 3\n"
      "shoot all but one of homestead 1\n"
      "set hour 3\n"
      "advance clock 90min\n"
      "ride away from homestead 7 to 130m\n"
      "expect no got-away\n"
      "ride to 2626.33, 1545.28, 115.69   # as the timeline prints positions\n"
      "ride to (2626.33,1545.28, -1.5) at 2m/s\n"
      "wait 47h60min   # the limits themselves\n"
      "ride to -100000 100000 0 at 0.1m/s\n");
  EXPECT_EQ(s.name, "test-ride");
  EXPECT_EQ(s.about, "a test ride,");
  EXPECT_EQ(s.seed, 42u);
  EXPECT_EQ(s.clockMinutes, 21 * 60 + 45);
  EXPECT_EQ(s.homestead, 7);
  const Vec3 centre = FindHomestead(7)->centre;
  const Vec3 start = s.start.Resolve();
  EXPECT_NEAR(start.x - centre.x, 120 / std::sqrt(2.0), 1e-9);
  EXPECT_NEAR(start.y - centre.y, 120 / std::sqrt(2.0), 1e-9);
  EXPECT_EQ(start.z, centre.z);

  ASSERT_EQ(s.actions.size(), 14u);
  const Action& ride = s.actions[0];
  EXPECT_EQ(ride.line, 8);
  EXPECT_EQ(ride.text, "ride to loot of homestead 7 at 1.5 m/s");
  EXPECT_EQ(ride.speed, 1.5);
  EXPECT_EQ(ride.target.Resolve().z, FindHomestead(7)->loot.z);
  EXPECT_EQ(s.actions[1].durationMs, 90 * 60 * 1000);
  EXPECT_EQ(s.actions[2].durationMs, kDefaultWaitForLimitMs);
  EXPECT_EQ(s.actions[2].milestone, Milestone::kSurrender);
  EXPECT_EQ(s.actions[3].durationMs, 2 * 60 * 1000);
  EXPECT_EQ(s.actions[4].homestead, 7);  // the scenario's homestead by default
  EXPECT_EQ(s.actions[4].occupant, 3);
  EXPECT_EQ(s.actions[5].kind, Action::Kind::kShootAllButOne);
  EXPECT_EQ(s.actions[5].homestead, 1);
  EXPECT_EQ(s.actions[6].clockMinutes, 3 * 60);
  EXPECT_EQ(s.actions[7].durationMs, 90 * 60 * 1000);
  EXPECT_EQ(s.actions[8].speed, kDefaultRideSpeed);
  EXPECT_EQ(s.actions[8].distance, 130.0);
  EXPECT_EQ(s.actions[9].kind, Action::Kind::kExpectNo);
  EXPECT_EQ(s.actions[9].milestone, Milestone::kGotAway);
  for (const Action& copied : {s.actions[10], s.actions[11]}) {
    SCOPED_TRACE(copied.text);
    EXPECT_EQ(copied.target.kind, Position::Kind::kPoint);
    EXPECT_EQ(copied.target.point.x, 2626.33);
    EXPECT_EQ(copied.target.point.y, 1545.28);
  }
  EXPECT_EQ(s.actions[10].target.point.z, 115.69);
  EXPECT_EQ(s.actions[11].target.point.z, -1.5);
  EXPECT_EQ(s.actions[11].speed, 2.0);
  EXPECT_EQ(s.actions[12].durationMs, kMaxDurationMs);
  EXPECT_EQ(s.actions[13].target.point.x, -kMaxCoordinate);
  EXPECT_EQ(s.actions[13].speed, kMinSpeed);
}

TEST(ScenarioFileTest, AFileThatCannotBeReadSaysWhy) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("scenario_file_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path locked = dir / "locked.scn";
  std::ofstream(locked) << "wait 1s\n";
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  struct Case {
    std::filesystem::path path;
    const char* reason;
  };
  std::vector<Case> cases = {{dir, "Is a directory"},
                             {dir / "missing.scn", "No such file or directory"}};
  // Permissions do not bind the superuser.
  if (::geteuid() != 0) cases.push_back({locked, "Permission denied"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string error;
    EXPECT_EQ(ReadScenarioFile(c.path.string(), &error), std::nullopt);
    EXPECT_EQ(error, "cannot read scenario file '" + c.path.string() + "': " + c.reason);
  }
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  std::string error;
  EXPECT_EQ(ReadScenarioFile(locked.string(), &error), "wait 1s\n") << error;
  std::filesystem::remove_all(dir);
}

TEST(ScenarioParserTest, WithoutSettingsStartsSouthOfHomesteadOneAtNoon) {
  const Scenario s = ParseOk("wait 1s\n");
  EXPECT_EQ(s.name, "good");
  EXPECT_EQ(s.clockMinutes, 12 * 60);
  const Vec3 centre = FindHomestead(1)->centre;
  const Vec3 start = s.start.Resolve();
  EXPECT_EQ(start.x, centre.x);
  EXPECT_EQ(start.y, centre.y - kDefaultStartDistance);
}

TEST(BuiltinScenarioTest, EveryOneParsesUnderItsOwnNameAndTheDefaultComesFirst) {
  ASSERT_FALSE(BuiltinScenarios().empty());
  EXPECT_EQ(BuiltinScenarios().front().name, "robbery");
  std::set<std::string_view> names;
  for (const BuiltinScenario& builtin : BuiltinScenarios()) {
    SCOPED_TRACE(builtin.name);
    EXPECT_TRUE(names.insert(builtin.name).second) << "listed twice";
    const ParseResult result = ParseScenario(builtin.text, builtin.name, "");
    const auto* scenario = std::get_if<Scenario>(&result);
    ASSERT_NE(scenario, nullptr) << std::get<ParseError>(result).Format();
    EXPECT_EQ(scenario->name, builtin.name);
    EXPECT_FALSE(scenario->about.empty());
    EXPECT_TRUE(scenario->seedGiven);
    EXPECT_EQ(FindBuiltinScenario(builtin.name), &builtin);
  }
  EXPECT_EQ(FindBuiltinScenario("no-such-scenario"), nullptr);
}

}  // namespace
}  // namespace sim
