#include "sim/sweep/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>

namespace sim::sweep {
namespace {

struct Played {
  std::map<uint32_t, WorkerReply> replies;
  std::string error;
};

Played Play(SeedRange seeds, int jobs, const std::atomic<bool>& stop, int stopAfter = -1) {
  Played played;
  int count = 0;
  PoolHooks hooks;
  hooks.onReply = [&](const WorkerReply& reply) {
    EXPECT_EQ(played.replies.count(reply.seed), 0u) << "seed " << reply.seed << " twice";
    played.replies[reply.seed] = reply;
    return ++count != stopAfter;
  };
  played.error = RunWorkers({HOMESTEAD_FAKE_WORKER_PATH, {}}, seeds, jobs, hooks, stop);
  return played;
}

// Every seed is answered once, by its line or by how its worker ended, and
// a worker that ended is replaced: the same whatever the number of workers.
TEST(WorkerPoolTest, EverySeedIsAnsweredOnceAndACrashCostsOnlyItsSeed) {
  const std::atomic<bool> never{false};
  for (const int jobs : {1, 3}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    const Played played = Play({10, 25}, jobs, never);
    EXPECT_EQ(played.error, "");
    ASSERT_EQ(played.replies.size(), 16u);
    for (const auto& [seed, reply] : played.replies) {
      SCOPED_TRACE("seed " + std::to_string(seed));
      switch (seed % 10) {
        case 3:
          EXPECT_FALSE(reply.line);
#if defined(_WIN32)
          EXPECT_EQ(reply.ended, "exit status 3");  // how abort ends a Windows program
#else
          EXPECT_EQ(reply.ended, "signal 6 (SIGABRT)");
#endif
          break;
        case 4:
          EXPECT_FALSE(reply.line);
          EXPECT_EQ(reply.ended, "exit status 3");
          EXPECT_EQ(reply.exitStatus, 3);
          break;
        default:
          EXPECT_EQ(reply.line, "played " + std::to_string(seed));
          EXPECT_EQ(reply.ended, "");
      }
    }
  }
}

TEST(WorkerPoolTest, AHookOrTheStopFlagEndsTheSweepEarly) {
  const std::atomic<bool> never{false};
  const Played halted = Play({100, 199}, 2, never, 5);
  EXPECT_EQ(halted.replies.size(), 5u);

  const std::atomic<bool> stopped{true};
  EXPECT_TRUE(Play({100, 199}, 2, stopped).replies.empty());
}

TEST(WorkerPoolTest, AWorkerThatCannotStartIsAnError) {
  const std::atomic<bool> never{false};
  const std::string error = RunWorkers({"/no/such/worker", {}}, {1, 5}, 2, PoolHooks{}, never);
  EXPECT_NE(error.find("/no/such/worker"), std::string::npos) << error;
}

}  // namespace
}  // namespace sim::sweep
