// The replay page's data: key samples kept only where the motion changes and
// interpolating back to every sample, and texts that cannot break the page.
#include "sim/report/replay_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace sim {
namespace {

constexpr int64_t kFrameUs = 16'666;

// Where the page puts a thing at `us`: linear between the keys around it.
ReplayKey Interpolate(const std::vector<ReplayKey>& keys, int64_t us) {
  std::size_t i = 0;
  while (i + 1 < keys.size() && keys[i + 1].us <= us) ++i;
  if (i + 1 == keys.size()) return keys[i];
  const ReplayKey& a = keys[i];
  const ReplayKey& b = keys[i + 1];
  const double f = static_cast<double>(us - a.us) / static_cast<double>(b.us - a.us);
  return {us, a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f};
}

struct Motion {
  const char* name;
  int frames;
  std::function<ReplayKey(int frame)> at;  // the position in a frame
  std::size_t maxKeys;
  std::vector<int> keyFrames;  // frames that must be kept as keys, exactly
};

TEST(KeyTrackTest, KeepsTheKeysOfEachMotionAndInterpolatesBackToEverySample) {
  const double speed = 6.0 / 60;  // metres per frame at 6 m/s
  const Motion motions[] = {
      {"standing still",
       3600,
       [](int) {
         return ReplayKey{0, 5, -3};
       },
       2,
       {0, 3599}},
      {"riding straight",
       1200,
       [&](int f) {
         return ReplayKey{0, f * speed, f * speed / 2};
       },
       2,
       {0, 1199}},
      {"ride, stop, turn",
       900,
       [&](int f) {
         if (f < 300) return ReplayKey{0, f * speed, 0};
         if (f < 600) return ReplayKey{0, 300 * speed, 0};
         return ReplayKey{0, 300 * speed, (f - 600) * speed};
       },
       4,
       {0, 300, 600, 899}},
      {"fleeing on a curve",
       1800,
       [](int f) {
         const double a = f / 600.0;
         return ReplayKey{0, 40 * std::cos(a), 40 * std::sin(a)};
       },
       200,
       {0, 1799}},
  };
  for (const Motion& motion : motions) {
    SCOPED_TRACE(motion.name);
    KeyTrack track;
    std::vector<ReplayKey> samples;
    for (int f = 0; f < motion.frames; ++f) {
      ReplayKey sample = motion.at(f);
      sample.us = f * kFrameUs;
      samples.push_back(sample);
      track.Add(sample.us, sample.x, sample.y);
    }
    const std::vector<ReplayKey> keys = track.Keys();
    EXPECT_LE(keys.size(), motion.maxKeys);
    for (int f : motion.keyFrames) {
      const auto kept = std::find_if(keys.begin(), keys.end(),
                                     [&](const ReplayKey& k) { return k.us == f * kFrameUs; });
      ASSERT_NE(kept, keys.end()) << "frame " << f;
      EXPECT_EQ(kept->x, samples[f].x);
      EXPECT_EQ(kept->y, samples[f].y);
    }
    double worst = 0;
    for (const ReplayKey& sample : samples) {
      const ReplayKey drawn = Interpolate(keys, sample.us);
      worst = std::max(worst, std::hypot(drawn.x - sample.x, drawn.y - sample.y));
    }
    EXPECT_LE(worst, 2 * KeyTrack::kTolerance);
  }
}

TEST(ReplayPageTest, NoTextOfTheRunCanCloseTheDataElementOrBreakTheJson) {
  ReplayData data;
  data.title = "Homestead 1 <b>&</b>";
  data.timeline = {"14:00  0:00.000  \"</script><script>alert(1)</script><!--\" \\ \n\t"};
  data.player = {{16'666, 1.0, -0.001}};
  const std::string json = ReplayJson(data);
  EXPECT_EQ(json.find('<'), std::string::npos);
  EXPECT_NE(json.find(R"(\"\u003c/script\u003e\u003cscript\u003ealert(1)\u003c/script\u003e)"
                      R"(\u003c!--\" \\ \u000a\u0009")"),
            std::string::npos)
      << json;
  // Whole milliseconds, truncated like the timeline's stamps; no negative zero.
  EXPECT_NE(json.find(R"("player":[[16,1.00,0.00]])"), std::string::npos) << json;

  const std::string page = RenderReplayPage(data);
  std::size_t closes = 0;
  for (std::size_t at = page.find("</script"); at != std::string::npos;
       at = page.find("</script", at + 1)) {
    ++closes;
  }
  EXPECT_EQ(closes, 2u);  // the data's element and the script's
  EXPECT_NE(page.find("<title>Homestead 1 &lt;b&gt;&amp;&lt;/b&gt;</title>"), std::string::npos);
  EXPECT_NE(page.find(json), std::string::npos);
  EXPECT_EQ(page.find("{{"), std::string::npos);
}

}  // namespace
}  // namespace sim
