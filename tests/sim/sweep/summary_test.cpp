#include "sim/sweep/summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sim::sweep {
namespace {

SeedResult Result(uint32_t seed, bool passed) {
  SeedResult result;
  result.seed = seed;
  result.passed = passed;
  if (!passed) result.failure = "line 4 (wait for flight up to 17s): flight did not happen";
  result.milestones[static_cast<std::size_t>(Milestone::kStartup)] = 2;
  result.shot = passed ? 5 : 0;
  // Seeds draw the case of the first stage their seed names; the first
  // stage's last case is never drawn.
  result.branches.drawn = {{0, static_cast<uint8_t>(seed % (Stages()[0].cases.size() - 1))}};
  result.branches.spoken = {{0, 0}};
  return result;
}

std::vector<SeedResult> Results(int failing) {
  std::vector<SeedResult> results;
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    results.push_back(Result(seed, seed > static_cast<uint32_t>(failing)));
  }
  return results;
}

Summary Summarise(const std::vector<SeedResult>& results) {
  Summary summary({"robbery", "homestead-sim --scenario robbery", {1, 30}});
  for (const SeedResult& result : results) summary.Add(result);
  return summary;
}

TEST(SummaryTest, TheOrderResultsComeInChangesNothing) {
  std::vector<SeedResult> results = Results(3);
  const Summary forwards = Summarise(results);
  std::reverse(results.begin(), results.end());
  std::rotate(results.begin(), results.begin() + 7, results.end());
  const Summary shuffled = Summarise(results);
  EXPECT_EQ(forwards.Text(), shuffled.Text());
  EXPECT_EQ(forwards.Json(), shuffled.Json());
}

TEST(SummaryTest, TellsTheVerdictTheBranchesAndTheCounts) {
  const std::string text = Summarise(Results(3)).Text();
  const std::string json = Summarise(Results(3)).Json();
  const std::string lastCase = std::to_string(Stages()[0].cases.size() - 1);
  const std::string firstUnspoken =
      std::string(LinesOf(0)[1].line) + ", variation " + std::to_string(LinesOf(0)[1].variation);
  for (const std::string& part : {
           std::string("sweep: robbery, seeds 1-30: 27 passed, 3 FAILED\n"),
           std::string("  seed 2 failed at line 4 (wait for flight up to 17s): flight did not "
                       "happen\n    homestead-sim --scenario robbery --seed 2 --trace "
                       "seed-2.jsonl --map seed-2.svg\n"),
           ", " + lastCase + ": never drawn\n",
           "  approach: " + firstUnspoken + "\n",
           std::string("  startup           60 in 30 seeds\n"),
           std::string("outcomes: shot 135 in 27 seeds, got away 0 in 0 seeds"),
       }) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\nnot in:\n" << text;
  }
  for (const std::string& part : {
           std::string(R"("played":30,"passed":27,"failed":3,"interrupted":false)"),
           std::string(R"({"seed":3,"failure":"line 4 (wait for flight up to 17s): flight did )"
                       R"(not happen","replay":"homestead-sim --scenario robbery --seed 3 )"),
           std::string(R"("startup":{"times":60,"seeds":30})"),
       }) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\nnot in:\n" << json;
  }
  EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1);
}

TEST(SummaryTest, ListsTheFirstFailuresAndCountsTheRest) {
  Summary summary = Summarise(Results(25));
  summary.MarkInterrupted();
  const std::string text = summary.Text();
  EXPECT_NE(text.find("seed 20 failed"), std::string::npos);
  EXPECT_EQ(text.find("seed 21 failed"), std::string::npos);
  EXPECT_NE(text.find("and 5 more"), std::string::npos);
  EXPECT_NE(text.find("(interrupted: 30 of 30 seeds played)"), std::string::npos);
  EXPECT_NE(summary.Json().find(R"({"seed":25,)"), std::string::npos);
}

}  // namespace
}  // namespace sim::sweep
