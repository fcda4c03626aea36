// Assertions over the fake hook's log: expected host calls with their pushed
// slots, and compact traces of operation names and waits for order checks.
#ifndef HOMESTEAD_TESTS_ENCOUNTER_HOST_TRACE_H
#define HOMESTEAD_TESTS_ENCOUNTER_HOST_TRACE_H

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "encounter/conversations.h"
#include "encounter/scripted_world.h"
#include "encounter/speech.h"
#include "support/fake_hook.h"

namespace homestead::world {

// One expected pushed slot: an exact value, the address of a given text, or
// anything (an address the test cannot know).
struct Arg {
  enum class Kind { kSlot, kText, kAny };
  Kind kind = Kind::kAny;
  uint64_t slot = 0;
  const char* text = nullptr;
};
inline Arg S(uint64_t v) {
  return {Arg::Kind::kSlot, v, nullptr};
}
inline Arg I(int32_t v) {
  return S(static_cast<uint32_t>(v));
}
inline Arg F(float f) {
  return S(std::bit_cast<uint32_t>(f));
}
inline Arg T(const char* text) {
  return {Arg::Kind::kText, 0, text};
}
inline Arg H(const char* text) {
  return S(TextHash(text));
}
inline const Arg kAnyArg{};

struct ExpectedCall {
  uint64_t hash;
  std::vector<Arg> args;
};

inline std::string Describe(const fake::Event& e) {
  std::string s = OpName(e.hash);
  s += "(";
  for (std::size_t i = 0; i < e.args.size(); ++i) {
    if (i) s += ", ";
    s += std::to_string(e.args[i]);
  }
  return s + ")";
}

// Expects `calls` to be exactly `expected`, call by call and slot by slot.
inline void ExpectCalls(const std::vector<fake::Event>& calls,
                        const std::vector<ExpectedCall>& expected) {
  EXPECT_EQ(calls.size(), expected.size());
  for (std::size_t i = 0; i < calls.size() && i < expected.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + ": " + Describe(calls[i]));
    const fake::Event& got = calls[i];
    const ExpectedCall& want = expected[i];
    ASSERT_EQ(OpName(got.hash), std::string(OpName(want.hash)));
    ASSERT_EQ(got.args.size(), want.args.size());
    for (std::size_t j = 0; j < want.args.size(); ++j) {
      SCOPED_TRACE("slot " + std::to_string(j));
      const Arg& arg = want.args[j];
      if (arg.kind == Arg::Kind::kSlot) {
        EXPECT_EQ(got.args[j], arg.slot);
      } else if (arg.kind == Arg::Kind::kText) {
        EXPECT_EQ(fake::Text(got.args[j]), arg.text);
      }
    }
  }
}

// The logged calls from index `from` on.
inline std::vector<fake::Event> CallsFrom(std::size_t from) {
  std::vector<fake::Event> calls = fake::FakeHook::Get().Calls();
  if (from > calls.size()) from = calls.size();
  return {calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end()};
}

inline std::size_t CallCount() {
  return fake::FakeHook::Get().Calls().size();
}

inline std::size_t CountOf(uint64_t hash) {
  return fake::FakeHook::Get().CallsOf(hash).size();
}

// Names of the logged calls of the given operations, and "wait N" for every
// scriptWait when `waits` is true, in log order.
inline std::vector<std::string> Trace(std::initializer_list<uint64_t> ops, bool waits = true) {
  const std::set<uint64_t> wanted(ops);
  std::vector<std::string> trace;
  for (const fake::Event& e : fake::FakeHook::Get().events) {
    if (e.kind == fake::Event::Kind::kWait && waits) {
      trace.push_back("wait " + std::to_string(e.ms));
    } else if (e.kind == fake::Event::Kind::kCall && wanted.count(e.hash)) {
      trace.push_back(OpName(e.hash));
    }
  }
  return trace;
}

// The ms of every scriptWait, in order.
inline std::vector<uint32_t> Waits() {
  std::vector<uint32_t> waits;
  for (const fake::Event& e : fake::FakeHook::Get().events) {
    if (e.kind == fake::Event::Kind::kWait) waits.push_back(e.ms);
  }
  return waits;
}

// One line a conversation should say: who, what, the variation range drawn
// right before it, and the poll interval of the wait that follows.
struct ExpectedLine {
  int32_t ped;
  const char* line;
  int32_t min;
  int32_t max;
  uint32_t pollMs;
};

// The lines `conversation` says, read from the plug-in's table, with its
// roles played by `speakers`.
inline std::vector<ExpectedLine> LinesOf(Conversation conversation, const Speakers& speakers) {
  std::vector<ExpectedLine> lines;
  for (const SpeechStep& step : conversation) {
    int32_t ped = 0;
    switch (step.speaker) {
      case Speaker::kPlayer:
        ped = speakers.player;
        break;
      case Speaker::kFirstOccupant:
        ped = speakers.firstOccupant;
        break;
      case Speaker::kSecondOccupant:
        ped = speakers.secondOccupant;
        break;
      case Speaker::kLeader:
        ped = speakers.leader;
        break;
      case Speaker::kLastDefender:
        ped = speakers.lastDefender;
        break;
    }
    lines.push_back({ped, step.line, step.min, step.max, step.pollMs});
  }
  return lines;
}

// The index of the case of `cases` whose lines were said from `first` on, the
// player's by the player; cases.size() when none was.
inline std::size_t SaidCase(const ScriptedWorld& w, std::size_t first,
                            std::span<const Conversation> cases) {
  for (std::size_t c = 0; c < cases.size(); ++c) {
    const Conversation steps = cases[c];
    bool said = first + steps.size() <= w.spoken.size();
    for (std::size_t i = 0; said && i < steps.size(); ++i) {
      const SpokenLine& got = w.spoken[first + i];
      said = got.line == steps[i].line &&
             (steps[i].speaker != Speaker::kPlayer) == (got.ped != kPlayer);
    }
    if (said) return c;
  }
  return cases.size();
}

// Queues, for each line, the top of its range as the variation answer, so a
// wrong range or a variation not taken from the draw shows.
inline void QueueTopVariations(ScriptedWorld& w, const std::vector<ExpectedLine>& lines) {
  for (const ExpectedLine& l : lines) w.randomAnswers.push_back(l.max - 1);
}

// Expects the lines said from `first` on to be `lines`, each with the top of
// its range as variation. With speechPolls 1 every started line is followed by
// one wait of its poll interval.
inline void ExpectLines(const ScriptedWorld& w, std::size_t first,
                        const std::vector<ExpectedLine>& lines) {
  ASSERT_EQ(w.spoken.size(), first + lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const SpokenLine& got = w.spoken[first + i];
    const ExpectedLine& want = lines[i];
    SCOPED_TRACE("line " + std::to_string(i) + ": " + got.line);
    EXPECT_EQ(got.ped, want.ped);
    EXPECT_EQ(got.line, want.line);
    ASSERT_TRUE(got.draw.has_value()) << "no variation drawn before the line";
    EXPECT_EQ(got.draw->min, want.min);
    EXPECT_EQ(got.draw->max, want.max);
    EXPECT_EQ(got.variation, want.max - 1);
    if (got.started) {
      ASSERT_FALSE(got.waits.empty());
      EXPECT_EQ(got.waits.front(), want.pollMs);
    }
  }
}

}  // namespace homestead::world

#endif  // HOMESTEAD_TESTS_ENCOUNTER_HOST_TRACE_H
