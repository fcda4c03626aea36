#include "sim/run/runner.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "platform/format.h"
#include "platform/session.h"
#include "sim/base/sim_time.h"
#include "sim/report/trace.h"
#include "sim/run/replay_recorder.h"

namespace sim {

using platform::Fixed;

namespace {

// The player must stand this close to the money stack to take it.
constexpr double kReachForMoney = 2.0;

platform::Vec3 ToWorld(const Vec3& v) {
  return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

// Carries out the scenario's actions, a frame at a time. Step() runs in the
// frame callback: after the world has moved to the frame's time and before
// the script runs, so the script sees what the player did in this frame.
class ActionPlayer {
 public:
  // Unloads the plug-in and loads it again, from the file the action names
  // or else the same one; what went wrong, or empty.
  using Reloader = std::function<std::string(const Action& action)>;

  ActionPlayer(const Scenario& scenario, platform::World& world, Recorder& recorder,
               Reloader reload)
      : scenario_(scenario), world_(world), recorder_(recorder), reload_(std::move(reload)) {}

  bool done() const { return next_ >= scenario_.actions.size() || failed(); }
  bool failed() const { return !failure_.empty(); }
  // Fails the action under way (the run is not done) for `why`.
  void Stop(const std::string& why) { Fail(scenario_.actions[next_], why); }
  const std::string& failure() const { return failure_; }
  std::size_t actionsDone() const { return next_; }

  void Step() {
    const int64_t now = world_.nowUs();
    const double dt = lastUs_ < 0 ? 0.0 : static_cast<double>(now - lastUs_) / 1e6;
    lastUs_ = now;
    while (!done()) {
      const Action& action = scenario_.actions[next_];
      if (!started_) {
        started_ = true;
        startUs_ = now;
        recorder_.Say("> " + action.text);
        if (!Begin(action)) return;
      }
      if (!Continue(action, now, dt)) return;  // still under way
      started_ = false;
      ++next_;
      if (IsTimed(action)) return;  // the next one starts with the next frame
    }
  }

 private:
  static bool IsTimed(const Action& action) {
    switch (action.kind) {
      case Action::Kind::kRideTo:
      case Action::Kind::kRideTowards:
      case Action::Kind::kRideAway:
      case Action::Kind::kWait:
      case Action::Kind::kWaitFor:
        return true;
      default:
        return false;
    }
  }

  bool Fail(const Action& action, const std::string& why) {
    failure_ = "line " + std::to_string(action.line) + " (" + action.text + "): " + why;
    recorder_.Say("! " + why);
    return false;
  }

  int Reached(Milestone milestone) const {
    int count = 0;
    for (const MilestoneRecord& record : recorder_.milestones()) {
      if (record.milestone == milestone) ++count;
    }
    return count;
  }

  // Sets up a timed action or carries out an instant one. False on failure.
  bool Begin(const Action& action) {
    switch (action.kind) {
      case Action::Kind::kRideTo:
        target_ = action.target.Resolve();
        return true;
      case Action::Kind::kRideTowards:
      case Action::Kind::kRideAway:
        target_ = RideTarget(action);
        return true;
      case Action::Kind::kShootOccupant:
        return ShootOccupant(action);
      case Action::Kind::kShootAll:
      case Action::Kind::kShootAllButOne:
        return ShootAll(action);
      case Action::Kind::kTakeMoney:
        return TakeMoney(action);
      case Action::Kind::kAdvanceClock:
        world_.AdvanceClockMinutes(action.durationMs / 60000);
        recorder_.Say("game clock now " + FormatClock(world_.ClockMinuteOfDay()));
        return true;
      case Action::Kind::kSetClock:
        world_.SetClock(action.clockMinutes / 60, action.clockMinutes % 60);
        return true;
      case Action::Kind::kSuppress:
        world_.SetSuppressed(action.on);
        return true;
      case Action::Kind::kReload:
        if (const std::string problem = reload_(action); !problem.empty()) {
          return Fail(action, problem);
        }
        return true;
      case Action::Kind::kExpect:
        return Expect(action);
      case Action::Kind::kExpectNo:
        if (Reached(action.milestone) > consumed_[Index(action.milestone)]) {
          return Fail(action, std::string(MilestoneName(action.milestone)) + " has happened");
        }
        return true;
      case Action::Kind::kWait:
      case Action::Kind::kWaitFor:
        return true;
    }
    return true;
  }

  // Where a ride towards or away from a homestead ends. A rider stays on
  // the ground: the ride keeps the player's height and goes along the level
  // line through the centre (to the south when he is straight above it) to
  // where the 3-D distance the plug-in measures is the one asked for, or
  // over the centre when his height alone is farther than that. Where the
  // player is when he is already that near or far.
  Vec3 RideTarget(const Action& action) const {
    const Vec3 player = Widen(world_.PlayerPosition());
    const Vec3 centre = FindHomestead(action.homestead)->centre;
    const double distance = Distance(player, centre);
    const bool towards = action.kind == Action::Kind::kRideTowards;
    if ((towards && distance <= action.distance) || (!towards && distance >= action.distance)) {
      return player;
    }
    const double height = player.z - centre.z;
    const double dx = player.x - centre.x;
    const double dy = player.y - centre.y;
    // sqrt, unlike hypot, is rounded alike on every system.
    const double across = std::sqrt(dx * dx + dy * dy);
    double east = 0.0;
    double north = -1.0;
    if (across > 1e-6) {
      east = dx / across;
      north = dy / across;
    }
    const double step =
        std::sqrt(std::max(0.0, action.distance * action.distance - height * height));
    return {centre.x + east * step, centre.y + north * step, player.z};
  }

  bool ShootOccupant(const Action& action) {
    const std::vector<int32_t> peds = recorder_.Occupants(action.homestead);
    const std::string who = "occupant " + std::to_string(action.occupant);
    if (action.occupant >= static_cast<int>(peds.size())) {
      return Fail(action, "homestead " + std::to_string(action.homestead) + " has no " + who +
                              " (" + std::to_string(peds.size()) + " created)");
    }
    const int32_t ped = peds[action.occupant];
    const platform::Entity* entity = world_.FindEntity(ped);
    if (entity == nullptr) return Fail(action, who + " is no longer in the world");
    if (entity->dead) return Fail(action, who + " is already dead");
    world_.KillPed(ped);
    return true;
  }

  bool ShootAll(const Action& action) {
    std::vector<int32_t> living;
    for (int32_t ped : recorder_.Occupants(action.homestead)) {
      const platform::Entity* entity = world_.FindEntity(ped);
      if (entity != nullptr && !entity->dead) living.push_back(ped);
    }
    const bool spareOne = action.kind == Action::Kind::kShootAllButOne;
    if (living.size() < (spareOne ? 2u : 1u)) {
      return Fail(action, "homestead " + std::to_string(action.homestead) + " has " +
                              std::to_string(living.size()) + " living occupants");
    }
    // The one spared is the living occupant with the highest index.
    if (spareOne) living.pop_back();
    for (int32_t ped : living) world_.KillPed(ped);
    return true;
  }

  bool TakeMoney(const Action& action) {
    const int32_t stack = recorder_.MoneyStack(action.homestead);
    const platform::Entity* entity = stack != 0 ? world_.FindEntity(stack) : nullptr;
    if (entity == nullptr) {
      return Fail(action, "homestead " + std::to_string(action.homestead) +
                              " has no money stack in the world");
    }
    const double distance = Distance(Widen(world_.PlayerPosition()), Widen(entity->position));
    if (distance > kReachForMoney) {
      return Fail(action, "the money stack is " + Fixed(distance, 1) +
                              " m away; the player must be within " + Fixed(kReachForMoney, 1) +
                              " m");
    }
    world_.TakeObject(stack);
    return true;
  }

  bool Expect(const Action& action) {
    const std::size_t m = Index(action.milestone);
    // "wait for flight" then "expect flight" mean the same flight.
    if (waitedUnchecked_[m] > 0) {
      --waitedUnchecked_[m];
      return true;
    }
    if (Reached(action.milestone) <= consumed_[m]) {
      return Fail(action, std::string(MilestoneName(action.milestone)) + " has not happened");
    }
    ++consumed_[m];
    return true;
  }

  // True once the action is complete.
  bool Continue(const Action& action, int64_t now, double dt) {
    switch (action.kind) {
      case Action::Kind::kRideTo:
      case Action::Kind::kRideTowards:
      case Action::Kind::kRideAway:
        return world_.MovePlayerToward(ToWorld(target_), static_cast<float>(action.speed * dt));
      case Action::Kind::kWait:
        return now - startUs_ >= action.durationMs * 1000;
      case Action::Kind::kWaitFor:
        if (Reached(action.milestone) > consumed_[Index(action.milestone)]) {
          ++consumed_[Index(action.milestone)];
          ++waitedUnchecked_[Index(action.milestone)];
          return true;
        }
        if (now - startUs_ > action.durationMs * 1000) {
          Fail(action, std::string(MilestoneName(action.milestone)) + " did not happen within " +
                           SimTimeText(action.durationMs * 1000));
        }
        return false;
      default:
        return true;
    }
  }

  static std::size_t Index(Milestone milestone) { return static_cast<std::size_t>(milestone); }

  const Scenario& scenario_;
  platform::World& world_;
  Recorder& recorder_;
  Reloader reload_;
  std::size_t next_ = 0;
  bool started_ = false;
  int64_t startUs_ = 0;
  int64_t lastUs_ = -1;
  Vec3 target_;
  // Occurrences taken up so far, by `wait for` and `expect`.
  std::array<int, kMilestoneCount> consumed_{};
  // Of those, taken up by `wait for` and not yet checked by an `expect`.
  std::array<int, kMilestoneCount> waitedUnchecked_{};
  std::string failure_;
};

platform::HostConfig ConfigFor(const Scenario& scenario, uint32_t seed, const Vec3& start) {
  platform::HostConfig config;
  config.framesPerSecond = kFramesPerSecond;
  config.world.seed = seed;
  config.world.clockRate = kClockRate;
  config.world.startHour = scenario.clockMinutes / 60;
  config.world.startMinute = scenario.clockMinutes % 60;
  config.world.playerStart = ToWorld(start);
  return config;
}

void WriteTraceHeader(TraceWriter& trace, const Scenario& scenario, const RunOptions& options) {
  TraceHeader header;
  header.scenario = scenario.name;
  header.source = scenario.source;
  header.seed = options.seed;
  header.pluginPath = options.pluginName.empty() ? options.pluginPath : options.pluginName;
  header.pluginFile = options.pluginPath;
  trace.Header(std::move(header));
}

// "game clock 14:03, 0:12.300 simulated, frame 738, action 3 of 12".
std::string ProgressText(const platform::World& world, const platform::Host& host,
                         const ActionPlayer& player, const Scenario& scenario) {
  return "game clock " + FormatClock(world.ClockMinuteOfDay()) + ", " + SimTimeText(world.nowUs()) +
         " simulated, frame " + std::to_string(host.frame()) + ", action " +
         std::to_string(std::min(player.actionsDone() + 1, scenario.actions.size())) + " of " +
         std::to_string(scenario.actions.size());
}

// Plays frames until every action is done, one has failed, the budget is
// spent or the session has closed.
void PlayFrames(platform::Session& session, ActionPlayer& player, Recorder& recorder,
                std::optional<TraceWriter>& trace, std::optional<ReplayRecorder>& replay,
                const Scenario& scenario, const RunOptions& options) {
  platform::World& world = session.world();
  platform::Host& host = session.host();
  std::size_t errorsSeen = 0;
  std::size_t eventsSeen = 0;
  const auto wallStart = std::chrono::steady_clock::now();
  while (!player.done() && session.open()) {
    session.RunFrames(1, [&player](platform::Session&) { player.Step(); });
    recorder.Observe();
    if (replay) replay->Observe();
    if (options.observer != nullptr) {
      const std::vector<platform::WorldEvent>& events = world.events();
      for (; eventsSeen < events.size(); ++eventsSeen) {
        options.observer->OnEvent(events[eventsSeen], eventsSeen);
      }
    }
    // In milliseconds, so that no budget a caller gives can overflow.
    if (!player.done() && world.nowUs() / 1000 >= options.budgetMs) {
      player.Stop("the run has spent its budget of " + FormatScenarioDuration(options.budgetMs) +
                  " of simulated time");
    }
    if (trace) {
      trace->Milestones(recorder.milestones());
      // Played in real time, the lines go to the file every frame, not a chunk at a time.
      if (options.realtime) trace->Flush();
    }
    // Host errors are the plug-in's mistakes (unknown operation, wrong
    // arguments); each is told as it happens and fails the run.
    for (; errorsSeen < host.errors().size(); ++errorsSeen) {
      recorder.Say("! host error: " + host.errors()[errorsSeen]);
    }
    if (options.progress && host.frame() % (kFramesPerSecond / 10) == 0) {
      options.progress(ProgressText(world, host, player, scenario));
    }
    if (options.realtime) {
      std::this_thread::sleep_until(wallStart + std::chrono::microseconds(world.nowUs()));
    }
  }
}

// The first problem of the run, in words; empty when it passed.
std::string FailureOf(const ActionPlayer& player, const platform::Host& host,
                      const std::string& closeProblem) {
  if (player.failed()) return player.failure();
  if (host.errorCount() > 0) {
    return std::to_string(host.errorCount()) + " host errors, the first: " +
           (host.errors().empty() ? std::string("?") : host.errors().front());
  }
  if (!closeProblem.empty()) return "unloading the plug-in: " + closeProblem;
  return "";
}

}  // namespace

RunReport RunScenario(const Scenario& scenario, const RunOptions& options,
                      const TimelineSink& tell) {
  RunReport report;
  // The replay page shows the timeline too.
  std::vector<std::string> lines;
  const TimelineSink timeline = options.replay
                                    ? TimelineSink([&lines, &tell](const std::string& line) {
                                        lines.push_back(line);
                                        tell(line);
                                      })
                                    : tell;
  const Vec3 start = scenario.start.Resolve();
  platform::Session::OpenResult opened = platform::Session::Open(
      options.pluginPath, ConfigFor(scenario, options.seed, start), options.pluginName);
  if (!opened.session) {
    report.loadFailed = true;
    report.failure = opened.error;
    return report;
  }
  platform::Session& session = *opened.session;
  platform::World& world = session.world();
  platform::Host& host = session.host();
  Recorder recorder(world, scenario.homestead, timeline);
  std::optional<ReplayRecorder> replay;
  if (options.replay) replay.emplace(world, recorder, scenario.homestead);
  std::optional<TraceWriter> trace;
  if (options.trace) {
    trace.emplace(options.trace, world, options.traceFilter);
    WriteTraceHeader(*trace, scenario, options);
  }
  // The recorder sees the calls for what the world does not log (the random
  // draws that pick a conversation); the trace sees every call. Without a
  // trace the host tells only the calls the recorder uses.
  RunObserver* const observer = options.observer;
  host.SetObserver(
      [&recorder, &trace, observer, &world](const platform::CallRecord& call) {
        recorder.OnCall(call);
        if (observer != nullptr) observer->OnCall(call, world.events().size());
        if (trace) trace->Call(call);
      },
      trace ? std::span<const platform::OpId>() : std::span(Recorder::kCallsUsed));
  const std::string about = scenario.about.empty() ? "" : " (" + scenario.about + ")";
  timeline("scenario " + scenario.name + about + ", seed " + std::to_string(options.seed));
  recorder.Say("the player starts at " + scenario.start.Describe() + " (" +
               platform::FixedTriple(start.x, start.y, start.z, ", ") + ")");

  // In the frame, before the scripts run: the new instance's script main
  // starts in the same frame, as after a reload key in the game.
  ActionPlayer player(scenario, world, recorder, [&](const Action& action) {
    recorder.OnReload(action.pluginPath);
    return action.pluginPath.empty() ? session.Reload(options.pluginPath)
                                     : session.Reload(action.pluginPath);
  });
  const int startMinute = world.ClockMinuteOfDay();
  PlayFrames(session, player, recorder, trace, replay, scenario, options);
  const std::string closeProblem = session.Close();
  report.failure = FailureOf(player, host, closeProblem);
  report.passed = report.failure.empty();
  report.milestones = recorder.milestones();
  report.shot = recorder.shotCount();
  report.gotAway = recorder.gotAwayCount();

  const std::string clockSpan =
      FormatClock(startMinute) + " to " + FormatClock(world.ClockMinuteOfDay());
  const std::string simulated =
      SimTimeText(world.nowUs()) + " simulated in " + std::to_string(host.frame()) + " frames";
  std::string title =
      "Homestead " + std::to_string(scenario.homestead) + ", scenario " + scenario.name;
  std::string subtitle = (scenario.about.empty() ? "" : scenario.about + " | ") + "seed " +
                         std::to_string(options.seed) + " | game clock " + clockSpan + " | " +
                         simulated;
  if (replay) {
    report.replay.title = title;
    report.replay.subtitle = subtitle;
  }
  report.map = recorder.BuildMap(std::move(title), std::move(subtitle));

  report.summary =
      "summary: " + scenario.name + ", seed " + std::to_string(options.seed) + ": " +
      (report.passed ? "passed" : "FAILED at " + report.failure) + "; " +
      std::to_string(player.actionsDone()) + " of " + std::to_string(scenario.actions.size()) +
      " actions, " + std::to_string(report.milestones.size()) + " milestones, " +
      std::to_string(recorder.occupantCount()) + " occupants, " +
      std::to_string(recorder.shotCount()) + " shot, " + std::to_string(recorder.gotAwayCount()) +
      " got away; game clock " + clockSpan + ", " + simulated;
  timeline(report.summary);
  if (replay) {
    report.replay.passed = report.passed;
    report.replay.failure = report.failure;
    report.replay.framesPerSecond = kFramesPerSecond;
    report.replay.milestones = report.milestones;
    report.replay.timeline = std::move(lines);
    report.replay = replay->Finish(std::move(report.replay));
  }
  return report;
}

}  // namespace sim
