#include "sim/run/recorder.h"

// The recorder's handlers of world events: each tells its event in the
// timeline, follows homesteads and occupants, and reaches milestones.

#include <array>
#include <optional>
#include <string_view>

#include "encounter/distances.h"
#include "encounter/objectives.h"
#include "platform/format.h"

namespace sim {
namespace {

using homestead::kApproachObjective;
using homestead::kValuablesObjective;
using platform::EventKind;
using platform::Fixed;
using platform::Quoted;
using platform::TaskKind;
using platform::WorldEvent;

// A ped created this close to a homestead's centre is one of its occupants,
// an object this close is its money stack, a coordinate blip its home blip.
// (Attribution margins of the simulator's own, not the plug-in's distances.)
constexpr double kOccupantRadius = 30.0;
constexpr double kHomeBlipNear = 10.0;

struct KnownObjective {
  const char* text;  // as the plug-in shows it, with markup
  Milestone milestone;
};
constexpr std::array<KnownObjective, 2> kObjectives = {{
    {kApproachObjective, Milestone::kApproach},
    {kValuablesObjective, Milestone::kOutcome},
}};

std::string Where(const platform::Vec3& at) {
  return platform::FixedTriple(at.x, at.y, at.z, ", ");
}

// How the timeline tells each kind of task, and the milestone it reaches.
// Another task is a scenario, told by its name.
struct TaskWording {
  TaskKind kind;
  std::string_view words;
  bool namesTarget;  // the words are followed by the task's target, if any
  std::optional<Milestone> milestone;
};
constexpr std::array<TaskWording, 6> kTaskWordings = {{
    {TaskKind::kTurnToFace, "turns to face", true, std::nullopt},
    {TaskKind::kAimAt, "aims at", true, Milestone::kConfrontation},
    {TaskKind::kCombat, "attacks", true, Milestone::kAttack},
    {TaskKind::kHandsUp, "raises his hands", false, Milestone::kSurrender},
    {TaskKind::kFlee, "flees from", true, Milestone::kFlight},
    {TaskKind::kDefaultIdle, "default idle", false, std::nullopt},
}};

const TaskWording* FindTaskWording(std::string_view taskName) {
  for (const TaskWording& wording : kTaskWordings) {
    if (taskName == TaskName(wording.kind)) return &wording;
  }
  return nullptr;
}

constexpr std::string_view kDeadWarning = "  (warning: he is dead)";

}  // namespace

void Recorder::Handle(const WorldEvent& event, std::size_t index) {
  switch (event.kind) {
    case EventKind::kBlipAdded:
      return OnBlipAdded(event, index);
    case EventKind::kBlipLabelled:
      return OnBlipLabelled(event);
    case EventKind::kBlipRemoved:
      return OnBlipRemoved(event, index);
    case EventKind::kPedCreated:
      return OnPedCreated(event, index);
    case EventKind::kObjectCreated:
      return OnObjectCreated(event);
    case EventKind::kCreationFailed:
      return Line(event, event.words);
    case EventKind::kEntityDeleted:
      return OnEntityDeleted(event);
    case EventKind::kPedKilled:
      return OnPedKilled(event);
    case EventKind::kObjectTaken:
      return OnObjectTaken(event);
    case EventKind::kTaskGiven:
      return OnTaskGiven(event, index);
    case EventKind::kTasksCleared:
      return OnTasksCleared(event);
    case EventKind::kWeaponGiven:
    case EventKind::kWeaponDrawn:
      return OnWeapon(event);
    case EventKind::kSpeech:
    case EventKind::kSpeechSilenced:
      return OnSpeech(event, index);
    case EventKind::kObjectiveShown:
      return OnObjectiveShown(event);
    case EventKind::kObjectiveCleared:
      return OnObjectiveCleared(event);
  }
}

void Recorder::OnBlipAdded(const WorldEvent& event, std::size_t index) {
  ObservedBlip info;
  info.map.position = Widen(event.position);
  info.map.addedClock = event.clockMinute;
  info.entity = event.other;
  info.map.label = Batch().LabelAfter(index, event.subject);
  std::string line = "blip " + std::to_string(event.subject);
  if (!info.map.label.empty()) line += " " + Quoted(info.map.label);
  std::string_view warning;
  HomesteadTrack* home = nullptr;
  if (event.other != 0) {
    if (const ObservedOccupant* occupant = FindOccupant(event.other)) {
      info.map.kind = MapBlip::Kind::kOccupant;
      info.homestead = occupant->homestead;
      line += " added on " + NamePed(event.other);
      if (occupant->dead) warning = kDeadWarning;
    } else if (HomesteadTrack* owner = LootOwner(event.other)) {
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
    Reach(home->homeBlipSeen ? Milestone::kRestored : Milestone::kStartup, home->id, event, &line);
    home->homeBlipSeen = true;
  }
  seen_.blips[event.subject] = info;
  Line(event, line);
  if (home != nullptr && home->state == HomesteadState::kCoolingDown) {
    SetState(*home, HomesteadState::kAvailable, event);
  }
}

void Recorder::OnBlipLabelled(const WorldEvent& event) {
  ObservedBlip& info = seen_.blips[event.subject];
  if (info.map.label == event.text) return;  // told with its blip
  info.map.label = event.text;
  Line(event, "blip " + std::to_string(event.subject) + " labelled " + Quoted(event.text));
}

void Recorder::OnBlipRemoved(const WorldEvent& event, std::size_t index) {
  ObservedBlip& info = seen_.blips[event.subject];
  info.map.removedClock = event.clockMinute;
  std::string line = "blip " + std::to_string(event.subject);
  if (!info.map.label.empty()) line += " " + Quoted(info.map.label);
  if (Batch().GoneBefore(index, event.other)) {
    const bool money = info.map.kind == MapBlip::Kind::kLoot;
    Line(event, line + " removed with " + (money ? "the money stack" : NamePed(event.other)));
    return;
  }
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
  HomesteadTrack* track = TrackOf(info.homestead);
  if (track != nullptr && info.map.kind == MapBlip::Kind::kHome) CoolDownIfLeft(*track, event);
}

void Recorder::OnPedCreated(const WorldEvent& event, std::size_t index) {
  HomesteadTrack* track = TrackNear(event.position, kOccupantRadius);
  if (track == nullptr) {
    Line(event, event.words);
    return;
  }
  // A new set starts once every occupant of the last one is gone.
  bool newSet = true;
  for (std::size_t i : track->current) {
    if (!seen_.occupants[i].deleted) newSet = false;
  }
  if (newSet) {
    ++track->sets;
    track->current.clear();
    track->attacked = false;
  }
  ObservedOccupant occupant;
  occupant.ped = event.subject;
  occupant.homestead = track->id;
  occupant.set = track->sets;
  occupant.index = static_cast<int>(track->current.size());
  occupant.spawn = Widen(event.position);
  if (const platform::Entity* ped = world_.FindEntity(event.subject)) {
    occupant.heading = ped->heading;
  }
  track->current.push_back(seen_.occupants.size());
  seen_.occupants.push_back(occupant);
  StartEncounter(*track, event);

  std::string line = NamePed(event.subject) + " created (ped " + std::to_string(event.subject) +
                     ") at " + Where(event.position) + ", heading " + Fixed(occupant.heading, 1);
  if (track->sets > 1 && occupant.index == 0) {
    line += ", set " + std::to_string(track->sets);
  }
  const std::optional<std::string> task = Batch().FirstTaskAfter(index, event.subject);
  if (!task) {
    line += ", no task";
  } else if (*task == TaskName(TaskKind::kDefaultIdle)) {
    line += ", default idle";
  } else {
    line += task->empty() ? ", scenario \"\" (warning: empty name)" : ", scenario " + Quoted(*task);
  }
  if (occupant.index == 0) Reach(Milestone::kSpawned, track->id, event, &line);
  Line(event, line);
}

void Recorder::OnObjectCreated(const WorldEvent& event) {
  HomesteadTrack* track = TrackNear(event.position, kOccupantRadius);
  if (track == nullptr) {
    Line(event, event.words);
    return;
  }
  track->lootObject = event.subject;
  track->lootPlaced = Widen(event.position);
  StartEncounter(*track, event);
  std::string line = "money stack placed (object " + std::to_string(event.subject) + ") at " +
                     Where(event.position);
  Reach(Milestone::kMoneyStack, track->id, event, &line);
  Line(event, line);
}

void Recorder::OnEntityDeleted(const WorldEvent& event) {
  HomesteadTrack* track = nullptr;
  std::string line;
  if (ObservedOccupant* occupant = FindOccupant(event.subject)) {
    occupant->deleted = true;
    track = TrackOf(occupant->homestead);
    const double distance = Distance(Widen(world_.PlayerPosition()), Widen(event.position));
    line = NamePed(event.subject) + " deleted, " + (occupant->dead ? "dead" : "alive") + ", " +
           Fixed(distance, 1) + " m from the player";
    if (occupant->fleeing && !occupant->dead) {
      occupant->gotAway = true;
      occupant->flight.push_back(Widen(event.position));
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
  CoolDownIfLeft(*track, event);
  Line(event, line);
}

void Recorder::OnPedKilled(const WorldEvent& event) {
  ++shots_;
  std::string line = NamePed(event.subject) + " shot dead at " + Where(event.position);
  if (ObservedOccupant* occupant = FindOccupant(event.subject)) {
    occupant->dead = true;
    occupant->death = Widen(event.position);
    if (occupant->fleeing) occupant->flight.push_back(Widen(event.position));
    line += ", " + Fixed(Distance(Widen(world_.PlayerPosition()), Widen(event.position)), 1) +
            " m from the player";
  }
  Line(event, line);
}

void Recorder::OnObjectTaken(const WorldEvent& event) {
  HomesteadTrack* track = LootOwner(event.subject);
  if (track != nullptr) track->lootObject = 0;
  Line(event, track != nullptr ? "the player takes the money stack" : event.words);
}

void Recorder::OnTaskGiven(const WorldEvent& event, std::size_t index) {
  const int32_t ped = event.subject;
  ObservedOccupant* occupant = FindOccupant(ped);
  // A new occupant's first task was told with his creation.
  if (occupant != nullptr && Batch().IsFirstTask(index, ped)) return;
  std::string line = NamePed(ped) + ": ";
  HomesteadTrack* track = occupant != nullptr ? TrackOf(occupant->homestead) : nullptr;
  const TaskWording* wording = FindTaskWording(event.text);
  if (wording == nullptr) {
    line += "starts scenario " + Quoted(event.text);
  } else {
    line += wording->words;
    if (wording->namesTarget && event.other != 0) line += " " + NamePed(event.other);
  }
  const Milestone* reached =
      wording != nullptr && wording->milestone ? &*wording->milestone : nullptr;
  // The attack is reached once per set of occupants, by the first sent.
  if (reached != nullptr && *reached == Milestone::kAttack) {
    if (track == nullptr || track->attacked) {
      reached = nullptr;
    } else {
      track->attacked = true;
    }
  }
  if (wording != nullptr && wording->kind == TaskKind::kFlee && occupant != nullptr) {
    occupant->fleeing = true;
    occupant->flight.push_back(Widen(event.position));
  }
  if (occupant != nullptr && occupant->dead) line += kDeadWarning;
  if (reached != nullptr && track != nullptr) Reach(*reached, track->id, event, &line);
  Line(event, line);
}

void Recorder::OnTasksCleared(const WorldEvent& event) {
  if (ObservedOccupant* occupant = FindOccupant(event.subject)) occupant->fleeing = false;
  Line(event, NamePed(event.subject) + ": tasks cleared");
}

void Recorder::OnWeapon(const WorldEvent& event) {
  const ObservedOccupant* occupant = FindOccupant(event.subject);
  const bool dead = occupant != nullptr && occupant->dead;
  const char* verb = event.kind == EventKind::kWeaponGiven ? " is given " : " draws ";
  Line(event, NamePed(event.subject) + verb + event.text +
                  std::string(dead ? kDeadWarning : std::string_view()));
}

void Recorder::OnSpeech(const WorldEvent& event, std::size_t index) {
  if (draw_ && index >= draw_->eventIndex) {
    const ObservedOccupant* speaker = FindOccupant(event.subject);
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
}

void Recorder::OnObjectiveShown(const WorldEvent& event) {
  const std::string text = StripMarkup(event.text);
  std::string line = "objective shown: " + Quoted(text);
  for (const KnownObjective& known : kObjectives) {
    if (StripMarkup(known.text) != text) continue;
    const HomesteadTrack* nearest = NearestTrack();
    Reach(known.milestone, nearest != nullptr ? nearest->id : 0, event, &line);
  }
  Line(event, line);
}

void Recorder::OnObjectiveCleared(const WorldEvent& event) {
  Line(event, "objective cleared: " + Quoted(StripMarkup(event.text)));
}

}  // namespace sim
