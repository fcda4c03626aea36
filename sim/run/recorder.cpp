#include "sim/run/recorder.h"

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "encounter/distances.h"
#include "platform/format.h"
#include "sim/base/sim_time.h"
#include "sim/run/map_builder.h"

namespace sim {
namespace {

using homestead::kTeardownDistance;
using platform::Fixed;
using platform::WorldEvent;

// How often the moving things are sampled for the map.
constexpr int64_t kSampleEveryUs = 250'000;

}  // namespace

std::string StripMarkup(const std::string& text) {
  std::string out;
  bool inTag = false;
  for (char c : text) {
    if (c == '~') {
      inTag = !inTag;
      continue;
    }
    if (!inTag) out += c;
  }
  return out;
}

Recorder::Recorder(const platform::World& world, int focus, LineSink sink)
    : world_(world), focus_(focus), sink_(std::move(sink)) {
  for (const HomesteadPlace& place : Homesteads()) {
    HomesteadTrack track;
    track.id = place.id;
    seen_.tracks.push_back(track);
  }
}

std::string Recorder::ClockHeader() {
  return "clock  sim time  (clock: the game's time of day, HH:MM; sim time: simulated time since "
         "the start, m:ss.mmm)";
}

std::string Recorder::Stamp(int clockMinute, int64_t timeUs) {
  std::string stamp = platform::ClockText(clockMinute);
  stamp += "  ";
  AppendSimTime(stamp, timeUs);
  stamp += "  ";
  return stamp;
}

void Recorder::Say(const std::string& text) {
  Stamped(world_.ClockMinuteOfDay(), world_.nowUs(), text);
}

void Recorder::Line(const WorldEvent& event, const std::string& text) {
  Stamped(event.clockMinute, event.timeUs, text);
}

void Recorder::Stamped(int clockMinute, int64_t timeUs, const std::string& text) {
  if (!headerSaid_) sink_(ClockHeader());
  headerSaid_ = true;
  sink_(Stamp(clockMinute, timeUs) + text);
}

void Recorder::Observe() {
  const std::vector<WorldEvent>& events = world_.events();
  batchStart_ = nextEvent_;
  for (std::size_t i = nextEvent_; i < events.size(); ++i) Handle(events[i], i);
  nextEvent_ = events.size();
  // A case drawn without a line said after it in its frame: nothing was said.
  if (draw_) TellDraw(world_.ClockMinuteOfDay(), world_.nowUs(), NearestTrack(), false);
  Sample();
}

void Recorder::OnCall(const platform::CallRecord& call) {
  if (call.op == nullptr || call.op->id != platform::OpId::kRandomIntInRange || call.refused ||
      call.args().size() != 2 || call.result == nullptr || call.args()[0].i != 0) {
    return;
  }
  // Variation draws start at 1; a draw from 0 picks a case or a speaker.
  draw_ =
      Draw{call.args()[1].i, static_cast<int32_t>(call.result->slots[0]), world_.events().size()};
}

const HomesteadTrack* Recorder::NearestTrack() const {
  const HomesteadTrack* nearest = nullptr;
  double best = 0;
  for (const HomesteadTrack& track : seen_.tracks) {
    const double d = PlayerDistanceTo(track.id);
    if (nearest == nullptr || d < best) {
      nearest = &track;
      best = d;
    }
  }
  return nearest;
}

void Recorder::TellDraw(int clockMinute, int64_t timeUs, const HomesteadTrack* track, bool spoken) {
  const Draw draw = *draw_;
  draw_.reset();
  std::string line = "conversation drawn: case " + std::to_string(draw.pick) + " of cases 0-" +
                     std::to_string(draw.cases - 1);
  if (track != nullptr) {
    line += " (";
    if (!track->stage.empty()) line += std::string(track->stage) + " stage, ";
    line += "homestead " + std::to_string(track->id) + ")";
  }
  if (draw.pick < 0 || draw.pick >= draw.cases) {
    line += "  (warning: no such case; nothing is said)";
  } else if (!spoken) {
    line += "  (warning: nothing was said)";
  }
  Stamped(clockMinute, timeUs, line);
}

void Recorder::Sample() {
  if (lastSampleUs_ >= 0 && world_.nowUs() - lastSampleUs_ < kSampleEveryUs) return;
  lastSampleUs_ = world_.nowUs();
  const Vec3 player = Widen(world_.PlayerPosition());
  if (seen_.playerPath.empty() || Distance(seen_.playerPath.back(), player) >= 0.25) {
    seen_.playerPath.push_back(player);
    seen_.playerPathUs.push_back(world_.nowUs());
  }
  for (ObservedOccupant& occupant : seen_.occupants) {
    if (!occupant.fleeing || occupant.dead || occupant.deleted) continue;
    if (const platform::Entity* ped = world_.FindEntity(occupant.ped)) {
      occupant.flight.push_back(Widen(ped->position));
    }
  }
}

HomesteadTrack* Recorder::TrackOf(int id) {
  for (HomesteadTrack& track : seen_.tracks) {
    if (track.id == id) return &track;
  }
  return nullptr;
}

HomesteadTrack* Recorder::TrackNear(const platform::Vec3& at, double radius) {
  for (HomesteadTrack& track : seen_.tracks) {
    if (Distance(FindHomestead(track.id)->centre, Widen(at)) <= radius) return &track;
  }
  return nullptr;
}

ObservedOccupant* Recorder::FindOccupant(int32_t ped) {
  for (ObservedOccupant& occupant : seen_.occupants) {
    if (occupant.ped == ped) return &occupant;
  }
  return nullptr;
}

const ObservedOccupant* Recorder::FindOccupant(int32_t ped) const {
  for (const ObservedOccupant& occupant : seen_.occupants) {
    if (occupant.ped == ped) return &occupant;
  }
  return nullptr;
}

HomesteadTrack* Recorder::LootOwner(int32_t object) {
  if (object == 0) return nullptr;
  for (HomesteadTrack& track : seen_.tracks) {
    if (track.lootObject == object) return &track;
  }
  return nullptr;
}

double Recorder::PlayerDistanceTo(int homestead) const {
  return Distance(Widen(world_.PlayerPosition()), FindHomestead(homestead)->centre);
}

std::vector<int32_t> Recorder::Occupants(int homestead) const {
  std::vector<int32_t> peds;
  for (const HomesteadTrack& track : seen_.tracks) {
    if (track.id != homestead) continue;
    for (std::size_t index : track.current) peds.push_back(seen_.occupants[index].ped);
  }
  return peds;
}

int32_t Recorder::MoneyStack(int homestead) const {
  for (const HomesteadTrack& track : seen_.tracks) {
    if (track.id == homestead) return track.lootObject;
  }
  return 0;
}

std::string Recorder::NamePed(int32_t ped) const {
  if (ped == platform::World::kPlayerHandle) return "the player";
  const ObservedOccupant* occupant = FindOccupant(ped);
  if (occupant == nullptr) return "ped " + std::to_string(ped);
  std::string name = "occupant " + std::to_string(occupant->index);
  if (occupant->homestead != focus_) name += " of homestead " + std::to_string(occupant->homestead);
  return name;
}

std::string Recorder::BlipDetails(int32_t blip) const {
  const auto it = world_.blips().find(blip);
  if (it == world_.blips().end()) return "";
  const platform::Blip& b = it->second;
  std::string details;
  auto add = [&details](const std::string& part) {
    details += details.empty() ? " (" : ", ";
    details += part;
  };
  if (const auto style = world_.NameOfHash(b.style)) add(std::string(*style));
  if (const auto sprite = world_.NameOfHash(b.sprite)) add(std::string(*sprite));
  if (b.scale != 1.0f) add("scale " + Fixed(b.scale, 2));
  for (uint32_t modifier : b.modifiers) {
    if (const auto name = world_.NameOfHash(modifier)) add(std::string(*name));
  }
  if (!details.empty()) details += ")";
  return details;
}

void Recorder::Reach(Milestone milestone, int homestead, const WorldEvent& event,
                     std::string* line) {
  milestones_.push_back({milestone, homestead, event.frame, event.timeUs, event.clockMinute});
  std::string note(MilestoneName(milestone));
  if (HomesteadTrack* track = TrackOf(homestead)) {
    const std::string_view stage = MilestoneStage(milestone);
    if (!stage.empty() && stage != track->stage && track->state != HomesteadState::kCoolingDown) {
      track->stage = stage;
      note += ", " + std::string(stage) + " stage";
    }
    note += ", player " + Fixed(PlayerDistanceTo(homestead), 2) + " m from homestead " +
            std::to_string(homestead);
  }
  *line += "  [" + note + "]";
}

void Recorder::SetState(HomesteadTrack& track, HomesteadState state, const WorldEvent& event) {
  if (track.state == state) return;
  std::string line = "homestead " + std::to_string(track.id) + ": " +
                     std::string(StateName(track.state)) + " -> " + std::string(StateName(state));
  track.state = state;
  track.stateClock = event.clockMinute;
  track.stage = "";
  if (state == HomesteadState::kCoolingDown) {
    line += " (since hour " + std::to_string(event.clockMinute / 60) + ")";
    Reach(Milestone::kTeardown, track.id, event, &line);
    track.attacked = false;
  } else {
    line += ", player " + Fixed(PlayerDistanceTo(track.id), 2) + " m away";
  }
  Line(event, line);
}

void Recorder::StartEncounter(HomesteadTrack& track, const WorldEvent& event) {
  if (track.state == HomesteadState::kAvailable) {
    SetState(track, HomesteadState::kEncounter, event);
  }
}

void Recorder::CoolDownIfLeft(HomesteadTrack& track, const WorldEvent& event) {
  if (track.state == HomesteadState::kEncounter && PlayerDistanceTo(track.id) > kTeardownDistance) {
    SetState(track, HomesteadState::kCoolingDown, event);
  }
}

namespace {

// "6 occupants (peds 101, 102, ...)", "the money stack (object 107)";
// without a kind, "9 blips (1, 2, ...)".
std::string Handles(const std::vector<int32_t>& handles, const char* one, const char* many,
                    const char* kind) {
  std::string text =
      handles.size() == 1 ? std::string(one) : std::to_string(handles.size()) + " " + many;
  text += " (";
  if (*kind != '\0') text += std::string(kind) + (handles.size() == 1 ? " " : "s ");
  for (std::size_t i = 0; i < handles.size(); ++i) {
    text += (i == 0 ? "" : ", ") + std::to_string(handles[i]);
  }
  return text + ")";
}

}  // namespace

void Recorder::OnReload(const std::string& from) {
  // What happened in this frame before the reload is told first.
  Observe();
  std::vector<int32_t> peds;
  for (ObservedOccupant& occupant : seen_.occupants) {
    if (occupant.deleted || world_.FindEntity(occupant.ped) == nullptr) continue;
    occupant.leftBehind = true;
    peds.push_back(occupant.ped);
  }
  std::vector<int32_t> stacks;
  for (HomesteadTrack& track : seen_.tracks) {
    const platform::Entity* stack =
        track.lootObject != 0 ? world_.FindEntity(track.lootObject) : nullptr;
    if (stack != nullptr) {
      stacks.push_back(track.lootObject);
      track.lootLeftBehind.push_back(Widen(stack->position));
    }
    track.current.clear();
    track.homeBlipSeen = false;
    track.attacked = false;
    track.stage = "";
  }
  std::vector<int32_t> blips;
  for (const auto& [handle, blip] : world_.blips()) {
    seen_.blips[handle].map.leftBehind = true;
    blips.push_back(handle);
  }

  std::vector<std::string> parts;
  if (!peds.empty()) parts.push_back(Handles(peds, "1 occupant", "occupants", "ped"));
  if (!stacks.empty())
    parts.push_back(Handles(stacks, "the money stack", "money stacks", "object"));
  if (!blips.empty()) parts.push_back(Handles(blips, "1 blip", "blips", ""));
  std::string line = "plug-in reloaded" + (from.empty() ? "" : " from " + from) + "; ";
  if (parts.empty()) {
    Say(line + "the unload left nothing behind");
    return;
  }
  line += "warning: the unload left behind ";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    line += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  }
  Say(line);
}

MapData Recorder::BuildMap(std::string title, std::string subtitle) const {
  return sim::BuildMap(seen_, focus_, Widen(world_.PlayerPosition()), world_.nowUs(),
                       std::move(title), std::move(subtitle));
}

}  // namespace sim
