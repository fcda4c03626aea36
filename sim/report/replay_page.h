// The replay page of a run: one self-contained HTML file that plays the run
// back on the map of its homestead, with the timeline beside it and the
// dialogue as subtitles. The page's template, style and script are compiled
// into the program (sim/report/replay/); the run's data goes into it as JSON,
// so the page makes no request of any kind and opens from disk.
//
// Times are written in whole milliseconds of simulated time, truncated like
// the timeline's stamps. Moving things are kept as key samples (KeyTrack):
// a sample is stored only where the motion changes, and the page
// interpolates linearly between keys. Output depends only on the data.
#ifndef HOMESTEAD_SIM_REPORT_REPLAY_PAGE_H
#define HOMESTEAD_SIM_REPORT_REPLAY_PAGE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/base/milestone.h"
#include "sim/base/places.h"

namespace sim {

struct ReplayKey {
  int64_t us = 0;
  double x = 0;
  double y = 0;
};

// The path of one moving thing, sampled once per frame and kept as the keys
// between which it moves in a straight line at a steady speed: linear
// interpolation between the keys comes within kTolerance metres of every
// sample (twice that between samples), and a thing that stands still or
// rides straight keeps two keys however long it does.
class KeyTrack {
 public:
  static constexpr double kTolerance = 0.01;

  // Samples must come in increasing time.
  void Add(int64_t us, double x, double y);
  // The keys, the last sample included; empty before the first Add.
  std::vector<ReplayKey> Keys() const;

 private:
  std::vector<ReplayKey> keys_;
  std::optional<ReplayKey> pending_;  // the newest sample, not yet a key
  double vx_ = 0;                     // metres per microsecond since the last key
  double vy_ = 0;
};

// A span of time: from `fromUs` until `toUs`, or to the end of the run.
struct ReplaySpan {
  int64_t fromUs = 0;
  std::optional<int64_t> toUs;
  std::string text;
};

struct ReplayOccupant {
  int index = 0;  // "occupant K"
  int set = 1;
  std::vector<ReplayKey> track;
  // From each time on: "alive", "fleeing", "dead" or "gone".
  std::vector<std::pair<int64_t, std::string_view>> states;
};

struct ReplayThing {
  int64_t fromUs = 0;
  std::optional<int64_t> toUs;
  double x = 0;
  double y = 0;
  std::string_view kind;     // blips: "home", "loot", "occupant" or "other"
  std::string label;         // blips: the label shown, if any
  std::optional<int> index;  // an occupant blip: its occupant's index and set
  int set = 0;
};

struct ReplayData {
  std::string title;
  std::string subtitle;
  bool passed = false;
  std::string failure;  // empty when passed
  int framesPerSecond = 60;
  int64_t endUs = 0;
  Vec3 centre;
  Vec3 lootSpot;
  std::vector<std::pair<int64_t, int>> clock;  // game clock minute from each time on
  std::vector<MilestoneRecord> milestones;
  std::vector<std::string> timeline;  // every line, as printed
  std::vector<ReplayKey> player;
  std::vector<ReplayOccupant> occupants;
  std::vector<ReplayThing> money;
  std::vector<ReplayThing> blips;
  std::vector<ReplaySpan> speech;  // "occupant 3 says LINE, variation 2"
  std::vector<ReplaySpan> objectives;
};

// The page: the template with the style, the script and the data as JSON.
std::string RenderReplayPage(const ReplayData& data);

// The data as the page reads it, as JSON that is safe inside a <script>
// element: no "<" appears in it, so no text can close the element.
std::string ReplayJson(const ReplayData& data);

}  // namespace sim

#endif  // HOMESTEAD_SIM_REPORT_REPLAY_PAGE_H
