// What a run with the real plug-in records for its replay page, checked
// against the same run's timeline.
#include "sim/run/replay_recorder.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <variant>
#include <vector>

#include "sim/run/runner.h"
#include "sim/scenario/builtin.h"
#include "sim/scenario/scenario.h"

namespace sim {
namespace {

// The stamp's simulated time in microseconds, truncated to milliseconds as
// the stamp is; -1 for a line without one.
int64_t StampUs(const std::string& line) {
  static const std::regex stamp(R"(^\d\d:\d\d  (\d+):(\d\d)\.(\d{3})  )");
  std::smatch m;
  if (!std::regex_search(line, m, stamp)) return -1;
  return ((std::stoll(m[1]) * 60 + std::stoll(m[2])) * 1000 + std::stoll(m[3])) * 1000;
}

TEST(ReplayRecorderTest, TheRobberyAsTheTimelineTellsIt) {
  const Scenario scenario =
      std::get<Scenario>(ParseScenario(FindBuiltinScenario("robbery")->text, "robbery", "robbery"));
  RunOptions options;
  options.pluginPath = HOMESTEAD_PLUGIN_PATH;
  options.replay = true;
  std::vector<std::string> timeline;
  const RunReport report = RunScenario(
      scenario, options, [&timeline](const std::string& line) { timeline.push_back(line); });
  ASSERT_TRUE(report.passed) << report.failure;
  const ReplayData& data = report.replay;
  EXPECT_EQ(data.timeline, timeline);
  EXPECT_EQ(data.milestones.size(), report.milestones.size());

  // Kept where the motion changes: a handful of keys for thousands of frames.
  EXPECT_LT(data.player.size(), 60u);
  EXPECT_EQ(data.player.back().us, data.endUs);

  std::map<std::string, int64_t> created;  // "occupant K" -> stamp
  std::vector<std::pair<int64_t, std::string>> spoken;
  const std::regex creation(R"(  (occupant \d+) created )");
  const std::regex says(R"(  ((?:the player|occupant \d+) says .*)$)");
  for (const std::string& line : timeline) {
    std::smatch m;
    if (std::regex_search(line, m, creation)) created[m[1]] = StampUs(line);
    if (std::regex_search(line, m, says)) spoken.emplace_back(StampUs(line), m[1]);
  }
  ASSERT_EQ(data.occupants.size(), 6u);
  std::map<std::string, std::string> lastState;
  for (const ReplayOccupant& occupant : data.occupants) {
    const std::string name = "occupant " + std::to_string(occupant.index);
    ASSERT_FALSE(occupant.states.empty());
    EXPECT_EQ(occupant.states.front().first / 1000 * 1000, created[name]) << name;
    EXPECT_EQ(occupant.states.front().second, "alive");
    EXPECT_EQ(occupant.track.front().us, occupant.states.front().first) << name;
    for (const auto& [us, state] : occupant.states) lastState[name] += std::string(state) + " ";
  }
  // Five shot where they stood (dead, then removed with the teardown), the
  // last one fled and got away.
  for (int k = 0; k < 5; ++k)
    EXPECT_EQ(lastState["occupant " + std::to_string(k)], "alive dead gone ");
  EXPECT_EQ(lastState["occupant 5"], "alive fleeing gone ");

  ASSERT_EQ(data.speech.size(), spoken.size());
  for (std::size_t i = 0; i < spoken.size(); ++i) {
    EXPECT_EQ(data.speech[i].fromUs / 1000 * 1000, spoken[i].first);
    EXPECT_EQ(data.speech[i].text, spoken[i].second);
    ASSERT_TRUE(data.speech[i].toUs);
    EXPECT_GT(*data.speech[i].toUs, data.speech[i].fromUs);
  }
  ASSERT_EQ(data.money.size(), 1u);
  EXPECT_TRUE(data.money[0].toUs);
}

}  // namespace
}  // namespace sim
