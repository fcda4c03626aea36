// Follows a run frame by frame for its replay page: the game clock, the
// player's path, each occupant of the focus homestead (where he is, and
// whether he is alive, fleeing, dead or gone), the money stack, the blips,
// the objective shown and every line of speech with how long it played.
//
// It only reads the world and the recorder's observations; the runner calls
// Observe() once per frame after Recorder::Observe(), and Finish() once at
// the end. Each moving thing is kept as a KeyTrack, so a long run costs
// storage only where something changes.
#ifndef HOMESTEAD_SIM_RUN_REPLAY_RECORDER_H
#define HOMESTEAD_SIM_RUN_REPLAY_RECORDER_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/world.h"
#include "sim/report/replay_page.h"
#include "sim/run/recorder.h"

namespace sim {

class ReplayRecorder {
 public:
  ReplayRecorder(const platform::World& world, const Recorder& recorder, int focus);

  void Observe();
  // Hands over what was recorded, with the timeline lines and everything
  // `data` already holds (title, verdict, milestones) kept.
  ReplayData Finish(ReplayData data) const;

 private:
  struct Followed {
    std::size_t observed = 0;  // index into the recorder's occupants
    KeyTrack track;
    std::optional<int64_t> silentFromUs;  // dead or gone from then on
  };

  void FollowOccupants(int64_t now);
  void FollowMoney(int64_t now);
  void FollowBlips(int64_t now);
  void FollowObjectives(int64_t now);

  const platform::World& world_;
  const Recorder& recorder_;
  int focus_;
  ReplayData data_;
  KeyTrack player_;
  std::vector<Followed> followed_;  // parallel to data_.occupants
  std::size_t nextObserved_ = 0;    // the recorder's occupants looked at so far
  int32_t moneyObject_ = 0;         // the money stack in the world, or 0
  // Blips on the map by handle: the index into data_.blips, or none for one
  // elsewhere that the page does not show.
  std::map<int32_t, std::optional<std::size_t>> openBlips_;
  std::size_t nextEvent_ = 0;
};

}  // namespace sim

#endif  // HOMESTEAD_SIM_RUN_REPLAY_RECORDER_H
