// Sections:
//   1. Speech playback: SaySpeechLine, WaitUntilSilent, SayAndWait
//   2. Conversations: RunConversation, DrawConversation
//   3. Tables: approach, confrontation, surrender, parting, outcome
#include "encounter/speech.h"

#include <initializer_list>

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

// --- 3. Tables -------------------------------------------------------------------
// Each step: speaker, line, variation range [min, max), poll interval in ms.

namespace {
constexpr Speaker P = Speaker::kPlayer;

// Approach: the player's character, then two occupants.
constexpr Speaker A = Speaker::kFirstOccupant;
constexpr Speaker B = Speaker::kSecondOccupant;
constexpr SpeechStep kApproach0[] = {
    {P, "HUNTING_START", 3, 4, 0},
    {A, "CHAT_PEDTYPE_DIALOG", 1, 3, 0},
    {B, "CHAT_PEDTYPE_DIALOG_RESPONSE", 1, 2, 0},
};
constexpr SpeechStep kApproach1[] = {
    {P, "HUNTING_START", 6, 8, 0},
    {A, "CHAT_PATROL", 1, 3, 0},
    {B, "CHAT_PATROL_SUPPORT_RESPONSE", 1, 3, 0},
};
constexpr SpeechStep kApproach2[] = {
    {P, "HUNTING_START", 9, 11, 0},
    {A, "CHAT_PEDTYPE_DIALOG", 1, 3, 0},
    {B, "CHAT_PEDTYPE_DIALOG_RESPONSE", 1, 2, 0},
};
constexpr SpeechStep kApproach3[] = {
    {P, "HUNTING_START", 6, 8, 0},
    {A, "CHAT_ROADBLOCK", 1, 3, 0},
    {B, "CHAT_ROADBLOCK_SUPPORT_RESPONSE", 1, 2, 0},
};

// Confrontation: the leader (L) and the player's character alternate.
constexpr Speaker L = Speaker::kLeader;
constexpr SpeechStep kConfront0[] = {
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "RE_TH_FTH_V1_SPOOK_RESP", 1, 2, 0},
    {L, "HANDS_UP", 1, 3, 0},
    {P, "RE_TH_PLN_V1_ROB_ALT", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "RE_BTR_FTH_V1_HOGTIE_RESP_C", 1, 2, 0},
    {L, "CALLOUT_JUST_KILL_EM_MALE", 1, 3, 0},
};
constexpr SpeechStep kConfront1[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "RE_BA_RKR_V2_PLAYER_POS_A0", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH", 1, 3, 0},
    {P, "RE_TGH_CHS_V3_PL_ROB", 1, 2, 0},
    {L, "HANDS_UP_EXTREME", 1, 3, 0},
    {P, "RE_TH_MTN_V1_ROB_B", 1, 2, 0},
    {L, "CALLOUT_FOLLOW_ROB_ATTACK_MALE", 1, 3, 0},
};
constexpr SpeechStep kConfront2[] = {
    {L, "GANG_INTERACT_CHAT_WILDERNESS", 1, 3, 0},
    {P, "RE_BTR_FTH_V2_GREET", 1, 2, 0},
    {L, "HANDS_UP", 1, 3, 0},
    {P, "RE_TGH_MTN_V1_ROB", 1, 2, 0},
    {L, "HANDS_UP_EXTREME", 1, 3, 0},
    {P, "RE_BTR_FTH_V2_HOGTIE_RESP_C", 1, 2, 0},
    {L, "CALLOUT_FOLLOW_ROB_ATTACK_NEUTRAL", 1, 2, 0},
};
constexpr SpeechStep kConfront3[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "RE_CP_SWM_ALL_GREET", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "RE_CW_LWL_V2_PLY_ROB", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "RE_RC_ODR_V1_AGGRO_REUD_RESP_B", 1, 2, 0},
    {L, "ARRIVAL_COMBAT_NEUTRAL", 1, 2, 0},
};
constexpr SpeechStep kConfront4[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "HIDEOUT_TL_V1_ILO_PLAYER_NEG_A0", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "HIDEOUT_TL_V2_ILO_PLAYER_POS_A0", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "RE_ODT_VAL_V1_ANTAGONIZE", 1, 2, 0},
    {L, "ARRIVAL_COMBAT_NEUTRAL", 1, 2, 0},
};
constexpr SpeechStep kConfront5[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "RE_ODT_VAL_V1_GREET", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "HIDEOUT_TW_PL_ANT_02_G2", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "RE_ODT_VAL_V2_ANTAGONIZE", 1, 2, 0},
    {L, "ARRIVAL_COMBAT_NEUTRAL", 1, 2, 0},
};
constexpr SpeechStep kConfront6[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "HIDEOUT_TW_PL_GRT_G2", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "HIDEOUT_TW_PL_ANT_02_G1", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "HIDEOUT_TW_PL_ANT_02_LO2", 1, 2, 0},
    {L, "ARRIVAL_COMBAT_NEUTRAL", 1, 2, 0},
};

// Surrender: the last defender (D) and the player.
constexpr Speaker D = Speaker::kLastDefender;
constexpr SpeechStep kSurrender0[] = {
    {D, "GENERIC_SHOCKED_HIGH", 1, 3, 0},
    {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
    {D, "CALLOUT_FOLLOW_ROB_FLEE_NEUTRAL", 1, 2, 0},
    {P, "RE_PP_STD_V1_GIVEIT", 1, 2, 0},
    {D, "CALLOUT_NEAR_DEFEAT", 1, 2, 0},
};
constexpr SpeechStep kSurrender1[] = {
    {D, "CALLOUT_NEAR_DEFEAT", 1, 2, 0},
    {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
    {D, "GANG_INTERACT_NOT_WORTH_IT", 1, 3, 0},
    {P, "RE_PP_STD_V2_GIVEIT", 1, 2, 0},
    {D, "CALLOUT_LETS_GET_OUTTA_HERE_MALE", 1, 3, 0},
};
constexpr SpeechStep kSurrender2[] = {
    {D, "CALLOUT_GETTING_TORN_APART", 1, 3, 0},          {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
    {D, "GANG_INTERACT_NOT_WORTH_IT", 1, 3, 0},          {P, "RE_PP_VHT_V1_GIVEIT", 1, 2, 0},
    {D, "CALLOUT_LETS_GET_OUTTA_HERE_NEUTRAL", 1, 2, 0},
};
constexpr SpeechStep kSurrender3[] = {
    {D, "GENERIC_FRIGHTENED_MED", 1, 3, 0}, {P, "RE_PP_VHT_V1_AIM", 1, 2, 1000},
    {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0}, {D, "GENERIC_ANGRY_REACTION", 1, 3, 0},
    {P, "RE_PP_VHT_V1_GIVEIT", 1, 2, 0},    {D, "CALLOUT_LETS_GET_OUTTA_HERE_MALE", 1, 3, 0},
};
constexpr SpeechStep kSurrender4[] = {
    {D, "GENERIC_FRIGHTENED_HIGH", 1, 3, 0}, {P, "RE_PP_STD_V1_AIM", 1, 2, 1000},
    {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},  {D, "GENERIC_CURSE_HIGH", 1, 3, 0},
    {P, "RE_PP_STD_V1_GIVEIT", 1, 2, 0},     {D, "COMBAT_FLEE", 1, 3, 0},
};

// Parting exchange as the defender (D) flees: player, defender, player.
constexpr SpeechStep kParting0[] = {
    {P, "RE_BOT_FLEE_RESP", 1, 2, 0},
    {D, "PROPERTY_STOLEN", 1, 3, 0},
    {P, "RE_PP_STD_V2_NEVERAGAIN", 1, 2, 0},
};
constexpr SpeechStep kParting1[] = {
    {P, "RE_BOT_FTH_V1_THREATEN_A", 1, 2, 0},
    {D, "GENERIC_FRIGHTENED_MED", 1, 3, 0},
    {P, "RE_DAS_NBX_V2_ILO_NEG", 1, 2, 0},
};
constexpr SpeechStep kParting2[] = {
    {P, "RE_OT_SCM_V1_GRT_INSULT", 1, 2, 0},
    {D, "GENERIC_ANGRY_SHOUT", 1, 2, 0},
    {P, "RE_DAS_NBX_V1_THUG_ANTAGONIZE", 1, 2, 0},
};
constexpr SpeechStep kParting3[] = {
    {P, "RE_DAS_BLW_V2_THUG_ANTAGONIZE", 1, 2, 0},
    {D, "GENERIC_INSULT_HIGH_MALE", 1, 2, 0},
    {P, "RE_DAS_NBX_V2_THUG_ANTAGONIZE", 1, 2, 0},
};
constexpr SpeechStep kParting4[] = {
    {P, "RE_DAS_NBX_V1_THUG_ANTAGONIZE", 1, 2, 0},
    {D, "GENERIC_CURSE_HIGH", 1, 3, 0},
    {P, "RE_OT_SCM_V1_GRT_INSULT", 1, 2, 0},
};
constexpr SpeechStep kParting5[] = {
    {P, "RE_DAS_NBX_V2_THUG_ANTAGONIZE", 1, 2, 0},
    {D, "GENERIC_FRIGHTENED_HIGH", 1, 3, 0},
    {P, "RE_DAS_BLW_V2_THUG_ANTAGONIZE", 1, 2, 0},
};
constexpr SpeechStep kParting6[] = {
    {P, "RE_LSF_BIV_V1_CALLOUT_RUNNER", 1, 2, 0},
    {D, "GENERIC_FRIGHTENED_HIGH", 1, 3, 0},
    {P, "RE_PP_STD_V1_NEVERAGAIN", 1, 2, 0},
};
constexpr SpeechStep kParting7[] = {
    {P, "RE_PP_STD_V1_NEVERAGAIN", 1, 2, 0},
    {D, "GENERIC_FRIGHTENED_MED", 1, 3, 0},
    {P, "RE_DAS_NBX_V1_THUG_ANTAGONIZE", 1, 2, 0},
};
constexpr SpeechStep kParting8[] = {
    {P, "RE_PP_VHT_V1_NEVERAGAIN", 1, 2, 0},
    {D, "GENERIC_INSULT_MED_NEUTRAL", 1, 2, 0},
    {P, "RE_OT_SCM_V1_GRT_INSULT", 1, 2, 0},
};
constexpr SpeechStep kParting9[] = {
    {P, "RE_PP_STD_V2_NEVERAGAIN", 1, 2, 0},
    {D, "GENERIC_INSULT_MED_MALE", 1, 2, 0},
    {P, "RE_BOT_FLEE_RESP", 1, 2, 0},
};

// Outcome: the player's three closing lines, the first two with long polls
// that leave a pause after each.
constexpr SpeechStep kOutcome0[] = {
    {P, "RE_BTR_FTH_V2_PLY_KILL_PRIS", 1, 2, 6000},
    {P, "PLAYER_ENTER_SHOP_CATALOG", 1, 5, 5000},
    {P, "AMBUSH_BRP_V3_POST_FINAL", 1, 2, 0},
};
constexpr SpeechStep kOutcome1[] = {
    {P, "AMBUSH_BRT_ROBOVER_KNOWN", 1, 2, 6000},
    {P, "RE_ETE_STD_V4_PLYFINAL_FEUD", 1, 2, 5000},
    {P, "AMBUSH_BRT_V2_COMBATOVER_KNOWN", 1, 2, 0},
};
constexpr SpeechStep kOutcome2[] = {
    {P, "RE_CG_LWL_V1_PLYFINAL_HELPTHENSTOP_LOW", 1, 2, 6000},
    {P, "RE_CG_LWL_V1_PLYFINAL_HELPTHENSTOP_HIGH", 1, 2, 5000},
    {P, "AMBUSH_BRT_V2_COMBATOVER_KNOWN", 1, 2, 0},
};
constexpr SpeechStep kOutcome3[] = {
    {P, "RE_CW_MTN_V1_PLY_FINAL_LOW", 1, 2, 6000},
    {P, "RE_CA_MTN_V1_PLAYER_FINAL", 1, 2, 5000},
    {P, "RE_LSF_SCM_V2_PLYFINAL_GOTPAID", 1, 2, 0},
};
constexpr SpeechStep kOutcome4[] = {
    {P, "RE_BUB_V1_PLYFINAL", 1, 2, 6000},
    {P, "RE_LSF_BIV_V2_PLYFINAL_GOTPAID", 1, 2, 6000},
    {P, "RE_LSF_SCM_V2_PLYFINAL_GOTPAID", 1, 2, 0},
};
constexpr SpeechStep kOutcome5[] = {
    {P, "RE_PP_STD_V2_RETRIEVE", 1, 2, 6000},
    {P, "RE_PP_STD_V1_RETRIEVE", 1, 2, 5000},
    {P, "RE_PP_VHT_V1_RETRIEVE", 1, 2, 0},
};
constexpr SpeechStep kOutcome6[] = {
    {P, "RE_LSF_SCM_V1_PLYFINAL_LETSEE", 1, 2, 6000},
    {P, "RE_LSF_BIV_V2_IDIOTS_HIGH", 1, 2, 6000},
    {P, "RE_LSF_SCM_V2_IDIOTS_HIGH", 1, 2, 0},
};
constexpr SpeechStep kOutcome7[] = {
    {P, "RE_ODT_VAL_V2_PLYFINAL", 1, 2, 6000},
    {P, "RE_PP_VHT_V1_RETRIEVE", 1, 2, 6000},
    {P, "WON_FIGHT_BANDITOS_DOM", 1, 3, 0},
};
}  // namespace

constexpr std::array<Conversation, 4> kApproachConversations = {kApproach0, kApproach1, kApproach2,
                                                                kApproach3};
constexpr std::array<Conversation, 7> kConfrontationConversations = {
    kConfront0, kConfront1, kConfront2, kConfront3, kConfront4, kConfront5, kConfront6};
constexpr std::array<Conversation, 5> kSurrenderConversations = {
    kSurrender0, kSurrender1, kSurrender2, kSurrender3, kSurrender4};
constexpr std::array<Conversation, 10> kPartingConversations = {
    kParting0, kParting1, kParting2, kParting3, kParting4,
    kParting5, kParting6, kParting7, kParting8, kParting9};
constexpr std::array<Conversation, 8> kOutcomeConversations = {
    kOutcome0, kOutcome1, kOutcome2, kOutcome3, kOutcome4, kOutcome5, kOutcome6, kOutcome7};

namespace {
constexpr bool LengthsAre(std::span<const Conversation> cases,
                          std::initializer_list<std::size_t> lengths) {
  std::size_t i = 0;
  for (std::size_t n : lengths) {
    if (i >= cases.size() || cases[i++].size() != n) return false;
  }
  return i == cases.size();
}

// True when every step of every case is said by one of `roles`.
constexpr bool SpokenOnlyBy(std::span<const Conversation> cases,
                            std::initializer_list<Speaker> roles) {
  for (const Conversation& conversation : cases) {
    for (const SpeechStep& step : conversation) {
      bool listed = false;
      for (Speaker role : roles) listed = listed || step.speaker == role;
      if (!listed) return false;
    }
  }
  return true;
}
}  // namespace

static_assert(LengthsAre(kApproachConversations, {3, 3, 3, 3}), "approach: three lines");
static_assert(LengthsAre(kConfrontationConversations, {7, 7, 7, 7, 7, 7, 7}),
              "confrontation: seven lines");
static_assert(LengthsAre(kSurrenderConversations, {5, 5, 5, 6, 6}),
              "surrender: five lines, six where the player aims first");
static_assert(LengthsAre(kPartingConversations, {3, 3, 3, 3, 3, 3, 3, 3, 3, 3}),
              "parting: three lines");
static_assert(LengthsAre(kOutcomeConversations, {3, 3, 3, 3, 3, 3, 3, 3}), "outcome: three lines");

// Each stage supplies only its own roles.
static_assert(SpokenOnlyBy(kApproachConversations,
                           {Speaker::kPlayer, Speaker::kFirstOccupant, Speaker::kSecondOccupant}),
              "approach: the player and the two occupants drawn");
static_assert(SpokenOnlyBy(kConfrontationConversations, {Speaker::kPlayer, Speaker::kLeader}),
              "confrontation: the player and the leader");
static_assert(SpokenOnlyBy(kSurrenderConversations, {Speaker::kPlayer, Speaker::kLastDefender}),
              "surrender: the player and the last defender");
static_assert(SpokenOnlyBy(kPartingConversations, {Speaker::kPlayer, Speaker::kLastDefender}),
              "parting: the player and the last defender");
static_assert(SpokenOnlyBy(kOutcomeConversations, {Speaker::kPlayer}), "outcome: the player");

}  // namespace homestead
