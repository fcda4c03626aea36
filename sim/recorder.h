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
#ifndef HOMESTEAD_SIM_RECORDER_H
#define HOMESTEAD_SIM_RECORDER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"
#include "platform/world.h"
#include "sim/milestone.h"
#include "sim/places.h"
#include "sim/svg_map.h"

namespace sim {

class Recorder {
 public:
  using LineSink = std::function<void(const std::string& line)>;

  // `focus` is the scenario's homestead: its occupants are named without
  // "of homestead N", and the map is drawn around it.
  Recorder(const platform::World& world, int focus, LineSink sink);

  // Reads the events the world logged since the last call and samples the
  // moving things. Call once per frame, after the script has run.
  void Observe();

  // Sees one host call as it is answered, for what the world does not log:
  // the random draw that picks a conversation's case.
  void OnCall(const platform::CallRecord& call);

  // A timeline line at the world's current time, for the runner's own words.
  void Say(const std::string& text);

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
  std::size_t occupantCount() const { return occupants_.size(); }

  // The map of the focus homestead; call at the end of the run.
  MapData BuildMap(std::string title, std::string subtitle) const;

  // "HH:MM  m:ss.mmm  ": the prefix of every timeline line.
  static std::string Stamp(int clockMinute, int64_t timeUs);
  // The line that heads the stamped lines and names their two clocks.
  static std::string ClockHeader();

 private:
  enum class State : uint8_t { kAvailable, kEncounter, kCoolingDown };

  struct Occupant {
    int32_t ped = 0;
    int homestead = 0;
    int set = 0;
    int index = 0;
    Vec3 spawn;
    double heading = 0;
    bool dead = false;
    std::optional<Vec3> death;
    bool fleeing = false;
    bool gotAway = false;
    bool deleted = false;
    std::vector<Vec3> flight;
  };

  struct Track {
    int id = 0;
    State state = State::kAvailable;
    int sets = 0;
    std::vector<std::size_t> current;  // indices into occupants_
    bool homeBlipSeen = false;
    int32_t lootObject = 0;
    std::optional<Vec3> lootPlaced;
    bool attacked = false;          // the current set was sent to attack
    std::optional<int> stateClock;  // game clock minute of the last state change
    std::string_view stage;         // of the running encounter; empty when none
  };

  // A RandomIntInRange(0, cases) call: a conversation's case, or one of the
  // approach's speaker draws that come just before it (the last one wins).
  struct Draw {
    int32_t cases = 0;
    int32_t pick = 0;
    std::size_t eventIndex = 0;  // the world's events before it
  };

  struct BlipInfo {
    MapBlip map;
    int homestead = 0;
    int32_t entity = 0;  // 0 for a blip on coordinates
  };

  static std::string_view StateName(State state);
  void Handle(const platform::WorldEvent& event, std::size_t batchIndex);
  void Line(const platform::WorldEvent& event, const std::string& text);
  void Reach(Milestone milestone, int homestead, const platform::WorldEvent& event,
             std::string* line);
  void SetState(Track& track, State state, const platform::WorldEvent& event);
  void Sample();
  void TellDraw(int clockMinute, int64_t timeUs, const Track* track, bool spoken);
  const Track* NearestTrack() const;

  Track* TrackNear(const platform::Vec3& at, double radius);
  Track* TrackOf(int id);
  Occupant* FindOccupant(int32_t ped);
  const Occupant* FindOccupant(int32_t ped) const;
  Track* LootOwner(int32_t object);
  // " (style, sprite, scale, modifiers)" of a blip still on the map.
  std::string BlipDetails(int32_t blip) const;
  // The label given to `blip` after the event at `batchIndex`, or "".
  std::string Label(std::size_t batchIndex, int32_t blip) const;
  // The first task given to `ped` after his creation in this batch.
  std::optional<std::string> FirstTask(std::size_t batchIndex, int32_t ped) const;
  // Whether the task event at `batchIndex` is the first since `ped` was
  // created earlier in this batch.
  bool IsFirstTask(std::size_t batchIndex, int32_t ped) const;
  // Whether `entity` was deleted or taken earlier in this batch.
  bool DeletedInBatch(std::size_t batchIndex, int32_t entity) const;
  double PlayerDistanceTo(int homestead) const;

  const platform::World& world_;
  int focus_;
  LineSink sink_;
  std::size_t nextEvent_ = 0;
  std::size_t batchStart_ = 0;
  std::vector<Track> tracks_;
  std::vector<Occupant> occupants_;
  std::map<int32_t, BlipInfo> blips_;
  std::vector<MilestoneRecord> milestones_;
  std::vector<Vec3> playerPath_;
  std::vector<int64_t> playerPathUs_;
  std::optional<Draw> draw_;
  bool headerSaid_ = false;
  int64_t lastSampleUs_ = -1;
  int shots_ = 0;
  int gotAway_ = 0;
};

// The objective text without its colour markup: "~COLOR_YELLOW~x~s~" -> "x".
std::string StripMarkup(const std::string& text);

}  // namespace sim

#endif  // HOMESTEAD_SIM_RECORDER_H
