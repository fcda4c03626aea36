#include "sim/run/replay_recorder.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "sim/base/places.h"
#include "sim/run/map_builder.h"

namespace sim {
namespace {

std::string_view KindName(MapBlip::Kind kind) {
  switch (kind) {
    case MapBlip::Kind::kHome:
      return "home";
    case MapBlip::Kind::kLoot:
      return "loot";
    case MapBlip::Kind::kOccupant:
      return "occupant";
    case MapBlip::Kind::kOther:
      break;
  }
  return "other";
}

std::string_view StateOf(const ObservedOccupant& occupant) {
  if (occupant.deleted) return "gone";
  if (occupant.dead) return "dead";
  return occupant.fleeing ? "fleeing" : "alive";
}

}  // namespace

ReplayRecorder::ReplayRecorder(const platform::World& world, const Recorder& recorder, int focus)
    : world_(world), recorder_(recorder), focus_(focus) {}

void ReplayRecorder::Observe() {
  const int64_t now = world_.nowUs();
  const int minute = world_.ClockMinuteOfDay();
  if (data_.clock.empty() || data_.clock.back().second != minute) {
    data_.clock.emplace_back(now, minute);
  }
  const platform::Vec3 player = world_.PlayerPosition();
  player_.Add(now, player.x, player.y);
  FollowOccupants(now);
  FollowMoney(now);
  FollowBlips(now);
  FollowObjectives(now);
}

void ReplayRecorder::FollowOccupants(int64_t now) {
  const std::vector<ObservedOccupant>& seen = recorder_.observations().occupants;
  for (; nextObserved_ < seen.size(); ++nextObserved_) {
    const std::size_t i = nextObserved_;
    if (seen[i].homestead != focus_) continue;
    ReplayOccupant occupant;
    occupant.index = seen[i].index;
    occupant.set = seen[i].set;
    data_.occupants.push_back(std::move(occupant));
    followed_.push_back({i, KeyTrack(), std::nullopt});
  }
  for (std::size_t n = 0; n < followed_.size(); ++n) {
    Followed& follow = followed_[n];
    const ObservedOccupant& seenOne = seen[follow.observed];
    ReplayOccupant& occupant = data_.occupants[n];
    const std::string_view state = StateOf(seenOne);
    if (occupant.states.empty() || occupant.states.back().second != state) {
      occupant.states.emplace_back(now, state);
      if ((state == "dead" || state == "gone") && !follow.silentFromUs) follow.silentFromUs = now;
    }
    if (seenOne.deleted) continue;
    if (const platform::Entity* ped = world_.FindEntity(seenOne.ped)) {
      follow.track.Add(now, ped->position.x, ped->position.y);
    }
  }
}

void ReplayRecorder::FollowMoney(int64_t now) {
  const platform::Entity* stack = moneyObject_ != 0 ? world_.FindEntity(moneyObject_) : nullptr;
  if (moneyObject_ != 0 && stack == nullptr) {
    data_.money.back().toUs = now;
    moneyObject_ = 0;
  }
  if (moneyObject_ != 0) return;
  for (const HomesteadTrack& track : recorder_.observations().tracks) {
    if (track.id != focus_ || track.lootObject == 0) continue;
    if (const platform::Entity* placed = world_.FindEntity(track.lootObject)) {
      moneyObject_ = track.lootObject;
      ReplayThing money;
      money.fromUs = now;
      money.x = placed->position.x;
      money.y = placed->position.y;
      data_.money.push_back(std::move(money));
    }
  }
}

void ReplayRecorder::FollowBlips(int64_t now) {
  const std::map<int32_t, platform::Blip>& shown = world_.blips();
  for (auto it = openBlips_.begin(); it != openBlips_.end();) {
    if (shown.contains(it->first)) {
      ++it;
      continue;
    }
    if (it->second) data_.blips[*it->second].toUs = now;
    it = openBlips_.erase(it);
  }
  const Observations& seen = recorder_.observations();
  for (const auto& [handle, blip] : shown) {
    if (openBlips_.contains(handle)) continue;
    const auto known = seen.blips.find(handle);
    if (known == seen.blips.end()) continue;
    const ObservedBlip& info = known->second;
    if (!MapShowsBlip(info, focus_)) {
      openBlips_.emplace(handle, std::nullopt);
      continue;
    }
    ReplayThing thing;
    thing.fromUs = now;
    thing.x = info.map.position.x;
    thing.y = info.map.position.y;
    thing.kind = KindName(info.map.kind);
    thing.label = blip.label;
    for (const ObservedOccupant& occupant : seen.occupants) {
      if (info.entity != 0 && occupant.ped == info.entity) {
        thing.index = occupant.index;
        thing.set = occupant.set;
      }
    }
    openBlips_.emplace(handle, data_.blips.size());
    data_.blips.push_back(std::move(thing));
  }
}

void ReplayRecorder::FollowObjectives(int64_t now) {
  const std::vector<platform::WorldEvent>& events = world_.events();
  for (; nextEvent_ < events.size(); ++nextEvent_) {
    const platform::WorldEvent& event = events[nextEvent_];
    const bool open = !data_.objectives.empty() && !data_.objectives.back().toUs;
    if (event.kind == platform::EventKind::kObjectiveShown) {
      if (open) data_.objectives.back().toUs = now;
      data_.objectives.push_back({now, std::nullopt, StripMarkup(event.text)});
    } else if (event.kind == platform::EventKind::kObjectiveCleared && open) {
      data_.objectives.back().toUs = now;
    }
  }
}

ReplayData ReplayRecorder::Finish(ReplayData data) const {
  const HomesteadPlace* place = FindHomestead(focus_);
  data.centre = place->centre;
  data.lootSpot = place->loot;
  data.endUs = world_.nowUs();
  data.clock = data_.clock;
  data.player = player_.Keys();
  data.occupants = data_.occupants;
  for (std::size_t n = 0; n < followed_.size(); ++n) {
    data.occupants[n].track = followed_[n].track.Keys();
  }
  data.money = data_.money;
  data.blips = data_.blips;
  data.objectives = data_.objectives;

  // A line plays for its length, until the speaker's next line, or until he
  // dies or leaves the world.
  const std::vector<platform::SpeechLine>& speech = world_.speech();
  const std::vector<ObservedOccupant>& seen = recorder_.observations().occupants;
  for (std::size_t i = 0; i < speech.size(); ++i) {
    const platform::SpeechLine& line = speech[i];
    int64_t until = line.startUs + line.durationUs;
    for (std::size_t j = i + 1; j < speech.size(); ++j) {
      if (speech[j].ped == line.ped) {
        until = std::min(until, speech[j].startUs);
        break;
      }
    }
    for (const Followed& follow : followed_) {
      if (seen[follow.observed].ped == line.ped && follow.silentFromUs) {
        until = std::min(until, std::max(*follow.silentFromUs, line.startUs));
      }
    }
    data.speech.push_back({line.startUs, until,
                           recorder_.NamePed(line.ped) + " says " + line.line + ", variation " +
                               std::to_string(line.variation)});
  }
  return data;
}

}  // namespace sim
