// Plays a scenario: loads the plug-in into a fresh substitute host, runs
// frames at a fixed rate of simulated time, performs the scenario's actions
// between frames (rides, shots, clock moves, checks), and reports what
// happened through the recorder's timeline, an optional call trace and the
// data for the map.
//
// Nothing here sleeps unless `realtime` is set, and nothing depends on the
// wall clock, so the same scenario, seed and plug-in give the same output.
#ifndef HOMESTEAD_SIM_RUN_RUNNER_H
#define HOMESTEAD_SIM_RUN_RUNNER_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/report/map_model.h"
#include "sim/report/replay_page.h"
#include "sim/report/trace.h"
#include "sim/run/recorder.h"
#include "sim/scenario/scenario.h"

namespace sim {

inline constexpr int kFramesPerSecond = 60;
// The game clock runs 30 times as fast as simulated time: one game minute
// per two simulated seconds.
inline constexpr double kClockRate = 30.0;
// Simulated time a run may take unless told otherwise: any one action fits
// in it, and a ride at a crawl or to a far point ends by it.
inline constexpr int64_t kDefaultBudgetMs = kMaxDurationMs;

// Sees a run from the inside, for a caller that gathers figures of its own:
// every host call the recorder sees, with the size of the world's event log
// when it was answered (which orders it against the events), and every
// world event, each once and in order.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void OnCall(const platform::CallRecord& call, std::size_t eventsSoFar) = 0;
  virtual void OnEvent(const platform::WorldEvent& event, std::size_t index) = 0;
};

struct RunOptions {
  std::string pluginPath;
  // The plug-in as the user named it, in messages and the trace's header,
  // when pluginPath is a private copy of it; empty: pluginPath.
  std::string pluginName;
  uint32_t seed = 1;
  bool realtime = false;
  TraceWriter::Sink trace;  // receives every host call, one JSON line each; empty: no trace
  TraceFilter traceFilter;  // the calls the trace keeps
  bool replay = false;      // follow the run for its replay page
  // Simulated time the run may take; a run that has not played every
  // action by then ends as failed, naming the action it was in.
  int64_t budgetMs = kDefaultBudgetMs;
  // When set, told ten times per simulated second where the run stands:
  // "game clock 14:03, 0:12.300 simulated, frame 738, action 3 of 12".
  std::function<void(const std::string& status)> progress;
  RunObserver* observer = nullptr;
};

struct RunReport {
  // The plug-in could not be loaded; nothing ran.
  bool loadFailed = false;
  // Every action was carried out, every expectation held and the host saw
  // no error.
  bool passed = false;
  std::string failure;  // the first problem, in words; empty when passed
  std::vector<MilestoneRecord> milestones;
  int shot = 0;     // occupants shot
  int gotAway = 0;  // occupants who got away
  MapData map;
  ReplayData replay;    // filled when RunOptions::replay is set
  std::string summary;  // the closing line of the timeline
};

using TimelineSink = std::function<void(const std::string& line)>;

// `timeline` receives every line of the timeline, the summary last.
RunReport RunScenario(const Scenario& scenario, const RunOptions& options,
                      const TimelineSink& timeline);

}  // namespace sim

#endif  // HOMESTEAD_SIM_RUN_RUNNER_H
