// The line comparison behind --baseline and --watch, against a plain
// longest-common-subsequence count on random timelines.
#include "sim/report/timeline_diff.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace sim {
namespace {

// The fewest removals plus additions that turn `a` into `b`.
std::size_t FewestEdits(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<std::vector<std::size_t>> common(a.size() + 1,
                                               std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = a.size(); i-- > 0;) {
    for (std::size_t j = b.size(); j-- > 0;) {
      common[i][j] =
          a[i] == b[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
    }
  }
  return a.size() + b.size() - 2 * common[0][0];
}

TEST(TimelineDiffTest, FindsAShortestEditThatTurnsOneTimelineIntoTheOther) {
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // A header that differs every time, then lines drawn from a few texts at
    // a few times, so that many lines repeat as in a real timeline.
    auto timeline = [&random](int header) {
      std::vector<std::string> lines = {"scenario x, seed " + std::to_string(header)};
      const std::size_t count = 1 + random() % 11;
      for (std::size_t i = 0; i < count; ++i) {
        lines.push_back("14:00  0:0" + std::to_string(random() % 2) + ".000  line " +
                        std::to_string(random() % 4));
      }
      return lines;
    };
    // Lines are compared without their stamps.
    auto texts = [](std::vector<std::string> lines) {
      for (std::string& line : lines) line = line.substr(17);
      return lines;
    };
    const std::vector<std::string> before = timeline(round);
    const std::vector<std::string> after = timeline(round + 1);
    const TimelineDiff diff = DiffTimelines(before, after);

    const std::vector<std::string> a(before.begin() + 1, before.end());
    const std::vector<std::string> b(after.begin() + 1, after.end());
    EXPECT_EQ(diff.compared, b.size());
    EXPECT_EQ(diff.removedCount + diff.addedCount, FewestEdits(texts(a), texts(b)));
    EXPECT_EQ(diff.equal(), a == b);
    // Replaying the changes on the earlier lines gives the later ones.
    std::vector<std::string> rebuilt;
    std::size_t next = 0;  // in `a`
    for (const TimelineChange& change : diff.changes) {
      const std::size_t at = change.line - 2;  // the header line and 1-based
      while (rebuilt.size() < at) rebuilt.push_back(a[next++]);
      for (const std::string& line : change.removed) {
        ASSERT_LT(next, a.size());
        EXPECT_EQ(a[next++], line);
      }
      rebuilt.insert(rebuilt.end(), change.added.begin(), change.added.end());
    }
    rebuilt.insert(rebuilt.end(), a.begin() + static_cast<std::ptrdiff_t>(next), a.end());
    EXPECT_EQ(texts(rebuilt), texts(b));
    std::size_t moved = 0;
    for (std::size_t i = 0; i < b.size(); ++i) moved += rebuilt[i] != b[i];
    EXPECT_EQ(diff.movedCount, moved);
  }
}

}  // namespace
}  // namespace sim
