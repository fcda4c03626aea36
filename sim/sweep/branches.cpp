#include "sim/sweep/branches.h"

#include <algorithm>
#include <array>
#include <string>

namespace sim::sweep {
namespace {

using homestead::Conversation;
using homestead::SpeechStep;

constexpr std::array<Stage, 5> kStages = {{
    {"approach", homestead::kApproachConversations},
    {"confrontation", homestead::kConfrontationConversations},
    {"surrender", homestead::kSurrenderConversations},
    {"parting", homestead::kPartingConversations},
    {"outcome", homestead::kOutcomeConversations},
}};

std::vector<LineVariation> CollectLines(const Stage& stage) {
  std::vector<LineVariation> lines;
  for (const Conversation& conversation : stage.cases) {
    for (const SpeechStep& step : conversation) {
      for (int32_t v = step.min; v < step.max; ++v) {
        const LineVariation line{step.line, v};
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
      }
    }
  }
  return lines;
}

const std::array<std::vector<LineVariation>, kStages.size()>& AllLines() {
  static const auto lines = [] {
    std::array<std::vector<LineVariation>, kStages.size()> all;
    for (std::size_t i = 0; i < kStages.size(); ++i) all[i] = CollectLines(kStages[i]);
    return all;
  }();
  return lines;
}

// The stage whose table has `draw.cases` cases and whose drawn case opens
// with `line`.
std::optional<std::size_t> StageOf(int32_t cases, int32_t pick, std::string_view line) {
  for (std::size_t i = 0; i < kStages.size(); ++i) {
    const auto& table = kStages[i].cases;
    if (static_cast<std::size_t>(cases) != table.size() || pick < 0 || pick >= cases) continue;
    const Conversation conversation = table[static_cast<std::size_t>(pick)];
    if (!conversation.empty() && line == conversation.front().line) return i;
  }
  return std::nullopt;
}

}  // namespace

std::span<const Stage> Stages() {
  return kStages;
}

std::span<const LineVariation> LinesOf(std::size_t stage) {
  return AllLines()[stage];
}

void BranchCollector::OnCall(const platform::CallRecord& call, std::size_t eventsSoFar) {
  if (call.op == nullptr || call.op->id != platform::OpId::kRandomIntInRange || call.refused ||
      call.result == nullptr) {
    return;
  }
  const auto args = call.args();
  // Variations are drawn from 1; a draw from 0 picks a case or a speaker.
  if (args.size() != 2 || args[0].i != 0) return;
  draw_ = Draw{args[1].i, static_cast<int32_t>(call.result->slots[0]), eventsSoFar};
}

void BranchCollector::OnEvent(const platform::WorldEvent& event, std::size_t index) {
  if (event.kind != platform::EventKind::kSpeech &&
      event.kind != platform::EventKind::kSpeechSilenced) {
    return;
  }
  if (draw_ && index >= draw_->eventIndex) {
    stage_ = StageOf(draw_->cases, draw_->pick, event.text);
    if (stage_) {
      branches_.drawn.push_back({static_cast<uint8_t>(*stage_), static_cast<uint8_t>(draw_->pick)});
    }
    draw_.reset();
  }
  if (!stage_ || event.kind != platform::EventKind::kSpeech) return;
  const auto lines = LinesOf(*stage_);
  const auto found = std::find(lines.begin(), lines.end(), LineVariation{event.text, event.number});
  if (found == lines.end()) return;
  const Branches::Spoken spoken{static_cast<uint8_t>(*stage_),
                                static_cast<uint16_t>(found - lines.begin())};
  auto& all = branches_.spoken;
  const auto at = std::lower_bound(all.begin(), all.end(), spoken);
  if (at == all.end() || *at != spoken) all.insert(at, spoken);
}

Branches BranchCollector::Take() {
  draw_.reset();
  stage_.reset();
  return std::exchange(branches_, {});
}

}  // namespace sim::sweep
