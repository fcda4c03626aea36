// The recorder watches the simulated world frame by frame and makes sense of
// it for a reader: it names peds as the occupants of a homestead (by the order
// they were created in), recognises the money stack and the home blips,
// follows each homestead through its robbery cycle, notices the milestones of
// a robbery, and writes one timeline line per thing that happened. It also
// keeps what the map needs: the player's path, spawn points, deaths, flights
// and blips.
//
// It only reads the world; the runner calls Observe() once per frame after
// the script has run, and Say() for the player's own actions.
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

#include "platform/world.h"
#include "sim/milestone.h"
#include "sim/places.h"
#include "sim/svg_map.h"

namespace sim {

struct MilestoneRecord {
  Milestone milestone;
  int homestead;  // 0 when it belongs to none
  int64_t frame;
  int64_t timeUs;
  int clockMinute;
};

class Recorder {
 public:
  using LineSink = std::function<void(const std::string& line)>;

  // `focus` is the scenario's homestead: its occupants are named without
  // "of homestead N", and the map is drawn around it.
  Recorder(const platform::World& world, int focus, LineSink sink);

  // Reads the events the world logged since the last call and samples the
  // moving things. Call once per frame, after the script has run.
  void Observe();

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
    bool attacked = false;  // the current set was sent to attack
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
  int64_t lastSampleUs_ = -1;
  int shots_ = 0;
  int gotAway_ = 0;
};

// The objective text without its colour markup: "~COLOR_YELLOW~x~s~" -> "x".
std::string StripMarkup(const std::string& text);

}  // namespace sim

#endif  // HOMESTEAD_SIM_RECORDER_H
