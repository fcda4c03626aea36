#include "sim/sweep/summary.h"

#include <algorithm>
#include <set>
#include <utility>

#include "sim/report/json.h"

namespace sim::sweep {
namespace {

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

std::string Seeds(uint64_t n) {
  return std::to_string(n) + (n == 1 ? " seed" : " seeds");
}

struct Outcome {
  const char* name;  // in the text
  const char* key;   // in the JSON
};
constexpr std::array<Outcome, 3> kOutcomes = {
    {{"shot", "shot"}, {"got away", "got_away"}, {"torn down", "torn_down"}}};

}  // namespace

Summary::Summary(SweepSetup setup) : setup_(std::move(setup)) {
  for (std::size_t stage = 0; stage < Stages().size(); ++stage) {
    casesDrawn_.emplace_back(Stages()[stage].cases.size(), 0);
    linesSpoken_.emplace_back(LinesOf(stage).size(), 0);
  }
}

void Summary::Add(const SeedResult& result) {
  ++played_;
  if (!result.passed) failures_[result.seed] = result.failure;
  std::set<std::pair<uint8_t, uint8_t>> drawn;
  for (const Branches::Drawn& d : result.branches.drawn) drawn.insert({d.stage, d.pick});
  for (const auto& [stage, pick] : drawn) ++casesDrawn_[stage][pick];
  for (const Branches::Spoken& s : result.branches.spoken) ++linesSpoken_[s.stage][s.line];
  for (std::size_t i = 0; i < kMilestoneCount; ++i) milestones_[i].Add(result.milestones[i]);
  shot_.Add(result.shot);
  gotAway_.Add(result.gotAway);
  tornDown_.Add(result.tornDown);
}

std::string Summary::ReplayCommand(uint32_t seed) const {
  const std::string name = "seed-" + std::to_string(seed);
  return setup_.replay + " --seed " + std::to_string(seed) + " --trace " + name + ".jsonl --map " +
         name + ".svg";
}

std::string Summary::Text() const {
  const SeedRange& seeds = setup_.seeds;
  std::string text = "sweep: " + setup_.scenario + ", seeds " + std::to_string(seeds.first) + "-" +
                     std::to_string(seeds.last) + ": " + std::to_string(played_ - failed()) +
                     " passed, " + std::to_string(failed()) +
                     (failed() > 0 ? " FAILED" : " failed");
  if (interrupted_) {
    text +=
        " (interrupted: " + std::to_string(played_) + " of " + Seeds(seeds.count()) + " played)";
  }
  text += "\n";
  if (!failures_.empty()) {
    text += "failing seeds, each with the command that replays it alone:\n";
    std::size_t shown = 0;
    for (const auto& [seed, failure] : failures_) {
      if (shown++ == kFailuresShown) break;
      text += "  seed " + std::to_string(seed) + " failed at " + failure + "\n    " +
              ReplayCommand(seed) + "\n";
    }
    if (failures_.size() > kFailuresShown) {
      text += "  and " + std::to_string(failures_.size() - kFailuresShown) +
              " more (--sweep-report FILE.json lists them all)\n";
    }
  }

  text += "conversation cases drawn, in seeds:\n";
  for (std::size_t stage = 0; stage < Stages().size(); ++stage) {
    std::string line = "  " + Padded(std::string(Stages()[stage].name), 14);
    for (std::size_t pick = 0; pick < casesDrawn_[stage].size(); ++pick) {
      const uint64_t n = casesDrawn_[stage][pick];
      line += (pick > 0 ? ", " : "") + std::to_string(pick) + ": " +
              (n > 0 ? std::to_string(n) : "never drawn");
    }
    text += line + "\n";
  }
  std::string unspoken;
  for (std::size_t stage = 0; stage < Stages().size(); ++stage) {
    const auto lines = LinesOf(stage);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (linesSpoken_[stage][i] > 0) continue;
      unspoken += "  " + std::string(Stages()[stage].name) + ": " + std::string(lines[i].line) +
                  ", variation " + std::to_string(lines[i].variation) + "\n";
    }
  }
  text += unspoken.empty() ? "lines never spoken: none, every line was spoken in every variation\n"
                           : "lines never spoken:\n" + unspoken;

  text += "milestones, times in seeds:\n";
  for (std::size_t i = 0; i < kMilestoneCount; ++i) {
    text += "  " + Padded(std::string(MilestoneName(MilestoneAt(i))), 18) +
            std::to_string(milestones_[i].times) + " in " + Seeds(milestones_[i].seeds) + "\n";
  }
  const std::array<const Count*, 3> outcomes = {&shot_, &gotAway_, &tornDown_};
  text += "outcomes:";
  for (std::size_t i = 0; i < kOutcomes.size(); ++i) {
    text += std::string(i > 0 ? "," : "") + " " + kOutcomes[i].name + " " +
            std::to_string(outcomes[i]->times) + " in " + Seeds(outcomes[i]->seeds);
  }
  return text + "\n";
}

std::string Summary::Json() const {
  JsonText json;
  auto key = [&json](std::string_view name) {
    json.AppendString(name);
    json.Append(':');
  };
  auto count = [&json](const Count& c) {
    json.Append("{\"times\":");
    json.AppendUint(c.times);
    json.Append(",\"seeds\":");
    json.AppendUint(c.seeds);
    json.Append('}');
  };
  json.Append("{\"format\":1,");
  key("scenario");
  json.AppendString(setup_.scenario);
  json.Append(",\"seeds\":{\"first\":");
  json.AppendUint(setup_.seeds.first);
  json.Append(",\"last\":");
  json.AppendUint(setup_.seeds.last);
  json.Append("},\"played\":");
  json.AppendUint(played_);
  json.Append(",\"passed\":");
  json.AppendUint(played_ - failed());
  json.Append(",\"failed\":");
  json.AppendUint(failed());
  json.Append(interrupted_ ? ",\"interrupted\":true" : ",\"interrupted\":false");
  json.Append(",\"failures\":[");
  bool first = true;
  for (const auto& [seed, failure] : failures_) {
    json.Append(first ? "{\"seed\":" : ",{\"seed\":");
    first = false;
    json.AppendUint(seed);
    json.Append(',');
    key("failure");
    json.AppendString(failure);
    json.Append(',');
    key("replay");
    json.AppendString(ReplayCommand(seed));
    json.Append('}');
  }
  json.Append("],\"stages\":[");
  for (std::size_t stage = 0; stage < Stages().size(); ++stage) {
    json.Append(stage > 0 ? ",{" : "{");
    key("name");
    json.AppendString(Stages()[stage].name);
    json.Append(",\"cases\":[");
    for (std::size_t pick = 0; pick < casesDrawn_[stage].size(); ++pick) {
      if (pick > 0) json.Append(',');
      json.AppendUint(casesDrawn_[stage][pick]);
    }
    json.Append("],\"lines\":[");
    const auto lines = LinesOf(stage);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      json.Append(i > 0 ? ",{" : "{");
      key("line");
      json.AppendString(lines[i].line);
      json.Append(",\"variation\":");
      json.AppendInt(lines[i].variation);
      json.Append(",\"seeds\":");
      json.AppendUint(linesSpoken_[stage][i]);
      json.Append('}');
    }
    json.Append("]}");
  }
  json.Append("],\"milestones\":{");
  for (std::size_t i = 0; i < kMilestoneCount; ++i) {
    if (i > 0) json.Append(',');
    key(MilestoneName(MilestoneAt(i)));
    count(milestones_[i]);
  }
  json.Append("},\"outcomes\":{");
  const std::array<const Count*, 3> outcomes = {&shot_, &gotAway_, &tornDown_};
  for (std::size_t i = 0; i < kOutcomes.size(); ++i) {
    if (i > 0) json.Append(',');
    key(kOutcomes[i].key);
    count(*outcomes[i]);
  }
  json.Append("}}\n");
  return std::string(json.view());
}

}  // namespace sim::sweep
