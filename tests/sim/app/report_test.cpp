// What whole runs with the real plug-in say: the timeline's clock header,
// distances, stages, conversation cases and warnings; the trace's header,
// milestones and filter; and the options that choose them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "sim/app/cli.h"
#include "sim/app/output_file.h"
#include "sim/run/runner.h"
#include "sim/scenario/builtin.h"
#include "sim/scenario/scenario.h"

namespace sim {
namespace {

namespace fs = std::filesystem;

RunReport PlayBuiltin(const std::string& name, std::vector<std::string>* timeline,
                      OutputFile* trace = nullptr, TraceFilter filter = {}) {
  const BuiltinScenario* builtin = FindBuiltinScenario(name);
  const ParseResult parsed = ParseScenario(builtin->text, name, name);
  const Scenario& scenario = std::get<Scenario>(parsed);
  RunOptions options;
  options.pluginPath = HOMESTEAD_PLUGIN_PATH;
  options.seed = scenario.seed;
  if (trace) options.trace = [trace](std::string_view text) { trace->Write(text); };
  options.traceFilter = std::move(filter);
  return RunScenario(scenario, options,
                     [timeline](const std::string& line) { timeline->push_back(line); });
}

std::size_t Count(const std::vector<std::string>& lines, const std::string& part) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
    return l.find(part) != std::string::npos;
  }));
}

TEST(TimelineTest, NamesItsClocksAndGivesDistancesStagesAndConversationCases) {
  std::vector<std::string> lines;
  const RunReport report = PlayBuiltin("robbery", &lines);
  ASSERT_TRUE(report.passed) << report.failure;
  ASSERT_GT(lines.size(), 2u);
  EXPECT_TRUE(lines[1].starts_with("clock  sim time  (clock: the game's time of day")) << lines[1];
  // Every milestone carries the player's distance from its homestead.
  EXPECT_EQ(Count(lines, "  ["), report.milestones.size());
  EXPECT_EQ(Count(lines, " m from homestead "), report.milestones.size());
  EXPECT_EQ(Count(lines, "-> encounter running, player 79.7"), 1u);
  for (const char* stage :
       {"[spawned, occupied stage", "[approach, approach stage",
        "[confrontation, confrontation stage", "[attack, fight stage",
        "[surrender, surrender stage", "[flight, flight stage", "[outcome, outcome stage"}) {
    EXPECT_EQ(Count(lines, stage), 1u) << stage;
  }
  // Approach, confrontation, surrender, parting and closing lines: one case
  // each, told just before its first line.
  for (const char* cases : {"case 0 of cases 0-3 (approach stage",
                            "of cases 0-6 (confrontation stage", "of cases 0-4 (surrender stage",
                            "of cases 0-9 (flight stage", "of cases 0-7 (outcome stage"}) {
    EXPECT_EQ(Count(lines, cases), 1u) << cases;
  }
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].find("conversation drawn") == std::string::npos) continue;
    EXPECT_NE(lines[i + 1].find(" says "), std::string::npos) << lines[i + 1];
  }
  EXPECT_EQ(Count(lines, "warning:"), 1u) << "only the empty scenario name of occupant 0";
}

TEST(TimelineTest, FlagsWhatTheDeadAreToldToDo) {
  std::vector<std::string> lines;
  ASSERT_TRUE(PlayBuiltin("from-afar", &lines).passed);
  // All six are shot before the confrontation: every task, weapon and blip
  // they get after it, and every line they cannot say, is flagged.
  std::size_t flagged = 0;
  for (const std::string& line : lines) {
    const bool toldToDead = line.find(": turns to face") != std::string::npos ||
                            line.find(": attacks") != std::string::npos ||
                            line.find(" draws ") != std::string::npos;
    if (toldToDead) {
      EXPECT_NE(line.find("(warning: he is dead)"), std::string::npos) << line;
      ++flagged;
    }
    if (line.find("cannot say") != std::string::npos) {
      EXPECT_NE(line.find("  warning: occupant 0 is dead"), std::string::npos) << line;
    }
  }
  EXPECT_EQ(flagged, 13u);
}

TEST(TraceRunTest, HeaderMilestonesInlineAndThePollingFilter) {
  const fs::path dir =
      fs::temp_directory_path() / ("sim_report_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  struct Case {
    const char* filter;
    std::size_t minCalls;
    std::size_t maxCalls;
  };
  for (const Case& c : {Case{"all", 60000, 70000}, Case{"-polling", 200, 300}}) {
    SCOPED_TRACE(c.filter);
    const fs::path path = dir / "trace.jsonl";
    std::string error;
    std::unique_ptr<OutputFile> file = OutputFile::Open(path.string(), &error);
    ASSERT_NE(file, nullptr) << error;
    TraceFilter filter;
    if (std::string(c.filter) != "all")
      filter = std::get<TraceFilter>(TraceFilter::Parse(c.filter));
    std::vector<std::string> timeline;
    const RunReport report = PlayBuiltin("robbery", &timeline, file.get(), filter);
    ASSERT_TRUE(report.passed);
    ASSERT_TRUE(file->Finish(&error) && file->Publish(&error)) << error;

    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines[0].starts_with(R"({"trace":"homestead-sim","version":2,)")) << lines[0];
    EXPECT_NE(lines[0].find(std::string(R"("filter":")") + c.filter + "\"}"), std::string::npos);
    EXPECT_NE(lines[0].find(R"("plugin_build":{"bytes":)"), std::string::npos) << lines[0];
    EXPECT_EQ(Count(lines, R"("milestone":)"), report.milestones.size());
    const std::size_t calls = Count(lines, R"("op":)");
    EXPECT_GE(calls, c.minCalls);
    EXPECT_LE(calls, c.maxCalls);
    // The restored blip's label is decoded, under the handle the blip was made with.
    const std::regex named(R"re("named":\{"blip":(\d+),"name":"Tarnwick"\})re");
    std::vector<std::string> blips;
    for (const std::string& line : lines) {
      std::smatch m;
      if (std::regex_search(line, m, named)) blips.push_back(m[1]);
    }
    ASSERT_EQ(blips.size(), 1u);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& line) {
                              return line.find(R"("op":"AddBlipForCoords")") != std::string::npos &&
                                     line.ends_with(R"("result":)" + blips[0] + "}");
                            }),
              1);
  }
  fs::remove_all(dir);
}

TEST(OutputOptionsTest, MapMustBeSvgReplayHtmlAndTheTraceFilterNeedsATrace) {
  struct Case {
    std::vector<const char*> args;
    const char* error;  // nullptr: accepted
  };
  const Case cases[] = {
      {{"--map", "out.png"}, "--map draws SVG only; 'out.png' has another extension"},
      {{"--map=dir.v2/map.Svg"}, nullptr},
      {{"--map", "/dev/stdout"}, nullptr},
      {{"--replay", "out.htm"}, "--replay writes an HTML page; 'out.htm' has another extension"},
      {{"--replay=dir.v2/Replay.HTML"}, nullptr},
      {{"--replay", "out", "--map", "out"}, "--map and --replay name the same file"},
      {{"--trace-filter=-polling"}, "--trace-filter needs --trace FILE"},
      {{"--trace", "t.jsonl", "--trace-filter", "CreatPed"}, "unknown operation 'CreatPed'"},
      {{"--trace", "t.jsonl", "--trace-filter=CreatePed,SetBlipName"}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    const auto parsed = ParseCommandLine(c.args);
    if (c.error == nullptr) {
      EXPECT_TRUE(std::holds_alternative<Options>(parsed));
    } else {
      ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
      EXPECT_NE(std::get<UsageError>(parsed).message.find(c.error), std::string::npos)
          << std::get<UsageError>(parsed).message;
    }
  }
}

}  // namespace
}  // namespace sim
