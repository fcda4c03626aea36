// Speech playback and the conversation types the dialogue stages use.
//
// A conversation is a constant table of steps; RunConversation says them in
// order, each with SayAndWait, so that lines never overlap. The tables are in
// encounter/conversations.h.
#ifndef HOMESTEAD_ENCOUNTER_SPEECH_H
#define HOMESTEAD_ENCOUNTER_SPEECH_H

#include <cstddef>
#include <cstdint>
#include <span>

namespace homestead {

// Starts `lineName` in `variation` on `ped` and returns at once.
void SaySpeechLine(int32_t ped, const char* lineName, int32_t variation);

// Polls IsAnySpeechPlaying(ped) at once and then after every scriptWait(pollMs)
// until the ped is silent. No limit: a line that never ends holds the script.
void WaitUntilSilent(int32_t ped, uint32_t pollMs);

// Draws the variation with RandomIntInRange(min, max), says the line and waits
// until that ped is silent.
void SayAndWait(int32_t ped, const char* lineName, int32_t min, int32_t max, uint32_t pollMs);

// Who says a conversation step: the player's character, or an occupant in
// the role his stage gives him. The stage supplies the handles of its roles.
enum class Speaker : uint8_t {
  kPlayer,
  kFirstOccupant,   // approach: the first of the two occupants drawn
  kSecondOccupant,  // approach: the second
  kLeader,          // confrontation: the homestead's leader
  kLastDefender,    // surrender and parting: the last defender alive
};

struct SpeechStep {
  Speaker speaker;
  const char* line;
  int32_t min;  // RandomIntInRange bounds for the variation: min <= v < max
  int32_t max;
  uint32_t pollMs;
};

using Conversation = std::span<const SpeechStep>;

// The peds behind the speaker roles of one conversation; a stage sets the
// roles its tables use.
struct Speakers {
  int32_t player = 0;
  int32_t firstOccupant = 0;
  int32_t secondOccupant = 0;
  int32_t leader = 0;
  int32_t lastDefender = 0;
};

// Says every step of `conversation` in order.
void RunConversation(Conversation conversation, const Speakers& speakers);

// Picks case RandomIntInRange(0, cases.size()). A host answer outside that
// range picks nothing and the result is empty: such a conversation says nothing.
Conversation DrawConversation(std::span<const Conversation> cases);

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_SPEECH_H
