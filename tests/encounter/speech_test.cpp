// Speech playback: the parameter block the host receives, the polling of
// WaitUntilSilent, and the drawing of a conversation case; and the shipped
// conversation tables.
#include "encounter/speech.h"

#include <gtest/gtest.h>

#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "encounter/conversations.h"
#include "encounter/host_trace.h"
#include "encounter/objectives.h"
#include "encounter/scripted_world.h"

namespace homestead {
namespace {

using world::ScriptedWorld;

TEST(SpeechTest, ParameterBlockIsEightZeroExtendedSlots) {
  ScriptedWorld w;
  const int32_t ped = w.AddPed(Vector3());
  SaySpeechLine(ped, "HANDS_UP", 2);
  SaySpeechLine(ped, "HANDS_UP_LAST_CHANCE", 1);

  // The params hash is asked of the host for every line, not cached.
  EXPECT_EQ(world::CountOf(world::op::kHashKey), 2u);
  const std::vector<fake::Event> plays =
      fake::FakeHook::Get().CallsOf(world::op::kPlayAmbientSpeech);
  ASSERT_EQ(plays.size(), 2u);
  EXPECT_EQ(plays[0].args.size(), 2u);
  EXPECT_EQ(plays[0].args[0], static_cast<uint64_t>(ped));

  ASSERT_EQ(w.spoken.size(), 2u);
  const std::array<uint64_t, 8>& slots = w.spoken[0].slots;
  EXPECT_EQ(fake::Text(slots[0]), "HANDS_UP");
  ASSERT_NE(slots[1], 0u) << "the auxiliary text must be an empty text, not null";
  EXPECT_EQ(fake::Text(slots[1]), "");
  EXPECT_EQ(slots[2], 2u);
  // TextHash has its high bit set: a sign-extended hash would fill the high half.
  EXPECT_EQ(slots[3], uint64_t{world::TextHash("SPEECH_PARAMS_BEAT_SPOKEN_CLEAR")});
  EXPECT_EQ(slots[4], 0u);
  EXPECT_EQ(slots[5], 1u);
  EXPECT_EQ(slots[6], 1u);
  EXPECT_EQ(slots[7], 1u);
  EXPECT_EQ(fake::Text(w.spoken[1].slots[0]), "HANDS_UP_LAST_CHANCE");
  EXPECT_EQ(w.spoken[1].slots[2], 1u);
}

TEST(SpeechTest, SayAndWaitPollsAtOnceThenAfterEveryInterval) {
  struct Case {
    int playingPolls;
    uint32_t pollMs;
    std::vector<std::string> trace;
  };
  const std::vector<Case> cases = {
      // Silent at the first poll: the step ends in the same frame.
      {0, 6000, {"RandomIntInRange", "PlayAmbientSpeech", "IsAnySpeechPlaying"}},
      {1,
       0,
       {"RandomIntInRange", "PlayAmbientSpeech", "IsAnySpeechPlaying", "wait 0",
        "IsAnySpeechPlaying"}},
      {3,
       6000,
       {"RandomIntInRange", "PlayAmbientSpeech", "IsAnySpeechPlaying", "wait 6000",
        "IsAnySpeechPlaying", "wait 6000", "IsAnySpeechPlaying", "wait 6000",
        "IsAnySpeechPlaying"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("playing for " + std::to_string(c.playingPolls) + " polls");
    ScriptedWorld w;
    w.speechPolls = c.playingPolls;
    const int32_t ped = w.AddPed(Vector3());
    w.QueueRandom({4});
    SayAndWait(ped, "SHOP_PLAYER_HOLDUP_PRE", 1, 5, c.pollMs);

    EXPECT_EQ(world::Trace({world::op::kRandomIntInRange, world::op::kPlayAmbientSpeech,
                            world::op::kIsAnySpeechPlaying}),
              c.trace);
    // Every poll asks about the ped that spoke.
    for (const fake::Event& poll : fake::FakeHook::Get().CallsOf(world::op::kIsAnySpeechPlaying)) {
      EXPECT_EQ(poll.args, std::vector<uint64_t>{static_cast<uint64_t>(ped)});
    }
    ASSERT_EQ(w.draws.size(), 1u);
    EXPECT_EQ(w.draws[0].min, 1);
    EXPECT_EQ(w.draws[0].max, 5);
    ASSERT_EQ(w.spoken.size(), 1u);
    EXPECT_EQ(w.spoken[0].variation, 4);
  }
}

TEST(SpeechTest, DrawConversationPicksOnlyCasesInRange) {
  const std::array<SpeechStep, 1> a = {{{Speaker::kPlayer, "A", 1, 2, 0}}};
  const std::array<SpeechStep, 1> b = {{{Speaker::kPlayer, "B", 1, 2, 0}}};
  const std::array<SpeechStep, 1> c = {{{Speaker::kPlayer, "C", 1, 2, 0}}};
  const std::array<Conversation, 3> cases = {a, b, c};

  for (int32_t answer : {0, 2, 3, -1, 1000}) {
    SCOPED_TRACE("host answers " + std::to_string(answer));
    ScriptedWorld w;
    w.QueueRandom({answer});
    const Conversation picked = DrawConversation(cases);
    ASSERT_EQ(w.draws.size(), 1u);
    EXPECT_EQ(w.draws[0].min, 0);
    EXPECT_EQ(w.draws[0].max, 3);
    if (answer >= 0 && answer < 3) {
      EXPECT_EQ(picked.data(), cases[answer].data());
    } else {
      EXPECT_TRUE(picked.empty());
    }
  }
}

// Writes a case as the pin below lists it: each step as speaker:line[min,max),
// with +ms after it when it polls for silence at other than every frame.
std::string Describe(Conversation conversation) {
  std::string text;
  for (const SpeechStep& step : conversation) {
    static constexpr char kRoles[] = {'P', 'A', 'B', 'L', 'D'};
    static_assert(std::size(kRoles) == static_cast<std::size_t>(Speaker::kLastDefender) + 1,
                  "a letter for every role");
    if (!text.empty()) text += ' ';
    text += kRoles[static_cast<std::size_t>(step.speaker)];
    text += std::string(":") + step.line + "[" + std::to_string(step.min) + "," +
            std::to_string(step.max) + ")";
    if (step.pollMs != 0) text += "+" + std::to_string(step.pollMs);
  }
  return text;
}

// The shipped dialogue and objective texts, pinned here alone: every other
// test reads the plug-in's tables, so an edited line fails only this one.
// Speakers: P the player, A and B the approach's two occupants, L the leader,
// D the last defender.
TEST(ShippedConversationsTest, SayTheseLines) {
  struct Table {
    const char* stage;
    std::span<const Conversation> cases;
    std::vector<std::string> shipped;
  };
  const Table tables[] = {
      {"approach",
       kApproachConversations,
       {
           "P:HUNTING_START[3,4) A:CHAT_PEDTYPE_DIALOG[1,3) B:CHAT_PEDTYPE_DIALOG_RESPONSE[1,2)",
           "P:HUNTING_START[6,8) A:CHAT_PATROL[1,3) B:CHAT_PATROL_SUPPORT_RESPONSE[1,3)",
           "P:HUNTING_START[9,11) A:CHAT_PEDTYPE_DIALOG[1,3) B:CHAT_PEDTYPE_DIALOG_RESPONSE[1,2)",
           "P:HUNTING_START[6,8) A:CHAT_ROADBLOCK[1,3) B:CHAT_ROADBLOCK_SUPPORT_RESPONSE[1,2)",
       }},
      {"confrontation",
       kConfrontationConversations,
       {
           "L:GANG_INTERACT_APPROACH_TERRITORY[1,3) P:RE_TH_FTH_V1_SPOOK_RESP[1,2) L:HANDS_UP[1,3) "
           "P:RE_TH_PLN_V1_ROB_ALT[1,2) L:HANDS_UP_LAST_CHANCE[1,3) "
           "P:RE_BTR_FTH_V1_HOGTIE_RESP_C[1,2) L:CALLOUT_JUST_KILL_EM_MALE[1,3)",
           "L:WHO_GOES_THERE[1,3) P:RE_BA_RKR_V2_PLAYER_POS_A0[1,2) L:GANG_INTERACT_APPROACH[1,3) "
           "P:RE_TGH_CHS_V3_PL_ROB[1,2) L:HANDS_UP_EXTREME[1,3) P:RE_TH_MTN_V1_ROB_B[1,2) "
           "L:CALLOUT_FOLLOW_ROB_ATTACK_MALE[1,3)",
           "L:GANG_INTERACT_CHAT_WILDERNESS[1,3) P:RE_BTR_FTH_V2_GREET[1,2) L:HANDS_UP[1,3) "
           "P:RE_TGH_MTN_V1_ROB[1,2) L:HANDS_UP_EXTREME[1,3) P:RE_BTR_FTH_V2_HOGTIE_RESP_C[1,2) "
           "L:CALLOUT_FOLLOW_ROB_ATTACK_NEUTRAL[1,2)",
           "L:WHO_GOES_THERE[1,3) P:RE_CP_SWM_ALL_GREET[1,2) "
           "L:GANG_INTERACT_APPROACH_TERRITORY[1,3) P:RE_CW_LWL_V2_PLY_ROB[1,2) "
           "L:HANDS_UP_LAST_CHANCE[1,3) P:RE_RC_ODR_V1_AGGRO_REUD_RESP_B[1,2) "
           "L:ARRIVAL_COMBAT_NEUTRAL[1,2)",
           "L:WHO_GOES_THERE[1,3) P:HIDEOUT_TL_V1_ILO_PLAYER_NEG_A0[1,2) "
           "L:GANG_INTERACT_APPROACH_TERRITORY[1,3) P:HIDEOUT_TL_V2_ILO_PLAYER_POS_A0[1,2) "
           "L:HANDS_UP_LAST_CHANCE[1,3) P:RE_ODT_VAL_V1_ANTAGONIZE[1,2) "
           "L:ARRIVAL_COMBAT_NEUTRAL[1,2)",
           "L:WHO_GOES_THERE[1,3) P:RE_ODT_VAL_V1_GREET[1,2) "
           "L:GANG_INTERACT_APPROACH_TERRITORY[1,3) P:HIDEOUT_TW_PL_ANT_02_G2[1,2) "
           "L:HANDS_UP_LAST_CHANCE[1,3) P:RE_ODT_VAL_V2_ANTAGONIZE[1,2) "
           "L:ARRIVAL_COMBAT_NEUTRAL[1,2)",
           "L:WHO_GOES_THERE[1,3) P:HIDEOUT_TW_PL_GRT_G2[1,2) "
           "L:GANG_INTERACT_APPROACH_TERRITORY[1,3) P:HIDEOUT_TW_PL_ANT_02_G1[1,2) "
           "L:HANDS_UP_LAST_CHANCE[1,3) P:HIDEOUT_TW_PL_ANT_02_LO2[1,2) "
           "L:ARRIVAL_COMBAT_NEUTRAL[1,2)",
       }},
      {"surrender",
       kSurrenderConversations,
       {
           "D:GENERIC_SHOCKED_HIGH[1,3) P:SHOP_PLAYER_HOLDUP_PRE[1,5) "
           "D:CALLOUT_FOLLOW_ROB_FLEE_NEUTRAL[1,2) P:RE_PP_STD_V1_GIVEIT[1,2) "
           "D:CALLOUT_NEAR_DEFEAT[1,2)",
           "D:CALLOUT_NEAR_DEFEAT[1,2) P:SHOP_PLAYER_HOLDUP_PRE[1,5) "
           "D:GANG_INTERACT_NOT_WORTH_IT[1,3) P:RE_PP_STD_V2_GIVEIT[1,2) "
           "D:CALLOUT_LETS_GET_OUTTA_HERE_MALE[1,3)",
           "D:CALLOUT_GETTING_TORN_APART[1,3) P:SHOP_PLAYER_HOLDUP_PRE[1,5) "
           "D:GANG_INTERACT_NOT_WORTH_IT[1,3) P:RE_PP_VHT_V1_GIVEIT[1,2) "
           "D:CALLOUT_LETS_GET_OUTTA_HERE_NEUTRAL[1,2)",
           "D:GENERIC_FRIGHTENED_MED[1,3) P:RE_PP_VHT_V1_AIM[1,2)+1000 "
           "P:SHOP_PLAYER_HOLDUP_PRE[1,5) D:GENERIC_ANGRY_REACTION[1,3) P:RE_PP_VHT_V1_GIVEIT[1,2) "
           "D:CALLOUT_LETS_GET_OUTTA_HERE_MALE[1,3)",
           "D:GENERIC_FRIGHTENED_HIGH[1,3) P:RE_PP_STD_V1_AIM[1,2)+1000 "
           "P:SHOP_PLAYER_HOLDUP_PRE[1,5) D:GENERIC_CURSE_HIGH[1,3) P:RE_PP_STD_V1_GIVEIT[1,2) "
           "D:COMBAT_FLEE[1,3)",
       }},
      {"parting",
       kPartingConversations,
       {
           "P:RE_BOT_FLEE_RESP[1,2) D:PROPERTY_STOLEN[1,3) P:RE_PP_STD_V2_NEVERAGAIN[1,2)",
           "P:RE_BOT_FTH_V1_THREATEN_A[1,2) D:GENERIC_FRIGHTENED_MED[1,3) "
           "P:RE_DAS_NBX_V2_ILO_NEG[1,2)",
           "P:RE_OT_SCM_V1_GRT_INSULT[1,2) D:GENERIC_ANGRY_SHOUT[1,2) "
           "P:RE_DAS_NBX_V1_THUG_ANTAGONIZE[1,2)",
           "P:RE_DAS_BLW_V2_THUG_ANTAGONIZE[1,2) D:GENERIC_INSULT_HIGH_MALE[1,2) "
           "P:RE_DAS_NBX_V2_THUG_ANTAGONIZE[1,2)",
           "P:RE_DAS_NBX_V1_THUG_ANTAGONIZE[1,2) D:GENERIC_CURSE_HIGH[1,3) "
           "P:RE_OT_SCM_V1_GRT_INSULT[1,2)",
           "P:RE_DAS_NBX_V2_THUG_ANTAGONIZE[1,2) D:GENERIC_FRIGHTENED_HIGH[1,3) "
           "P:RE_DAS_BLW_V2_THUG_ANTAGONIZE[1,2)",
           "P:RE_LSF_BIV_V1_CALLOUT_RUNNER[1,2) D:GENERIC_FRIGHTENED_HIGH[1,3) "
           "P:RE_PP_STD_V1_NEVERAGAIN[1,2)",
           "P:RE_PP_STD_V1_NEVERAGAIN[1,2) D:GENERIC_FRIGHTENED_MED[1,3) "
           "P:RE_DAS_NBX_V1_THUG_ANTAGONIZE[1,2)",
           "P:RE_PP_VHT_V1_NEVERAGAIN[1,2) D:GENERIC_INSULT_MED_NEUTRAL[1,2) "
           "P:RE_OT_SCM_V1_GRT_INSULT[1,2)",
           "P:RE_PP_STD_V2_NEVERAGAIN[1,2) D:GENERIC_INSULT_MED_MALE[1,2) P:RE_BOT_FLEE_RESP[1,2)",
       }},
      {"outcome",
       kOutcomeConversations,
       {
           "P:RE_BTR_FTH_V2_PLY_KILL_PRIS[1,2)+6000 P:PLAYER_ENTER_SHOP_CATALOG[1,5)+5000 "
           "P:AMBUSH_BRP_V3_POST_FINAL[1,2)",
           "P:AMBUSH_BRT_ROBOVER_KNOWN[1,2)+6000 P:RE_ETE_STD_V4_PLYFINAL_FEUD[1,2)+5000 "
           "P:AMBUSH_BRT_V2_COMBATOVER_KNOWN[1,2)",
           "P:RE_CG_LWL_V1_PLYFINAL_HELPTHENSTOP_LOW[1,2)+6000 "
           "P:RE_CG_LWL_V1_PLYFINAL_HELPTHENSTOP_HIGH[1,2)+5000 "
           "P:AMBUSH_BRT_V2_COMBATOVER_KNOWN[1,2)",
           "P:RE_CW_MTN_V1_PLY_FINAL_LOW[1,2)+6000 P:RE_CA_MTN_V1_PLAYER_FINAL[1,2)+5000 "
           "P:RE_LSF_SCM_V2_PLYFINAL_GOTPAID[1,2)",
           "P:RE_BUB_V1_PLYFINAL[1,2)+6000 P:RE_LSF_BIV_V2_PLYFINAL_GOTPAID[1,2)+6000 "
           "P:RE_LSF_SCM_V2_PLYFINAL_GOTPAID[1,2)",
           "P:RE_PP_STD_V2_RETRIEVE[1,2)+6000 P:RE_PP_STD_V1_RETRIEVE[1,2)+5000 "
           "P:RE_PP_VHT_V1_RETRIEVE[1,2)",
           "P:RE_LSF_SCM_V1_PLYFINAL_LETSEE[1,2)+6000 P:RE_LSF_BIV_V2_IDIOTS_HIGH[1,2)+6000 "
           "P:RE_LSF_SCM_V2_IDIOTS_HIGH[1,2)",
           "P:RE_ODT_VAL_V2_PLYFINAL[1,2)+6000 P:RE_PP_VHT_V1_RETRIEVE[1,2)+6000 "
           "P:WON_FIGHT_BANDITOS_DOM[1,3)",
       }},
  };
  for (const Table& table : tables) {
    SCOPED_TRACE(table.stage);
    ASSERT_EQ(table.cases.size(), table.shipped.size());
    for (std::size_t c = 0; c < table.cases.size(); ++c) {
      EXPECT_EQ(Describe(table.cases[c]), table.shipped[c]) << "case " << c;
    }
  }
  EXPECT_STREQ(kApproachObjective, "Search the ~COLOR_YELLOW~homestead~s~ for the valuables");
  EXPECT_STREQ(kValuablesObjective, "Search for ~COLOR_YELLOW~valuables~s~");
}

}  // namespace
}  // namespace homestead
