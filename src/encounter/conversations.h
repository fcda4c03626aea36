// The conversation tables the dialogue stages draw from, as constants: one
// array of steps per case, each step {speaker, line, variation range
// [min, max), poll interval in ms}. This is the only copy of the dialogue: the
// stages say it, and the tests read it to know what each case must say.
// Constants only, nothing to link.
#ifndef HOMESTEAD_ENCOUNTER_CONVERSATIONS_H
#define HOMESTEAD_ENCOUNTER_CONVERSATIONS_H

#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>

#include "encounter/speech.h"

namespace homestead {

// The cases, one array each; the tables after them collect them per stage.
namespace conversation_steps {
inline constexpr Speaker P = Speaker::kPlayer;

// Approach at 32 m: the player's character, then the two occupants drawn.
inline constexpr Speaker A = Speaker::kFirstOccupant;
inline constexpr Speaker B = Speaker::kSecondOccupant;
inline constexpr SpeechStep kApproach0[] = {
    {P, "HUNTING_START", 3, 4, 0},
    {A, "CHAT_PEDTYPE_DIALOG", 1, 3, 0},
    {B, "CHAT_PEDTYPE_DIALOG_RESPONSE", 1, 2, 0},
};
inline constexpr SpeechStep kApproach1[] = {
    {P, "HUNTING_START", 6, 8, 0},
    {A, "CHAT_PATROL", 1, 3, 0},
    {B, "CHAT_PATROL_SUPPORT_RESPONSE", 1, 3, 0},
};
inline constexpr SpeechStep kApproach2[] = {
    {P, "HUNTING_START", 9, 11, 0},
    {A, "CHAT_PEDTYPE_DIALOG", 1, 3, 0},
    {B, "CHAT_PEDTYPE_DIALOG_RESPONSE", 1, 2, 0},
};
inline constexpr SpeechStep kApproach3[] = {
    {P, "HUNTING_START", 6, 8, 0},
    {A, "CHAT_ROADBLOCK", 1, 3, 0},
    {B, "CHAT_ROADBLOCK_SUPPORT_RESPONSE", 1, 2, 0},
};

// Confrontation: the leader (L) and the player's character alternate.
inline constexpr Speaker L = Speaker::kLeader;
inline constexpr SpeechStep kConfront0[] = {
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "RE_TH_FTH_V1_SPOOK_RESP", 1, 2, 0},
    {L, "HANDS_UP", 1, 3, 0},
    {P, "RE_TH_PLN_V1_ROB_ALT", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "RE_BTR_FTH_V1_HOGTIE_RESP_C", 1, 2, 0},
    {L, "CALLOUT_JUST_KILL_EM_MALE", 1, 3, 0},
};
inline constexpr SpeechStep kConfront1[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "RE_BA_RKR_V2_PLAYER_POS_A0", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH", 1, 3, 0},
    {P, "RE_TGH_CHS_V3_PL_ROB", 1, 2, 0},
    {L, "HANDS_UP_EXTREME", 1, 3, 0},
    {P, "RE_TH_MTN_V1_ROB_B", 1, 2, 0},
    {L, "CALLOUT_FOLLOW_ROB_ATTACK_MALE", 1, 3, 0},
};
inline constexpr SpeechStep kConfront2[] = {
    {L, "GANG_INTERACT_CHAT_WILDERNESS", 1, 3, 0},
    {P, "RE_BTR_FTH_V2_GREET", 1, 2, 0},
    {L, "HANDS_UP", 1, 3, 0},
    {P, "RE_TGH_MTN_V1_ROB", 1, 2, 0},
    {L, "HANDS_UP_EXTREME", 1, 3, 0},
    {P, "RE_BTR_FTH_V2_HOGTIE_RESP_C", 1, 2, 0},
    {L, "CALLOUT_FOLLOW_ROB_ATTACK_NEUTRAL", 1, 2, 0},
};
inline constexpr SpeechStep kConfront3[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "RE_CP_SWM_ALL_GREET", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "RE_CW_LWL_V2_PLY_ROB", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "RE_RC_ODR_V1_AGGRO_REUD_RESP_B", 1, 2, 0},
    {L, "ARRIVAL_COMBAT_NEUTRAL", 1, 2, 0},
};
inline constexpr SpeechStep kConfront4[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "HIDEOUT_TL_V1_ILO_PLAYER_NEG_A0", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "HIDEOUT_TL_V2_ILO_PLAYER_POS_A0", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "RE_ODT_VAL_V1_ANTAGONIZE", 1, 2, 0},
    {L, "ARRIVAL_COMBAT_NEUTRAL", 1, 2, 0},
};
inline constexpr SpeechStep kConfront5[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "RE_ODT_VAL_V1_GREET", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "HIDEOUT_TW_PL_ANT_02_G2", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "RE_ODT_VAL_V2_ANTAGONIZE", 1, 2, 0},
    {L, "ARRIVAL_COMBAT_NEUTRAL", 1, 2, 0},
};
inline constexpr SpeechStep kConfront6[] = {
    {L, "WHO_GOES_THERE", 1, 3, 0},
    {P, "HIDEOUT_TW_PL_GRT_G2", 1, 2, 0},
    {L, "GANG_INTERACT_APPROACH_TERRITORY", 1, 3, 0},
    {P, "HIDEOUT_TW_PL_ANT_02_G1", 1, 2, 0},
    {L, "HANDS_UP_LAST_CHANCE", 1, 3, 0},
    {P, "HIDEOUT_TW_PL_ANT_02_LO2", 1, 2, 0},
    {L, "ARRIVAL_COMBAT_NEUTRAL", 1, 2, 0},
};

// Surrender: the last defender (D) and the player.
inline constexpr Speaker D = Speaker::kLastDefender;
inline constexpr SpeechStep kSurrender0[] = {
    {D, "GENERIC_SHOCKED_HIGH", 1, 3, 0},
    {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
    {D, "CALLOUT_FOLLOW_ROB_FLEE_NEUTRAL", 1, 2, 0},
    {P, "RE_PP_STD_V1_GIVEIT", 1, 2, 0},
    {D, "CALLOUT_NEAR_DEFEAT", 1, 2, 0},
};
inline constexpr SpeechStep kSurrender1[] = {
    {D, "CALLOUT_NEAR_DEFEAT", 1, 2, 0},
    {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
    {D, "GANG_INTERACT_NOT_WORTH_IT", 1, 3, 0},
    {P, "RE_PP_STD_V2_GIVEIT", 1, 2, 0},
    {D, "CALLOUT_LETS_GET_OUTTA_HERE_MALE", 1, 3, 0},
};
inline constexpr SpeechStep kSurrender2[] = {
    {D, "CALLOUT_GETTING_TORN_APART", 1, 3, 0},          {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},
    {D, "GANG_INTERACT_NOT_WORTH_IT", 1, 3, 0},          {P, "RE_PP_VHT_V1_GIVEIT", 1, 2, 0},
    {D, "CALLOUT_LETS_GET_OUTTA_HERE_NEUTRAL", 1, 2, 0},
};
inline constexpr SpeechStep kSurrender3[] = {
    {D, "GENERIC_FRIGHTENED_MED", 1, 3, 0}, {P, "RE_PP_VHT_V1_AIM", 1, 2, 1000},
    {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0}, {D, "GENERIC_ANGRY_REACTION", 1, 3, 0},
    {P, "RE_PP_VHT_V1_GIVEIT", 1, 2, 0},    {D, "CALLOUT_LETS_GET_OUTTA_HERE_MALE", 1, 3, 0},
};
inline constexpr SpeechStep kSurrender4[] = {
    {D, "GENERIC_FRIGHTENED_HIGH", 1, 3, 0}, {P, "RE_PP_STD_V1_AIM", 1, 2, 1000},
    {P, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, 0},  {D, "GENERIC_CURSE_HIGH", 1, 3, 0},
    {P, "RE_PP_STD_V1_GIVEIT", 1, 2, 0},     {D, "COMBAT_FLEE", 1, 3, 0},
};

// Parting exchange as the defender (D) flees: player, defender, player.
inline constexpr SpeechStep kParting0[] = {
    {P, "RE_BOT_FLEE_RESP", 1, 2, 0},
    {D, "PROPERTY_STOLEN", 1, 3, 0},
    {P, "RE_PP_STD_V2_NEVERAGAIN", 1, 2, 0},
};
inline constexpr SpeechStep kParting1[] = {
    {P, "RE_BOT_FTH_V1_THREATEN_A", 1, 2, 0},
    {D, "GENERIC_FRIGHTENED_MED", 1, 3, 0},
    {P, "RE_DAS_NBX_V2_ILO_NEG", 1, 2, 0},
};
inline constexpr SpeechStep kParting2[] = {
    {P, "RE_OT_SCM_V1_GRT_INSULT", 1, 2, 0},
    {D, "GENERIC_ANGRY_SHOUT", 1, 2, 0},
    {P, "RE_DAS_NBX_V1_THUG_ANTAGONIZE", 1, 2, 0},
};
inline constexpr SpeechStep kParting3[] = {
    {P, "RE_DAS_BLW_V2_THUG_ANTAGONIZE", 1, 2, 0},
    {D, "GENERIC_INSULT_HIGH_MALE", 1, 2, 0},
    {P, "RE_DAS_NBX_V2_THUG_ANTAGONIZE", 1, 2, 0},
};
inline constexpr SpeechStep kParting4[] = {
    {P, "RE_DAS_NBX_V1_THUG_ANTAGONIZE", 1, 2, 0},
    {D, "GENERIC_CURSE_HIGH", 1, 3, 0},
    {P, "RE_OT_SCM_V1_GRT_INSULT", 1, 2, 0},
};
inline constexpr SpeechStep kParting5[] = {
    {P, "RE_DAS_NBX_V2_THUG_ANTAGONIZE", 1, 2, 0},
    {D, "GENERIC_FRIGHTENED_HIGH", 1, 3, 0},
    {P, "RE_DAS_BLW_V2_THUG_ANTAGONIZE", 1, 2, 0},
};
inline constexpr SpeechStep kParting6[] = {
    {P, "RE_LSF_BIV_V1_CALLOUT_RUNNER", 1, 2, 0},
    {D, "GENERIC_FRIGHTENED_HIGH", 1, 3, 0},
    {P, "RE_PP_STD_V1_NEVERAGAIN", 1, 2, 0},
};
inline constexpr SpeechStep kParting7[] = {
    {P, "RE_PP_STD_V1_NEVERAGAIN", 1, 2, 0},
    {D, "GENERIC_FRIGHTENED_MED", 1, 3, 0},
    {P, "RE_DAS_NBX_V1_THUG_ANTAGONIZE", 1, 2, 0},
};
inline constexpr SpeechStep kParting8[] = {
    {P, "RE_PP_VHT_V1_NEVERAGAIN", 1, 2, 0},
    {D, "GENERIC_INSULT_MED_NEUTRAL", 1, 2, 0},
    {P, "RE_OT_SCM_V1_GRT_INSULT", 1, 2, 0},
};
inline constexpr SpeechStep kParting9[] = {
    {P, "RE_PP_STD_V2_NEVERAGAIN", 1, 2, 0},
    {D, "GENERIC_INSULT_MED_MALE", 1, 2, 0},
    {P, "RE_BOT_FLEE_RESP", 1, 2, 0},
};

// Outcome: the player's three closing lines, the first two with long polls
// that leave a pause after each.
inline constexpr SpeechStep kOutcome0[] = {
    {P, "RE_BTR_FTH_V2_PLY_KILL_PRIS", 1, 2, 6000},
    {P, "PLAYER_ENTER_SHOP_CATALOG", 1, 5, 5000},
    {P, "AMBUSH_BRP_V3_POST_FINAL", 1, 2, 0},
};
inline constexpr SpeechStep kOutcome1[] = {
    {P, "AMBUSH_BRT_ROBOVER_KNOWN", 1, 2, 6000},
    {P, "RE_ETE_STD_V4_PLYFINAL_FEUD", 1, 2, 5000},
    {P, "AMBUSH_BRT_V2_COMBATOVER_KNOWN", 1, 2, 0},
};
inline constexpr SpeechStep kOutcome2[] = {
    {P, "RE_CG_LWL_V1_PLYFINAL_HELPTHENSTOP_LOW", 1, 2, 6000},
    {P, "RE_CG_LWL_V1_PLYFINAL_HELPTHENSTOP_HIGH", 1, 2, 5000},
    {P, "AMBUSH_BRT_V2_COMBATOVER_KNOWN", 1, 2, 0},
};
inline constexpr SpeechStep kOutcome3[] = {
    {P, "RE_CW_MTN_V1_PLY_FINAL_LOW", 1, 2, 6000},
    {P, "RE_CA_MTN_V1_PLAYER_FINAL", 1, 2, 5000},
    {P, "RE_LSF_SCM_V2_PLYFINAL_GOTPAID", 1, 2, 0},
};
inline constexpr SpeechStep kOutcome4[] = {
    {P, "RE_BUB_V1_PLYFINAL", 1, 2, 6000},
    {P, "RE_LSF_BIV_V2_PLYFINAL_GOTPAID", 1, 2, 6000},
    {P, "RE_LSF_SCM_V2_PLYFINAL_GOTPAID", 1, 2, 0},
};
inline constexpr SpeechStep kOutcome5[] = {
    {P, "RE_PP_STD_V2_RETRIEVE", 1, 2, 6000},
    {P, "RE_PP_STD_V1_RETRIEVE", 1, 2, 5000},
    {P, "RE_PP_VHT_V1_RETRIEVE", 1, 2, 0},
};
inline constexpr SpeechStep kOutcome6[] = {
    {P, "RE_LSF_SCM_V1_PLYFINAL_LETSEE", 1, 2, 6000},
    {P, "RE_LSF_BIV_V2_IDIOTS_HIGH", 1, 2, 6000},
    {P, "RE_LSF_SCM_V2_IDIOTS_HIGH", 1, 2, 0},
};
inline constexpr SpeechStep kOutcome7[] = {
    {P, "RE_ODT_VAL_V2_PLYFINAL", 1, 2, 6000},
    {P, "RE_PP_VHT_V1_RETRIEVE", 1, 2, 6000},
    {P, "WON_FIGHT_BANDITOS_DOM", 1, 3, 0},
};
}  // namespace conversation_steps

inline constexpr std::array<Conversation, 4> kApproachConversations = {
    conversation_steps::kApproach0, conversation_steps::kApproach1, conversation_steps::kApproach2,
    conversation_steps::kApproach3};
inline constexpr std::array<Conversation, 7> kConfrontationConversations = {
    conversation_steps::kConfront0, conversation_steps::kConfront1, conversation_steps::kConfront2,
    conversation_steps::kConfront3, conversation_steps::kConfront4, conversation_steps::kConfront5,
    conversation_steps::kConfront6};
inline constexpr std::array<Conversation, 5> kSurrenderConversations = {
    conversation_steps::kSurrender0, conversation_steps::kSurrender1,
    conversation_steps::kSurrender2, conversation_steps::kSurrender3,
    conversation_steps::kSurrender4};
inline constexpr std::array<Conversation, 10> kPartingConversations = {
    conversation_steps::kParting0, conversation_steps::kParting1, conversation_steps::kParting2,
    conversation_steps::kParting3, conversation_steps::kParting4, conversation_steps::kParting5,
    conversation_steps::kParting6, conversation_steps::kParting7, conversation_steps::kParting8,
    conversation_steps::kParting9};
inline constexpr std::array<Conversation, 8> kOutcomeConversations = {
    conversation_steps::kOutcome0, conversation_steps::kOutcome1, conversation_steps::kOutcome2,
    conversation_steps::kOutcome3, conversation_steps::kOutcome4, conversation_steps::kOutcome5,
    conversation_steps::kOutcome6, conversation_steps::kOutcome7};

// Each case has the length its stage expects, and each stage supplies only
// its own roles.
namespace conversation_checks {
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

static_assert(LengthsAre(kApproachConversations, {3, 3, 3, 3}), "approach: three lines");
static_assert(LengthsAre(kConfrontationConversations, {7, 7, 7, 7, 7, 7, 7}),
              "confrontation: seven lines");
static_assert(LengthsAre(kSurrenderConversations, {5, 5, 5, 6, 6}),
              "surrender: five lines, six where the player aims first");
static_assert(LengthsAre(kPartingConversations, {3, 3, 3, 3, 3, 3, 3, 3, 3, 3}),
              "parting: three lines");
static_assert(LengthsAre(kOutcomeConversations, {3, 3, 3, 3, 3, 3, 3, 3}), "outcome: three lines");

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

}  // namespace conversation_checks

}  // namespace homestead

#endif  // HOMESTEAD_ENCOUNTER_CONVERSATIONS_H
