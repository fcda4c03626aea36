#include "sim/app/cli.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace sim {
namespace {

std::variant<Options, UsageError> Parse(const std::vector<const char*>& args) {
  return ParseCommandLine(args);
}

TEST(CommandLineTest, ReadsEveryOptionInBothSpellings) {
  const auto parsed =
      Parse({"--scenario", "midnight", "--seed=7", "--trace", "t.jsonl", "--map=m.svg", "--quiet",
             "--realtime", "--plugin", "p.so", "--budget", "1h30min"});
  ASSERT_TRUE(std::holds_alternative<Options>(parsed)) << std::get<UsageError>(parsed).message;
  const Options& o = std::get<Options>(parsed);
  EXPECT_EQ(o.command, Options::Command::kRun);
  EXPECT_EQ(o.scenario, "midnight");
  EXPECT_EQ(o.seed, 7u);
  EXPECT_EQ(o.tracePath, "t.jsonl");
  EXPECT_EQ(o.mapPath, "m.svg");
  EXPECT_EQ(o.pluginPath, "p.so");
  EXPECT_TRUE(o.quiet);
  EXPECT_TRUE(o.realtime);
  EXPECT_EQ(o.budgetMs, 90 * 60 * 1000);
}

TEST(CommandLineTest, WithoutArgumentsPlaysTheDefaultScenario) {
  const Options o = std::get<Options>(Parse({}));
  EXPECT_EQ(o.command, Options::Command::kRun);
  EXPECT_EQ(o.scenario, "robbery");
  EXPECT_FALSE(o.seed.has_value());
  EXPECT_EQ(o.budgetMs, 48 * 60 * 60 * 1000);
}

TEST(CommandLineTest, HelpWinsOverVersionAndList) {
  EXPECT_EQ(std::get<Options>(Parse({"--version", "--list", "--help"})).command,
            Options::Command::kHelp);
  EXPECT_EQ(std::get<Options>(Parse({"--list", "--version"})).command, Options::Command::kVersion);
  EXPECT_EQ(std::get<Options>(Parse({"-V", "--list", "-h"})).command, Options::Command::kHelp);
  EXPECT_EQ(std::get<Options>(Parse({"--list", "-V"})).command, Options::Command::kVersion);
}

TEST(CommandLineTest, UsageErrorsSayWhatIsWrong) {
  struct Case {
    std::vector<const char*> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--bogus"}, "unknown option '--bogus' (try --help)"},
      {{"--seed"}, "option --seed needs a value (try --help)"},
      {{"--map="}, "option --map needs a non-empty value (try --help)"},
      {{"--quiet=yes"}, "option --quiet takes no value (try --help)"},
      {{"--seed", "12x"},
       "invalid seed '12x'; expected a whole number from 0 to 4294967295 (try --help)"},
      {{"--seed", "4294967296"},
       "invalid seed '4294967296'; expected a whole number from 0 to 4294967295 (try --help)"},
      {{"--scenario", "robbery", "--file", "x.scn"},
       "--scenario and --file exclude each other (try --help)"},
      {{"--trace", "out", "--map", "out"}, "--trace and --map name the same file (try --help)"},
      {{"--budget", "49h"},
       "invalid --budget '49h': duration out of range near '49h'; expected a duration from 0 to "
       "48h (try --help)"},
      {{"--budget=0s"}, "invalid --budget '0s': expected a duration above 0 (try --help)"},
      {{"--budget", "5"},
       "invalid --budget '5': duration without a unit near '5'; expected a unit: ms, s, min or h "
       "(try --help)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const auto parsed = Parse(c.args);
    ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
    EXPECT_EQ(std::get<UsageError>(parsed).message, c.message);
  }
}

}  // namespace
}  // namespace sim
