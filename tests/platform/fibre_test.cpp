#include "platform/fibre.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
namespace {

TEST(FibreTest, ResumeAndYieldInterleaveAndEndWhenTheEntryReturns) {
  std::vector<std::string> log;
  Fibre* seenInside = nullptr;
  auto fibre = Fibre::Create([&] {
    seenInside = Fibre::Current();
    for (int i = 0; i < 3; ++i) {
      log.push_back("in " + std::to_string(i));
      Fibre::Yield();
    }
    log.push_back("end");
  });
  ASSERT_NE(fibre, nullptr);
  EXPECT_FALSE(fibre->started());
  EXPECT_TRUE(log.empty()) << "the entry must not run before the first Resume";

  for (int i = 0; i < 3; ++i) {
    fibre->Resume();
    log.push_back("out " + std::to_string(i));
    EXPECT_FALSE(fibre->finished());
  }
  fibre->Resume();
  EXPECT_TRUE(fibre->finished());
  EXPECT_FALSE(fibre->threw());
  EXPECT_EQ(seenInside, fibre.get());
  EXPECT_EQ(Fibre::Current(), nullptr);

  fibre->Resume();  // finished: the entry is not run again
  EXPECT_EQ(log,
            (std::vector<std::string>{"in 0", "out 0", "in 1", "out 1", "in 2", "out 2", "end"}));
}

TEST(FibreTest, TwoFibresKeepTheirOwnStacks) {
  std::vector<int> seen;
  auto counter = [&seen](int start) {
    return [&seen, start] {
      // Lives on the fibre's stack across the yields.
      int local = start;
      for (;;) {
        seen.push_back(local++);
        Fibre::Yield();
      }
    };
  };
  auto a = Fibre::Create(counter(100));
  auto b = Fibre::Create(counter(200));
  for (int i = 0; i < 3; ++i) {
    a->Resume();
    b->Resume();
  }
  EXPECT_EQ(seen, (std::vector<int>{100, 200, 101, 201, 102, 202}));
}

// A fibre that never finishes is freed without unwinding: destructors of
// the objects on its stack do not run and nothing after its loop runs.
TEST(FibreTest, AnUnfinishedFibreIsFreedWithoutUnwinding) {
  struct Marker {
    bool* destroyed;
    ~Marker() { *destroyed = true; }
  };
  bool destroyed = false;
  bool passedLoop = false;
  int turns = 0;
  {
    auto fibre = Fibre::Create([&] {
      // Nothing here owns heap memory: it would leak with the abandoned
      // stack, and the sanitized build's leak check would say so.
      Marker marker{&destroyed};
      for (;;) {
        ++turns;
        Fibre::Yield();
      }
      passedLoop = true;
    });
    fibre->Resume();
    fibre->Resume();
  }
  EXPECT_EQ(turns, 2);
  EXPECT_FALSE(destroyed);
  EXPECT_FALSE(passedLoop);

  // Never started: destroyed without running at all.
  bool ran = false;
  Fibre::Create([&] { ran = true; }).reset();
  EXPECT_FALSE(ran);
}

TEST(FibreTest, AnExceptionEndsTheFibreWithoutCrossingTheSwitch) {
  auto fibre = Fibre::Create([] { throw std::runtime_error("script failed"); });
  fibre->Resume();
  EXPECT_TRUE(fibre->finished());
  EXPECT_TRUE(fibre->threw());
}

TEST(FibreTest, ResumeFromInsideAFibreIsRefused) {
  int innerRuns = 0;
  auto inner = Fibre::Create([&] { ++innerRuns; });
  auto outer = Fibre::Create([&] { inner->Resume(); });
  outer->Resume();
  EXPECT_TRUE(outer->finished());
  EXPECT_EQ(innerRuns, 0);
  inner->Resume();
  EXPECT_EQ(innerRuns, 1);
}

// Restart abandons the entry where it waits (no unwinding, as when freed),
// clears what the last entry left (an exception included) and runs the new
// entry from its start; a fibre cannot restart itself.
TEST(FibreTest, RestartRunsANewEntryFromItsStartWithoutUnwindingTheOld) {
  struct Marker {
    bool* destroyed;
    ~Marker() { *destroyed = true; }
  };
  bool destroyed = false;
  auto fibre = Fibre::Create([&] {
    Marker marker{&destroyed};
    for (;;) Fibre::Yield();
  });
  fibre->Resume();

  bool restartedFromInside = true;
  std::vector<int> seen;
  ASSERT_TRUE(fibre->Restart([&] {
    restartedFromInside = fibre->Restart([] {});
    seen.push_back(1);
    Fibre::Yield();
    seen.push_back(2);
    throw std::runtime_error("second entry failed");
  }));
  EXPECT_FALSE(destroyed);
  EXPECT_FALSE(fibre->started());
  EXPECT_FALSE(fibre->finished());
  fibre->Resume();
  EXPECT_FALSE(restartedFromInside);
  EXPECT_EQ(seen, (std::vector<int>{1}));
  fibre->Resume();
  EXPECT_TRUE(fibre->threw());
  EXPECT_EQ(fibre->thrownWhat(), "second entry failed");

  int runs = 0;
  ASSERT_TRUE(fibre->Restart([&] { ++runs; }));
  EXPECT_FALSE(fibre->threw());
  EXPECT_TRUE(fibre->thrownWhat().empty());
  fibre->Resume();
  EXPECT_TRUE(fibre->finished());
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(FibreTest, DeepCallChainsFitOnTheDefaultStack) {
  // The host's handlers run on the script's fibre; give them room.
  struct Recurse {
    static int Down(int depth) {
      volatile char frame[1024];
      frame[0] = static_cast<char>(depth);
      return depth == 0 ? frame[0] : Down(depth - 1) + 1;
    }
  };
  int result = -1;
  auto fibre = Fibre::Create([&] { result = Recurse::Down(400); });
  fibre->Resume();
  EXPECT_TRUE(fibre->finished());
  EXPECT_EQ(result, 400);
}

}  // namespace
}  // namespace platform
