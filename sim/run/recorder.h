// The recorder watches the simulated world frame by frame and makes sense of
// it for a reader: it names peds as the occupants of a homestead (by the order
// they were created in), recognises the money stack and the home blips,
// follows each homestead through its robbery cycle, notices the milestones of
// a robbery, and writes one timeline line per thing that happened. It also
// keeps what the map needs: the player's path, spawn points, deaths, flights
// and blips.
//
// It only reads the world; the runner calls Observe() once per frame after
// the script has run, OnCall() for every host call, and Say() for the
// player's own actions.
//
// The timeline opens with a line that names its two clocks. Milestones and
// state changes give the player's distance from the homestead and the stage
// the encounter enters; each conversation says which case was drawn; what
// looks wrong (a dead man given a task, a line nobody can say, a case outside
// the table) carries a "warning:" instead of being told as if it were normal.
#ifndef HOMESTEAD_SIM_RUN_RECORDER_H
#define HOMESTEAD_SIM_RUN_RECORDER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"
#include "platform/world.h"
#include "sim/base/milestone.h"
#include "sim/report/map_model.h"
#include "sim/run/event_batch.h"
#include "sim/run/observations.h"

namespace sim {

class Recorder {
 public:
  using LineSink = std::function<void(const std::string& line)>;

  // `focus` is the scenario's homestead: its occupants are named without
  // "of homestead N", and the map is drawn around it.
  Recorder(const platform::World& world, int focus, LineSink sink);

  // Reads the events the world logged since the last call and samples the
  // moving things. Call once per frame, after the script has run (OnReload
  // calls it too, within the frame).
  void Observe();

  // Sees one host call as it is answered, for what the world does not log:
  // the random draw that picks a conversation's case. Only the calls of
  // kCallsUsed matter to it.
  void OnCall(const platform::CallRecord& call);
  static constexpr std::array<platform::OpId, 1> kCallsUsed = {platform::OpId::kRandomIntInRange};

  // A timeline line at the world's current time, for the runner's own words.
  void Say(const std::string& text);

  // The plug-in is about to be unloaded and loaded again (`from` names
  // another build; empty: the same file). The unload calls no host
  // operation, so whatever the old instance made stays in the world: tells
  // it as a warning (occupants, money stacks and blips, by count and
  // handle) and marks it as left behind for the map. The new instance knows
  // none of it: its home blips are start-ups again, its occupants a new set.
  void OnReload(const std::string& from);

  // Ped handles of the homestead's newest set of occupants, by index; empty
  // before any was created.
  std::vector<int32_t> Occupants(int homestead) const;
  // The money stack object of the homestead's current encounter, or 0.
  int32_t MoneyStack(int homestead) const;
  // "occupant 3" or "occupant 3 of homestead 7"; "ped N" for a stranger.
  std::string NamePed(int32_t ped) const;

  const std::vector<MilestoneRecord>& milestones() const { return milestones_; }
  int shotCount() const { return shots_; }
  int gotAwayCount() const { return gotAway_; }
  std::size_t occupantCount() const { return seen_.occupants.size(); }
  const Observations& observations() const { return seen_; }

  // The map of the focus homestead (see map_builder.h); call at the end of
  // the run.
  MapData BuildMap(std::string title, std::string subtitle) const;

  // "HH:MM  m:ss.mmm  ": the prefix of every timeline line.
  static std::string Stamp(int clockMinute, int64_t timeUs);
  // The line that heads the stamped lines and names their two clocks.
  static std::string ClockHeader();

 private:
  // A RandomIntInRange(0, cases) call: a conversation's case, or one of the
  // approach's speaker draws that come just before it (the last one wins).
  struct Draw {
    int32_t cases = 0;
    int32_t pick = 0;
    std::size_t eventIndex = 0;  // the world's events before it
  };

  // One method per kind of world event; `index` is the event's place in the
  // world's log.
  void Handle(const platform::WorldEvent& event, std::size_t index);
  void OnBlipAdded(const platform::WorldEvent& event, std::size_t index);
  void OnBlipLabelled(const platform::WorldEvent& event);
  void OnBlipRemoved(const platform::WorldEvent& event, std::size_t index);
  void OnPedCreated(const platform::WorldEvent& event, std::size_t index);
  void OnObjectCreated(const platform::WorldEvent& event);
  void OnEntityDeleted(const platform::WorldEvent& event);
  void OnPedKilled(const platform::WorldEvent& event);
  void OnObjectTaken(const platform::WorldEvent& event);
  void OnTaskGiven(const platform::WorldEvent& event, std::size_t index);
  void OnTasksCleared(const platform::WorldEvent& event);
  void OnWeapon(const platform::WorldEvent& event);
  void OnSpeech(const platform::WorldEvent& event, std::size_t index);
  void OnObjectiveShown(const platform::WorldEvent& event);
  void OnObjectiveCleared(const platform::WorldEvent& event);

  // The robbery cycle of a homestead: available -> encounter running (its
  // occupants or money stack appear) -> cooling down (torn down with the
  // player gone past the teardown distance) -> available (home blip back).
  void SetState(HomesteadTrack& track, HomesteadState state, const platform::WorldEvent& event);
  void StartEncounter(HomesteadTrack& track, const platform::WorldEvent& event);
  void CoolDownIfLeft(HomesteadTrack& track, const platform::WorldEvent& event);

  // Records the milestone and appends its note to the event's `line`; the
  // homestead's running encounter enters the milestone's stage.
  void Reach(Milestone milestone, int homestead, const platform::WorldEvent& event,
             std::string* line);

  // One timeline line, after the clock header if it is the first.
  void Stamped(int clockMinute, int64_t timeUs, const std::string& text);
  void Line(const platform::WorldEvent& event, const std::string& text);
  void Sample();
  void TellDraw(int clockMinute, int64_t timeUs, const HomesteadTrack* track, bool spoken);

  EventBatch Batch() const { return EventBatch(world_.events(), batchStart_); }
  const HomesteadTrack* NearestTrack() const;
  HomesteadTrack* TrackNear(const platform::Vec3& at, double radius);
  HomesteadTrack* TrackOf(int id);
  ObservedOccupant* FindOccupant(int32_t ped);
  const ObservedOccupant* FindOccupant(int32_t ped) const;
  HomesteadTrack* LootOwner(int32_t object);
  // " (style, sprite, scale, modifiers)" of a blip still on the map.
  std::string BlipDetails(int32_t blip) const;
  double PlayerDistanceTo(int homestead) const;

  const platform::World& world_;
  int focus_;
  LineSink sink_;
  std::size_t nextEvent_ = 0;
  std::size_t batchStart_ = 0;
  Observations seen_;
  std::vector<MilestoneRecord> milestones_;
  std::optional<Draw> draw_;
  bool headerSaid_ = false;
  int64_t lastSampleUs_ = -1;
  int shots_ = 0;
  int gotAway_ = 0;
};

// The objective text without its colour markup: "~COLOR_YELLOW~x~s~" -> "x".
std::string StripMarkup(const std::string& text);

}  // namespace sim

#endif  // HOMESTEAD_SIM_RUN_RECORDER_H
