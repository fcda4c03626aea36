#include "sim/recorder.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "encounter/distances.h"
#include "encounter/objectives.h"
#include "sim/scenario.h"

namespace sim {
namespace {

using homestead::kApproachObjective;
using homestead::kTeardownDistance;
using homestead::kValuablesObjective;
using platform::EventKind;
using platform::TaskKind;
using platform::WorldEvent;

// A ped created this close to a homestead's centre is one of its occupants,
// an object this close is its money stack, a coordinate blip its home blip.
// (Attribution margins of the simulator's own, not the plug-in's distances.)
constexpr double kOccupantRadius = 30.0;
constexpr double kHomeBlipNear = 10.0;
// How often the moving things are sampled for the map.
constexpr int64_t kSampleEveryUs = 250'000;

struct KnownObjective {
  const char* text;  // as the plug-in shows it, with markup
  Milestone milestone;
};
constexpr std::array<KnownObjective, 2> kObjectives = {{
    {kApproachObjective, Milestone::kApproach},
    {kValuablesObjective, Milestone::kOutcome},
}};

Vec3 ToVec3(const platform::Vec3& v) {
  return {v.x, v.y, v.z};
}

std::string Fixed(double value, int decimals) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string Where(const platform::Vec3& at) {
  return Fixed(at.x, 2) + ", " + Fixed(at.y, 2) + ", " + Fixed(at.z, 2);
}

// The stage a running encounter enters with the milestone, or "" when the
// milestone does not start one.
std::string_view StageOf(Milestone milestone) {
  switch (milestone) {
    case Milestone::kSpawned:
      return "occupied";
    case Milestone::kApproach:
      return "approach";
    case Milestone::kConfrontation:
      return "confrontation";
    case Milestone::kAttack:
      return "fight";
    case Milestone::kSurrender:
      return "surrender";
    case Milestone::kFlight:
      return "flight";
    case Milestone::kOutcome:
      return "outcome";
    default:
      return "";
  }
}

constexpr std::string_view kDeadWarning = "  (warning: he is dead)";

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  quoted += text;
  quoted += '"';
  return quoted;
}

}  // namespace

std::string_view Recorder::StateName(State state) {
  switch (state) {
    case State::kAvailable:
      return "available";
    case State::kEncounter:
      return "encounter running";
    case State::kCoolingDown:
      break;
  }
  return "cooling down";
}

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
    Track track;
    track.id = place.id;
    tracks_.push_back(track);
  }
}

std::string Recorder::ClockHeader() {
  return "clock  sim time  (clock: the game's time of day, HH:MM; sim time: simulated time since "
         "the start, m:ss.mmm)";
}

std::string Recorder::Stamp(int clockMinute, int64_t timeUs) {
  const int64_t ms = timeUs / 1000;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d  %lld:%02lld.%03lld  ", clockMinute / 60,
                clockMinute % 60, static_cast<long long>(ms / 60000),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return buffer;
}

void Recorder::Say(const std::string& text) {
  if (!headerSaid_) sink_(ClockHeader());
  headerSaid_ = true;
  sink_(Stamp(world_.ClockMinuteOfDay(), world_.nowUs()) + text);
}

void Recorder::Line(const WorldEvent& event, const std::string& text) {
  if (!headerSaid_) sink_(ClockHeader());
  headerSaid_ = true;
  sink_(Stamp(event.clockMinute, event.timeUs) + text);
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
      call.args.size() != 2 || call.result == nullptr || call.args[0].i != 0) {
    return;
  }
  // Variation draws start at 1; a draw from 0 picks a case or a speaker.
  draw_ = Draw{call.args[1].i, static_cast<int32_t>(call.result->slots[0]), world_.events().size()};
}

const Recorder::Track* Recorder::NearestTrack() const {
  const Track* nearest = nullptr;
  double best = 0;
  for (const Track& track : tracks_) {
    const double d = PlayerDistanceTo(track.id);
    if (nearest == nullptr || d < best) {
      nearest = &track;
      best = d;
    }
  }
  return nearest;
}

void Recorder::TellDraw(int clockMinute, int64_t timeUs, const Track* track, bool spoken) {
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
  if (!headerSaid_) sink_(ClockHeader());
  headerSaid_ = true;
  sink_(Stamp(clockMinute, timeUs) + line);
}

void Recorder::Sample() {
  if (lastSampleUs_ >= 0 && world_.nowUs() - lastSampleUs_ < kSampleEveryUs) return;
  lastSampleUs_ = world_.nowUs();
  const Vec3 player = ToVec3(world_.PlayerPosition());
  if (playerPath_.empty() || Distance(playerPath_.back(), player) >= 0.25) {
    playerPath_.push_back(player);
    playerPathUs_.push_back(world_.nowUs());
  }
  for (Occupant& occupant : occupants_) {
    if (!occupant.fleeing || occupant.dead || occupant.deleted) continue;
    if (const platform::Entity* ped = world_.FindEntity(occupant.ped)) {
      occupant.flight.push_back(ToVec3(ped->position));
    }
  }
}

Recorder::Track* Recorder::TrackOf(int id) {
  for (Track& track : tracks_) {
    if (track.id == id) return &track;
  }
  return nullptr;
}

Recorder::Track* Recorder::TrackNear(const platform::Vec3& at, double radius) {
  for (Track& track : tracks_) {
    if (Distance(FindHomestead(track.id)->centre, ToVec3(at)) <= radius) return &track;
  }
  return nullptr;
}

Recorder::Occupant* Recorder::FindOccupant(int32_t ped) {
  for (Occupant& occupant : occupants_) {
    if (occupant.ped == ped) return &occupant;
  }
  return nullptr;
}

const Recorder::Occupant* Recorder::FindOccupant(int32_t ped) const {
  for (const Occupant& occupant : occupants_) {
    if (occupant.ped == ped) return &occupant;
  }
  return nullptr;
}

Recorder::Track* Recorder::LootOwner(int32_t object) {
  if (object == 0) return nullptr;
  for (Track& track : tracks_) {
    if (track.lootObject == object) return &track;
  }
  return nullptr;
}

double Recorder::PlayerDistanceTo(int homestead) const {
  return Distance(ToVec3(world_.PlayerPosition()), FindHomestead(homestead)->centre);
}

std::vector<int32_t> Recorder::Occupants(int homestead) const {
  std::vector<int32_t> peds;
  for (const Track& track : tracks_) {
    if (track.id != homestead) continue;
    for (std::size_t index : track.current) peds.push_back(occupants_[index].ped);
  }
  return peds;
}

int32_t Recorder::MoneyStack(int homestead) const {
  for (const Track& track : tracks_) {
    if (track.id == homestead) return track.lootObject;
  }
  return 0;
}

std::string Recorder::NamePed(int32_t ped) const {
  if (ped == platform::World::kPlayerHandle) return "the player";
  const Occupant* occupant = FindOccupant(ped);
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

std::string Recorder::Label(std::size_t batchIndex, int32_t blip) const {
  const std::vector<WorldEvent>& events = world_.events();
  for (std::size_t i = batchIndex + 1; i < events.size(); ++i) {
    if (events[i].kind == EventKind::kBlipLabelled && events[i].subject == blip) {
      return events[i].text;
    }
  }
  return "";
}

std::optional<std::string> Recorder::FirstTask(std::size_t batchIndex, int32_t ped) const {
  const std::vector<WorldEvent>& events = world_.events();
  for (std::size_t i = batchIndex + 1; i < events.size(); ++i) {
    if (events[i].kind == EventKind::kTaskGiven && events[i].subject == ped) {
      return events[i].text;
    }
  }
  return std::nullopt;
}

bool Recorder::IsFirstTask(std::size_t batchIndex, int32_t ped) const {
  const std::vector<WorldEvent>& events = world_.events();
  for (std::size_t i = batchIndex; i-- > batchStart_;) {
    if (events[i].subject != ped) continue;
    if (events[i].kind == EventKind::kTaskGiven) return false;
    if (events[i].kind == EventKind::kPedCreated) return true;
  }
  return false;
}

bool Recorder::DeletedInBatch(std::size_t batchIndex, int32_t entity) const {
  if (entity == 0) return false;
  const std::vector<WorldEvent>& events = world_.events();
  for (std::size_t i = batchStart_; i < batchIndex; ++i) {
    if ((events[i].kind == EventKind::kEntityDeleted ||
         events[i].kind == EventKind::kObjectTaken) &&
        events[i].subject == entity) {
      return true;
    }
  }
  return false;
}

void Recorder::Reach(Milestone milestone, int homestead, const WorldEvent& event,
                     std::string* line) {
  milestones_.push_back({milestone, homestead, event.frame, event.timeUs, event.clockMinute});
  std::string note(MilestoneName(milestone));
  if (Track* track = TrackOf(homestead)) {
    const std::string_view stage = StageOf(milestone);
    if (!stage.empty() && stage != track->stage && track->state != State::kCoolingDown) {
      track->stage = stage;
      note += ", " + std::string(stage) + " stage";
    }
    note += ", player " + Fixed(PlayerDistanceTo(homestead), 2) + " m from homestead " +
            std::to_string(homestead);
  }
  *line += "  [" + note + "]";
}

void Recorder::SetState(Track& track, State state, const WorldEvent& event) {
  if (track.state == state) return;
  std::string line = "homestead " + std::to_string(track.id) + ": " +
                     std::string(StateName(track.state)) + " -> " + std::string(StateName(state));
  track.state = state;
  track.stateClock = event.clockMinute;
  track.stage = "";
  if (state == State::kCoolingDown) {
    line += " (since hour " + std::to_string(event.clockMinute / 60) + ")";
    Reach(Milestone::kTeardown, track.id, event, &line);
    track.attacked = false;
  } else {
    line += ", player " + Fixed(PlayerDistanceTo(track.id), 2) + " m away";
  }
  Line(event, line);
}

void Recorder::Handle(const WorldEvent& event, std::size_t batchIndex) {
  switch (event.kind) {
    case EventKind::kBlipAdded: {
      BlipInfo info;
      info.map.position = ToVec3(event.position);
      info.map.addedClock = event.clockMinute;
      info.entity = event.other;
      info.map.label = Label(batchIndex, event.subject);
      std::string line = "blip " + std::to_string(event.subject);
      if (!info.map.label.empty()) line += " " + Quoted(info.map.label);
      std::string_view warning;
      Track* home = nullptr;
      if (event.other != 0) {
        if (const Occupant* occupant = FindOccupant(event.other)) {
          info.map.kind = MapBlip::Kind::kOccupant;
          info.homestead = occupant->homestead;
          line += " added on " + NamePed(event.other);
          if (occupant->dead) warning = kDeadWarning;
        } else if (Track* owner = LootOwner(event.other)) {
          info.map.kind = MapBlip::Kind::kLoot;
          info.homestead = owner->id;
          line += " added on the money stack";
        } else {
          line += " added on entity " + std::to_string(event.other);
        }
      } else if ((home = TrackNear(event.position, kHomeBlipNear)) != nullptr) {
        info.map.kind = MapBlip::Kind::kHome;
        info.homestead = home->id;
        line += " added at homestead " + std::to_string(home->id);
      } else {
        line += " added at " + Where(event.position);
      }
      line += BlipDetails(event.subject);
      line += warning;
      if (home != nullptr) {
        Reach(home->homeBlipSeen ? Milestone::kRestored : Milestone::kStartup, home->id, event,
              &line);
        home->homeBlipSeen = true;
      }
      blips_[event.subject] = info;
      Line(event, line);
      if (home != nullptr && home->state == State::kCoolingDown) {
        SetState(*home, State::kAvailable, event);
      }
      return;
    }
    case EventKind::kBlipLabelled: {
      BlipInfo& info = blips_[event.subject];
      if (info.map.label == event.text) return;  // told with its blip
      info.map.label = event.text;
      Line(event, "blip " + std::to_string(event.subject) + " labelled " + Quoted(event.text));
      return;
    }
    case EventKind::kBlipRemoved: {
      BlipInfo& info = blips_[event.subject];
      info.map.removedClock = event.clockMinute;
      std::string line = "blip " + std::to_string(event.subject);
      if (!info.map.label.empty()) line += " " + Quoted(info.map.label);
      if (DeletedInBatch(batchIndex, event.other)) {
        const bool money = info.map.kind == MapBlip::Kind::kLoot;
        Line(event, line + " removed with " + (money ? "the money stack" : NamePed(event.other)));
        return;
      }
      Track* track = TrackOf(info.homestead);
      switch (info.map.kind) {
        case MapBlip::Kind::kHome:
          line += " removed from homestead " + std::to_string(info.homestead);
          Reach(Milestone::kHomeBlipRemoved, info.homestead, event, &line);
          break;
        case MapBlip::Kind::kLoot:
          line += " removed from the money stack";
          Reach(Milestone::kLootBlipRemoved, info.homestead, event, &line);
          break;
        case MapBlip::Kind::kOccupant:
          line += " removed from " + NamePed(event.other);
          break;
        case MapBlip::Kind::kOther:
          line += " removed";
          break;
      }
      Line(event, line);
      if (track != nullptr && info.map.kind == MapBlip::Kind::kHome &&
          track->state == State::kEncounter && PlayerDistanceTo(track->id) > kTeardownDistance) {
        SetState(*track, State::kCoolingDown, event);
      }
      return;
    }
    case EventKind::kPedCreated: {
      Track* track = TrackNear(event.position, kOccupantRadius);
      if (track == nullptr) {
        Line(event, event.words);
        return;
      }
      bool newSet = true;
      for (std::size_t index : track->current) {
        if (!occupants_[index].deleted) newSet = false;
      }
      if (newSet) {
        ++track->sets;
        track->current.clear();
        track->attacked = false;
      }
      Occupant occupant;
      occupant.ped = event.subject;
      occupant.homestead = track->id;
      occupant.set = track->sets;
      occupant.index = static_cast<int>(track->current.size());
      occupant.spawn = ToVec3(event.position);
      if (const platform::Entity* ped = world_.FindEntity(event.subject)) {
        occupant.heading = ped->heading;
      }
      track->current.push_back(occupants_.size());
      occupants_.push_back(occupant);
      if (track->state == State::kAvailable) SetState(*track, State::kEncounter, event);

      std::string line = NamePed(event.subject) + " created (ped " + std::to_string(event.subject) +
                         ") at " + Where(event.position) + ", heading " +
                         Fixed(occupant.heading, 1);
      if (track->sets > 1 && occupant.index == 0) {
        line += ", set " + std::to_string(track->sets);
      }
      const std::optional<std::string> task = FirstTask(batchIndex, event.subject);
      if (!task) {
        line += ", no task";
      } else if (*task == TaskName(TaskKind::kDefaultIdle)) {
        line += ", default idle";
      } else {
        line +=
            task->empty() ? ", scenario \"\" (warning: empty name)" : ", scenario " + Quoted(*task);
      }
      if (occupant.index == 0) Reach(Milestone::kSpawned, track->id, event, &line);
      Line(event, line);
      return;
    }
    case EventKind::kObjectCreated: {
      Track* track = TrackNear(event.position, kOccupantRadius);
      if (track == nullptr) {
        Line(event, event.words);
        return;
      }
      track->lootObject = event.subject;
      track->lootPlaced = ToVec3(event.position);
      if (track->state == State::kAvailable) SetState(*track, State::kEncounter, event);
      std::string line = "money stack placed (object " + std::to_string(event.subject) + ") at " +
                         Where(event.position);
      Reach(Milestone::kMoneyStack, track->id, event, &line);
      Line(event, line);
      return;
    }
    case EventKind::kCreationFailed:
      Line(event, event.words);
      return;
    case EventKind::kEntityDeleted: {
      Track* track = nullptr;
      std::string line;
      if (Occupant* occupant = FindOccupant(event.subject)) {
        occupant->deleted = true;
        track = TrackOf(occupant->homestead);
        const double distance = Distance(ToVec3(world_.PlayerPosition()), ToVec3(event.position));
        line = NamePed(event.subject) + " deleted, " + (occupant->dead ? "dead" : "alive") + ", " +
               Fixed(distance, 1) + " m from the player";
        if (occupant->fleeing && !occupant->dead) {
          occupant->gotAway = true;
          occupant->flight.push_back(ToVec3(event.position));
          ++gotAway_;
          line += ": he got away";
          Reach(Milestone::kGotAway, occupant->homestead, event, &line);
          Line(event, line);
          return;
        }
      } else if ((track = LootOwner(event.subject)) != nullptr) {
        line = "money stack deleted";
        track->lootObject = 0;
      } else {
        Line(event, event.words);
        return;
      }
      // The state change explains the deletions, so it is told first.
      if (track->state == State::kEncounter && PlayerDistanceTo(track->id) > kTeardownDistance) {
        SetState(*track, State::kCoolingDown, event);
      }
      Line(event, line);
      return;
    }
    case EventKind::kPedKilled: {
      ++shots_;
      std::string line = NamePed(event.subject) + " shot dead at " + Where(event.position);
      if (Occupant* occupant = FindOccupant(event.subject)) {
        occupant->dead = true;
        occupant->death = ToVec3(event.position);
        if (occupant->fleeing) occupant->flight.push_back(ToVec3(event.position));
        line += ", " + Fixed(Distance(ToVec3(world_.PlayerPosition()), ToVec3(event.position)), 1) +
                " m from the player";
      }
      Line(event, line);
      return;
    }
    case EventKind::kObjectTaken: {
      Track* track = LootOwner(event.subject);
      if (track != nullptr) track->lootObject = 0;
      Line(event, track != nullptr ? "the player takes the money stack" : event.words);
      return;
    }
    case EventKind::kTaskGiven: {
      const int32_t ped = event.subject;
      Occupant* occupant = FindOccupant(ped);
      // A new occupant's first task was told with his creation.
      if (occupant != nullptr && IsFirstTask(batchIndex, ped)) return;
      std::string line = NamePed(ped) + ": ";
      const std::string target = event.other == 0 ? "" : " " + NamePed(event.other);
      Track* track = occupant != nullptr ? TrackOf(occupant->homestead) : nullptr;
      std::optional<Milestone> reached;
      if (event.text == TaskName(TaskKind::kTurnToFace)) {
        line += "turns to face" + target;
      } else if (event.text == TaskName(TaskKind::kAimAt)) {
        line += "aims at" + target;
        reached = Milestone::kConfrontation;
      } else if (event.text == TaskName(TaskKind::kCombat)) {
        line += "attacks" + target;
        if (track != nullptr && !track->attacked) {
          track->attacked = true;
          reached = Milestone::kAttack;
        }
      } else if (event.text == TaskName(TaskKind::kHandsUp)) {
        line += "raises his hands";
        reached = Milestone::kSurrender;
      } else if (event.text == TaskName(TaskKind::kFlee)) {
        line += "flees from" + target;
        if (occupant != nullptr) {
          occupant->fleeing = true;
          occupant->flight.push_back(ToVec3(event.position));
        }
        reached = Milestone::kFlight;
      } else if (event.text == TaskName(TaskKind::kDefaultIdle)) {
        line += "default idle";
      } else {
        line += "starts scenario " + Quoted(event.text);
      }
      if (occupant != nullptr && occupant->dead) line += kDeadWarning;
      if (reached && track != nullptr) Reach(*reached, track->id, event, &line);
      Line(event, line);
      return;
    }
    case EventKind::kTasksCleared:
      if (Occupant* occupant = FindOccupant(event.subject)) occupant->fleeing = false;
      Line(event, NamePed(event.subject) + ": tasks cleared");
      return;
    case EventKind::kWeaponGiven:
    case EventKind::kWeaponDrawn: {
      const Occupant* occupant = FindOccupant(event.subject);
      const bool dead = occupant != nullptr && occupant->dead;
      const char* verb = event.kind == EventKind::kWeaponGiven ? " is given " : " draws ";
      Line(event, NamePed(event.subject) + verb + event.text +
                      std::string(dead ? kDeadWarning : std::string_view()));
      return;
    }
    case EventKind::kSpeech:
    case EventKind::kSpeechSilenced: {
      if (draw_ && batchIndex >= draw_->eventIndex) {
        const Occupant* speaker = FindOccupant(event.subject);
        TellDraw(event.clockMinute, event.timeUs,
                 speaker != nullptr ? TrackOf(speaker->homestead) : NearestTrack(), true);
      }
      const std::string variation = ", variation " + std::to_string(event.number);
      if (event.kind == EventKind::kSpeech) {
        Line(event, NamePed(event.subject) + " says " + event.text + variation);
        return;
      }
      const bool gone = world_.FindEntity(event.subject) == nullptr;
      Line(event, "warning: " + NamePed(event.subject) + (gone ? " is gone" : " is dead") +
                      " and cannot say " + event.text + variation);
      return;
    }
    case EventKind::kObjectiveShown: {
      const std::string text = StripMarkup(event.text);
      std::string line = "objective shown: " + Quoted(text);
      for (const KnownObjective& known : kObjectives) {
        if (StripMarkup(known.text) != text) continue;
        const Track* nearest = NearestTrack();
        Reach(known.milestone, nearest != nullptr ? nearest->id : 0, event, &line);
      }
      Line(event, line);
      return;
    }
    case EventKind::kObjectiveCleared:
      Line(event, "objective cleared: " + Quoted(StripMarkup(event.text)));
      return;
  }
}

MapData Recorder::BuildMap(std::string title, std::string subtitle) const {
  const HomesteadPlace* place = FindHomestead(focus_);
  MapData map;
  map.title = std::move(title);
  map.subtitle = std::move(subtitle);
  map.centre = place->centre;
  map.lootSpot = place->loot;
  for (const Track& track : tracks_) {
    if (track.id != focus_) continue;
    map.lootPlaced = track.lootPlaced;
    map.finalState =
        "homestead " + std::to_string(track.id) + " " + std::string(StateName(track.state));
    if (!track.stage.empty()) map.finalState += ", " + std::string(track.stage) + " stage";
    if (track.stateClock) map.finalState += " since " + FormatClock(*track.stateClock);
  }
  for (const Occupant& occupant : occupants_) {
    if (occupant.homestead != focus_) continue;
    MapOccupant mark;
    mark.index = occupant.index;
    mark.set = occupant.set;
    mark.spawn = occupant.spawn;
    mark.heading = occupant.heading;
    mark.death = occupant.death;
    mark.gotAway = occupant.gotAway;
    mark.flight = occupant.flight;
    mark.removed = occupant.deleted && !occupant.dead && !occupant.gotAway;
    for (const auto& [handle, info] : blips_) {
      if (info.entity == occupant.ped) ++mark.blips;
    }
    map.occupants.push_back(std::move(mark));
  }
  map.playerPath = playerPath_;
  map.playerPathUs = playerPathUs_;
  const Vec3 player = ToVec3(world_.PlayerPosition());
  if (map.playerPath.empty() || Distance(map.playerPath.back(), player) > 0.0) {
    map.playerPath.push_back(player);
    map.playerPathUs.push_back(world_.nowUs());
  }
  for (const auto& [handle, info] : blips_) {
    const bool near = Distance(info.map.position, place->centre) <= 200.0;
    if (info.homestead == focus_ || (info.homestead == 0 && near)) map.blips.push_back(info.map);
  }
  return map;
}

}  // namespace sim
