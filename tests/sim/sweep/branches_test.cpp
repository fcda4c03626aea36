#include "sim/sweep/branches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sim::sweep {
namespace {

// A run's dialogue as the collector sees it: draws from 0 (cases or
// speakers) and lines said or silenced, in order.
struct Step {
  enum Kind { kDraw, kSay, kSilenced } kind;
  int32_t a;  // draw: cases; say: variation
  int32_t b;  // draw: pick
  std::string line;
};

Branches Collect(const std::vector<Step>& steps) {
  BranchCollector collector;
  std::size_t events = 0;
  for (const Step& step : steps) {
    if (step.kind == Step::kDraw) {
      std::vector<platform::DecodedArg> args(2);
      args[1].i = step.a;
      platform::CallResult result;
      result.SetInt32(step.b);
      platform::CallRecord call;
      call.op = &platform::OperationOf(platform::OpId::kRandomIntInRange);
      call.SetArgs(args);
      call.result = &result;
      collector.OnCall(call, events);
      continue;
    }
    platform::WorldEvent event;
    event.kind = step.kind == Step::kSay ? platform::EventKind::kSpeech
                                         : platform::EventKind::kSpeechSilenced;
    event.text = step.line;
    event.number = step.a;
    collector.OnEvent(event, events++);
  }
  return collector.Take();
}

// The steps of case `pick` of `stage`, each said in its lowest variation.
std::vector<Step> Say(std::size_t stage, uint8_t pick) {
  std::vector<Step> steps = {
      {Step::kDraw, static_cast<int32_t>(Stages()[stage].cases.size()), pick, ""}};
  for (const homestead::SpeechStep& step : Stages()[stage].cases[pick]) {
    steps.push_back({Step::kSay, step.min, 0, step.line});
  }
  return steps;
}

// The lines `steps` say, as the collector counts them in `stage`.
std::vector<Branches::Spoken> SpokenIn(std::size_t stage, const std::vector<Step>& steps) {
  std::vector<Branches::Spoken> spoken;
  const auto lines = LinesOf(stage);
  for (const Step& step : steps) {
    if (step.kind != Step::kSay) continue;
    const auto at = std::find(lines.begin(), lines.end(), LineVariation{step.line, step.a});
    spoken.push_back({static_cast<uint8_t>(stage), static_cast<uint16_t>(at - lines.begin())});
  }
  std::sort(spoken.begin(), spoken.end());
  spoken.erase(std::unique(spoken.begin(), spoken.end()), spoken.end());
  return spoken;
}

std::vector<Branches::Spoken> Spoken(std::size_t stage, uint8_t pick) {
  return SpokenIn(stage, Say(stage, pick));
}

TEST(BranchesTest, TheLastDrawBeforeALineIsTheCaseOfTheStageWhoseTableExplainsIt) {
  const std::size_t last = Stages().size() - 1;
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Branches expected;
  };
  std::vector<Case> cases;
  for (std::size_t stage = 0; stage <= last; ++stage) {
    const auto pick = static_cast<uint8_t>(Stages()[stage].cases.size() - 1);
    cases.push_back({"the last case of each stage",
                     Say(stage, pick),
                     {{{static_cast<uint8_t>(stage), pick}}, Spoken(stage, pick)}});
  }
  // The approach draws its two speakers from 0 just before its case.
  std::vector<Step> approach = {{Step::kDraw, 6, 2, ""}, {Step::kDraw, 6, 4, ""}};
  for (const Step& step : Say(0, 1)) approach.push_back(step);
  cases.push_back({"speaker draws first", approach, {{{0, 1}}, Spoken(0, 1)}});
  // A draw no table explains counts nothing, nor do the lines after it.
  std::vector<Step> stray = Say(last, 0);
  stray.front().b = 1;
  cases.push_back({"a case that does not open with the line said", stray, {}});
  // A silenced line decides the case but is not spoken.
  std::vector<Step> silenced = Say(1, 2);
  silenced[1].kind = Step::kSilenced;
  const Branches silencedBranches{{{1, 2}}, SpokenIn(1, silenced)};
  cases.push_back({"the first line silenced", silenced, silencedBranches});
  // A line two stages share (the surrender's case 3 and the parting's case 1
  // both have one) counts in the stage whose case said it.
  std::vector<Step> both = Say(2, 3);
  for (const Step& step : Say(3, 1)) both.push_back(step);
  Branches bothBranches{{{2, 3}, {3, 1}}, Spoken(2, 3)};
  for (const Branches::Spoken& s : Spoken(3, 1)) bothBranches.spoken.push_back(s);
  cases.push_back({"a surrender, then a parting", both, bothBranches});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Branches got = Collect(c.steps);
    EXPECT_EQ(got.drawn, c.expected.drawn);
    EXPECT_EQ(got.spoken, c.expected.spoken);
  }
}

}  // namespace
}  // namespace sim::sweep
