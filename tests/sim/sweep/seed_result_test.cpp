#include "sim/sweep/seed_result.h"

#include <gtest/gtest.h>

#include "sim/sweep/seed_range.h"

namespace sim::sweep {
namespace {

TEST(SeedRangeTest, ReadsRangesAndSaysWhatIsWrong) {
  struct Case {
    const char* text;
    std::optional<SeedRange> range;
    const char* complaint;  // part of the message when there is no range
  };
  const Case cases[] = {
      {"1-1000", SeedRange{1, 1000}, ""},
      {"7", SeedRange{7, 7}, ""},
      {"0-4294967295", SeedRange{0, 4294967295u}, ""},
      {"5-3", std::nullopt, "the first seed 5 is above the last 3"},
      {"1-4294967296", std::nullopt, "expected A-B"},
      {"-3", std::nullopt, "expected A-B"},
      {"1-", std::nullopt, "expected A-B"},
      {"1-2-3", std::nullopt, "expected A-B"},
      {"a-b", std::nullopt, "expected A-B"},
      {"", std::nullopt, "expected A-B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = ParseSeedRange(c.text);
    if (c.range) {
      ASSERT_TRUE(std::holds_alternative<SeedRange>(parsed)) << std::get<std::string>(parsed);
      EXPECT_EQ(std::get<SeedRange>(parsed), *c.range);
    } else {
      ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
      EXPECT_NE(std::get<std::string>(parsed).find(c.complaint), std::string::npos)
          << std::get<std::string>(parsed);
    }
  }
  EXPECT_EQ((SeedRange{0, 4294967295u}.count()), 4294967296u);
}

TEST(SeedResultTest, ALineReadsBackAsTheResultItWasMadeFrom) {
  SeedResult failed;
  failed.seed = 4294967295u;
  failed.failure = "line 3 (wait for flight up to 17s): a\\b\nc\rd ";
  failed.milestones[0] = 2;
  failed.milestones[kMilestoneCount - 1] = 1;
  failed.shot = 5;
  failed.gotAway = 1;
  failed.tornDown = 1;
  failed.branches.drawn = {{0, 3}, {4, 7}, {0, 3}};
  failed.branches.spoken = {{0, 1}, {3, 12}};
  SeedResult passed;
  passed.seed = 0;
  passed.passed = true;
  for (const SeedResult& result : {failed, passed}) {
    SCOPED_TRACE(result.seed);
    const std::string line = EncodeResult(result);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(DecodeResult(line), result);
  }
}

TEST(SeedResultTest, AnythingElseIsNoResult) {
  SeedResult result;
  result.seed = 9;
  const std::string good = EncodeResult(result);
  for (const std::string& line : {std::string(), std::string("played 9"), "X" + good.substr(1),
                                  good.substr(0, good.find(',')), "R 9 2" + good.substr(5)}) {
    SCOPED_TRACE(line);
    EXPECT_FALSE(DecodeResult(line));
  }
}

}  // namespace
}  // namespace sim::sweep
