// Speech playback: the parameter block the host receives, the polling of
// WaitUntilSilent, and the drawing of a conversation case.
#include "encounter/speech.h"

#include <gtest/gtest.h>

#include "encounter/host_trace.h"
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

}  // namespace
}  // namespace homestead
