// Sections:
//   1. Speech playback: SaySpeechLine, WaitUntilSilent, SayAndWait
//   2. Conversations: RunConversation, DrawConversation
#include "encounter/speech.h"

#include "host/host_api.h"

namespace homestead {

// --- 1. Speech playback -----------------------------------------------------

namespace {
constexpr const char* kSpeechParamsName = "SPEECH_PARAMS_BEAT_SPOKEN_CLEAR";
}  // namespace

void SaySpeechLine(int32_t ped, const char* lineName, int32_t variation) {
  // The params hash is asked of the host for every line.
  const host::SpeechParams params =
      host::MakeSpeechParams(lineName, variation, host::HashKey(kSpeechParamsName));
  host::PlayAmbientSpeech(ped, &params);
}

void WaitUntilSilent(int32_t ped, uint32_t pollMs) {
  while (host::IsAnySpeechPlaying(ped)) scriptWait(pollMs);
}

void SayAndWait(int32_t ped, const char* lineName, int32_t min, int32_t max, uint32_t pollMs) {
  const int32_t variation = host::RandomIntInRange(min, max);
  SaySpeechLine(ped, lineName, variation);
  WaitUntilSilent(ped, pollMs);
}

// --- 2. Conversations ---------------------------------------------------------

namespace {
int32_t PedOf(Speaker speaker, const Speakers& speakers) {
  switch (speaker) {
    case Speaker::kPlayer:
      return speakers.player;
    case Speaker::kFirstOccupant:
      return speakers.firstOccupant;
    case Speaker::kSecondOccupant:
      return speakers.secondOccupant;
    case Speaker::kLeader:
      return speakers.leader;
    case Speaker::kLastDefender:
      return speakers.lastDefender;
  }
  return speakers.player;  // not reached: every role is listed above
}
}  // namespace

void RunConversation(Conversation conversation, const Speakers& speakers) {
  for (const SpeechStep& step : conversation) {
    SayAndWait(PedOf(step.speaker, speakers), step.line, step.min, step.max, step.pollMs);
  }
}

Conversation DrawConversation(std::span<const Conversation> cases) {
  const int32_t pick = host::RandomIntInRange(0, static_cast<int32_t>(cases.size()));
  if (pick < 0 || static_cast<std::size_t>(pick) >= cases.size()) return {};
  return cases[static_cast<std::size_t>(pick)];
}

}  // namespace homestead
