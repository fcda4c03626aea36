// Fuzz target: the plug-in loaded as a host loads it (LibraryEntry attaches,
// its script main runs on a stack of its own, one slice per frame, and a
// detach ends it where it waits), against a host whose answers come from the
// input. Each host call takes its answer from the next input bytes (12 for a
// position, 4 otherwise; written through the out-argument of
// GetCurrentPedWeapon too). When the input runs out the host goes on as a
// plain host for kPlainFrames more frames: random draws from a generator
// seeded by the input, everything else from a small world (the entities and
// blips made so far, a player riding about near the homesteads). So a loop that
// never waits shows as a hang, caught after kMaxCallsPerFrame host calls in
// one frame, instead of being cut short.
//
// The host is as strict as the platform's: every call is checked against the
// operation table (known hash, argument count, 32-bit values with a zero
// high half, texts and the speech block read, no null address), handles are
// written back as 0 by RemoveBlip and DeleteEntity, and the high halves of
// 32-bit results and the unused result slots hold junk. A call outside the
// script main, a second registration, a main that returns or throws, and
// heap memory held across a wait (lost when the detach abandons the script,
// found by the leak check) are faults. Whatever the answers, the plug-in must
// not read or write out of bounds (run under AddressSanitizer and
// UndefinedBehaviorSanitizer).
//
// At exit the target prints how many inputs, frames and host calls it ran.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "platform/fibre.h"
#include "platform/operations.h"
#include "plugin/entry.h"
#include "registry/registry.h"

using namespace homestead;

namespace {

using platform::DecodedArg;
using platform::Fibre;
using platform::OpId;
using platform::ResultKind;

// Frames the plain host plays after the input has run out.
constexpr int64_t kPlainFrames = 600;
// Host calls in one frame beyond which the script is taken to never wait.
constexpr uint64_t kMaxCallsPerFrame = 1'000'000;
constexpr int64_t kFramesPerSecond = 60;
// Frames a scripted slice may wait before the host stops expecting more.
constexpr int64_t kMaxWaitFrames = 5 * kFramesPerSecond;
constexpr int32_t kPlayer = 1;

struct Totals {
  uint64_t inputs = 0;
  uint64_t frames = 0;       // frames played, waits included
  uint64_t slices = 0;       // frames in which the script ran
  uint64_t plainFrames = 0;  // frames after the input ran out
  uint64_t calls = 0;
} gTotals;

// splitmix64: the same draws on every system.
struct Draws {
  uint64_t state = 0;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  bool OneIn(uint64_t n) { return Next() % n == 0; }
  float Between(float low, float high) {
    return low + (high - low) * static_cast<float>(Next() >> 40) / static_cast<float>(1 << 24);
  }
};

struct Point {
  float x = 0, y = 0, z = 0;
};

struct Thing {
  Point at;
  bool dead = false;
  int32_t blip = 0;
  uint32_t weapon = 0;
  int64_t silentFrame = 0;  // speaking until this frame
};

// What the plain host answers from: the world as the calls made it.
struct World {
  std::map<int32_t, Thing> things;  // peds and objects, the player included
  std::set<int32_t> blips;
  int32_t nextHandle = 100;
  int32_t hour = 12;
  Point destination;
  bool riding = false;
  bool placed = false;  // the player stands somewhere the input or the world chose

  void Reset(Draws& draws) {
    things.clear();
    blips.clear();
    nextHandle = 100;
    hour = static_cast<int32_t>(draws.Next() % 24);
    riding = false;
    placed = false;
    things[kPlayer] = Thing{};
  }

  // One frame of the plain world: the player rides towards a point near one
  // of the homesteads, sometimes picks another, and shoots now and then.
  void Step(Draws& draws) {
    Point& player = things[kPlayer].at;
    if (!riding || draws.OneIn(300)) {
      const std::size_t count = Registry().size();
      if (count == 0) return;
      std::size_t pick = draws.Next() % count;
      for (auto& [id, h] : Registry()) {
        if (pick-- != 0) continue;
        destination = {h.center.x + draws.Between(-120, 120), h.center.y + draws.Between(-120, 120),
                       h.center.z};
      }
      riding = true;
      // Unless the input put him somewhere, he starts within reach of it.
      if (!placed) player = {destination.x + 40, destination.y - 40, destination.z};
      placed = true;
    }
    constexpr float kStep = 0.1f;  // 6 m/s
    const float dx = destination.x - player.x, dy = destination.y - player.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length > kStep) {
      player.x += dx / length * kStep;
      player.y += dy / length * kStep;
    }
    player.z = destination.z;
    for (auto& [handle, thing] : things) {
      if (handle != kPlayer && draws.OneIn(2000)) thing.dead = true;
    }
  }

  Thing* Find(int32_t handle) {
    const auto it = things.find(handle);
    return it == things.end() ? nullptr : &it->second;
  }
};

[[noreturn]] void Fault(const std::string& what);

// The script main's fibre: made once, restarted on the same stack for every
// input, so that millions of inputs map nothing more.
std::unique_ptr<Fibre> gScript;

bool InScript() {
  return gScript != nullptr && Fibre::Current() == gScript.get();
}

struct FuzzHost {
  const uint8_t* data = nullptr;
  std::size_t size = 0;
  bool plain = false;  // the input has run out
  Draws draws;
  World world;

  void* module = nullptr;
  void (*main)() = nullptr;
  bool registered = false;
  bool unregistered = false;

  int64_t frame = 0;
  int64_t wakeFrame = 0;
  uint64_t callsThisFrame = 0;

  bool callOpen = false;
  uint64_t hash = 0;
  uint64_t pushed[32] = {};
  std::size_t pushedCount = 0;
  bool overflowed = false;
  uint64_t result[3] = {};

  // Takes the answer from the next 4 * count input bytes (little-endian
  // words); false, from then on, once they run out.
  bool Take(std::size_t count, uint32_t* out) {
    if (plain || size < 4 * count) {
      plain = true;
      return false;
    }
    for (std::size_t k = 0; k < count; ++k, data += 4, size -= 4) {
      out[k] = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
               static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    }
    return true;
  }
} gHost;

[[noreturn]] void Fault(const std::string& what) {
  std::fprintf(stderr, "fuzz host: frame %lld: %s\n", static_cast<long long>(gHost.frame),
               what.c_str());
  std::abort();
}

uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

void WriteInt32(uint64_t address, int32_t value) {
  std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
}

Point PointAt(const DecodedArg* a) {
  return {a[0].f, a[1].f, a[2].f};
}

int32_t NewHandle() {
  return gHost.world.nextHandle++;
}

// The plain host's answer: slot 0's low half, or a whole position.
void PlainAnswer(OpId id, DecodedArg* a, uint32_t out[3]) {
  World& w = gHost.world;
  Draws& d = gHost.draws;
  // The entity the queries about one ask after (a lookup of nothing for the
  // others).
  const Thing* thing = w.Find(a[0].i);
  switch (id) {
    case OpId::kHashKey:
      out[0] = 2166136261u;  // FNV-1a of the text
      for (const char c : a[0].text) out[0] = (out[0] ^ static_cast<uint8_t>(c)) * 16777619u;
      break;
    case OpId::kAddBlipForCoords:
    case OpId::kAddBlipForEntity:
    case OpId::kCreateVarString:
    case OpId::kCreatePed:
    case OpId::kCreateObject:
      out[0] = static_cast<uint32_t>(NewHandle());
      break;
    case OpId::kIsActivitySuppressed:
      out[0] = d.OneIn(200) ? 1 : 0;
      break;
    case OpId::kGetClockHours:
      out[0] = static_cast<uint32_t>(w.hour);
      break;
    case OpId::kPlayerPedId:
      out[0] = kPlayer;
      break;
    case OpId::kGetEntityCoords: {
      const Point at = thing != nullptr ? thing->at : Point{};
      out[0] = FloatBits(at.x), out[1] = FloatBits(at.y), out[2] = FloatBits(at.z);
      break;
    }
    case OpId::kDistanceBetweenCoords: {
      const Point p = PointAt(a), q = PointAt(a + 3);
      const float dx = p.x - q.x, dy = p.y - q.y, dz = a[6].i != 0 ? p.z - q.z : 0.0f;
      out[0] = FloatBits(std::sqrt(dx * dx + dy * dy + dz * dz));
      break;
    }
    case OpId::kHasModelLoaded:
      out[0] = d.OneIn(4) ? 0 : 1;
      break;
    case OpId::kDoesEntityExist:
      out[0] = thing != nullptr ? 1 : 0;
      break;
    case OpId::kIsEntityDead:
      out[0] = thing != nullptr && thing->dead ? 1 : 0;
      break;
    case OpId::kPlayAmbientSpeech:
      out[0] = 1;
      break;
    case OpId::kIsAnySpeechPlaying:
      out[0] = thing != nullptr && gHost.frame < thing->silentFrame ? 1 : 0;
      break;
    case OpId::kRandomIntInRange: {
      const int64_t low = a[0].i, high = a[1].i;
      const int64_t v =
          high > low ? low + static_cast<int64_t>(d.Next() % static_cast<uint64_t>(high - low))
                     : low;
      out[0] = static_cast<uint32_t>(static_cast<int32_t>(v));
      break;
    }
    case OpId::kGetCurrentPedWeapon:
      out[0] = thing != nullptr ? thing->weapon : 0;
      break;
    case OpId::kGetBlipFromEntity:
      out[0] = thing != nullptr ? static_cast<uint32_t>(thing->blip) : 0;
      break;
    case OpId::kDoesBlipExist:
      out[0] = w.blips.count(a[0].i) != 0 ? 1 : 0;
      break;
    default:
      break;
  }
}

// What a call does to the world, whoever answered it.
void Apply(OpId id, DecodedArg* a, const uint32_t out[3]) {
  World& w = gHost.world;
  const auto answer = static_cast<int32_t>(out[0]);
  switch (id) {
    case OpId::kAddBlipForCoords:
      w.blips.insert(answer);
      break;
    case OpId::kAddBlipForEntity:
      w.blips.insert(answer);
      if (Thing* thing = w.Find(a[1].i)) thing->blip = answer;
      break;
    case OpId::kRemoveBlip:
      w.blips.erase(a[0].i);
      WriteInt32(a[0].raw, 0);
      break;
    case OpId::kCreatePed:
    case OpId::kCreateObject:
      if (answer != kPlayer) w.things[answer] = Thing{PointAt(a + 1)};
      break;
    case OpId::kDeleteEntity:
      if (a[0].i != kPlayer) w.things.erase(a[0].i);
      WriteInt32(a[0].raw, 0);
      break;
    case OpId::kPlayAmbientSpeech:
      if (Thing* thing = w.Find(a[0].i)) {
        thing->silentFrame = gHost.frame + static_cast<int64_t>(gHost.draws.Next() % 180);
      }
      break;
    case OpId::kGetCurrentPedWeapon:
      std::memcpy(reinterpret_cast<void*>(a[1].raw), &out[0], sizeof out[0]);
      break;
    case OpId::kGiveWeaponToPed:
    case OpId::kSetCurrentPedWeapon:
      if (Thing* thing = w.Find(a[0].i)) thing->weapon = a[1].u;
      break;
    case OpId::kGetEntityCoords:
      // The player stands where the input last put him.
      if (a[0].i == kPlayer && !gHost.plain) {
        Point& at = w.things[kPlayer].at;
        std::memcpy(&at.x, &out[0], 4), std::memcpy(&at.y, &out[1], 4);
        std::memcpy(&at.z, &out[2], 4);
        w.placed = true;
      }
      break;
    default:
      break;
  }
}

}  // namespace

extern "C" {
void scriptRegister(void* module, void (*scriptMain)(void)) {
  if (gHost.registered) Fault("a second scriptRegister");
  if (module == nullptr || scriptMain == nullptr) Fault("scriptRegister with a null argument");
  gHost.registered = true;
  gHost.module = module;
  gHost.main = scriptMain;
}

void scriptUnregister(void* module) {
  if (!gHost.registered || module != gHost.module)
    Fault("scriptUnregister of no registered module");
  if (InScript()) Fault("scriptUnregister from the script");
  gHost.unregistered = true;
}

void scriptWait(uint32_t ms) {
  if (!InScript()) Fault("scriptWait outside the script main");
  // Back in the first later frame whose time is at least `ms` on.
  const int64_t frames = (static_cast<int64_t>(ms) * kFramesPerSecond + 999) / 1000;
  gHost.wakeFrame = gHost.frame + (frames > 1 ? frames : 1);
  Fibre::Yield();
}

void nativeInit(uint64_t hash) {
  if (!InScript()) Fault("nativeInit outside the script main");
  gHost.callOpen = true;
  gHost.hash = hash;
  gHost.pushedCount = 0;
  gHost.overflowed = false;
}

void nativePush64(uint64_t value) {
  if (!gHost.callOpen) Fault("nativePush64 without nativeInit");
  if (gHost.pushedCount == std::size(gHost.pushed)) {
    gHost.overflowed = true;
    return;
  }
  gHost.pushed[gHost.pushedCount++] = value;
}

uint64_t* nativeCall(void) {
  if (!gHost.callOpen) Fault("nativeCall without nativeInit");
  gHost.callOpen = false;
  ++gTotals.calls;
  if (++gHost.callsThisFrame > kMaxCallsPerFrame) {
    Fault("the script made " + std::to_string(kMaxCallsPerFrame) + " host calls without a wait");
  }
  if (gHost.overflowed) Fault("more than 32 arguments pushed");
  const platform::Operation* op = platform::FindOperation(gHost.hash);
  if (op == nullptr) Fault("unknown operation " + platform::HexHash(gHost.hash));
  DecodedArg args[platform::kMaxOperationArgs];
  std::vector<std::string> problems;
  if (!platform::DecodeArgs(*op, std::span<const uint64_t>(gHost.pushed, gHost.pushedCount),
                            std::span<DecodedArg, platform::kMaxOperationArgs>(args), problems) ||
      !problems.empty()) {
    Fault(problems.empty() ? "a call the host refuses" : problems.front());
  }

  uint32_t out[3] = {};
  if (!gHost.Take(op->result == ResultKind::kVector3 ? 3 : 1, out)) PlainAnswer(op->id, args, out);
  Apply(op->id, args, out);

  // Junk in every high half and in the slots the result does not use; a
  // string handle is all of slot 0.
  for (uint64_t& slot : gHost.result) slot = gHost.draws.Next();
  for (std::size_t i = 0; i < (op->result == ResultKind::kVector3 ? 3u : 1u); ++i) {
    gHost.result[i] = (gHost.result[i] & 0xFFFFFFFF00000000ull) | out[i];
  }
  return gHost.result;
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::atexit([] {
    std::printf(
        "fuzz_host_answers: %llu inputs, %llu frames, %llu with the script running, "
        "%llu after the input ran out, %llu host calls\n",
        static_cast<unsigned long long>(gTotals.inputs),
        static_cast<unsigned long long>(gTotals.frames),
        static_cast<unsigned long long>(gTotals.slices),
        static_cast<unsigned long long>(gTotals.plainFrames),
        static_cast<unsigned long long>(gTotals.calls));
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ++gTotals.inputs;
  // A fresh load: the plug-in's state as a newly loaded library has it.
  Registry() = HomesteadRegistry();
  gHost = FuzzHost{};
  gHost.data = data;
  gHost.size = size;
  uint64_t seed = 1469598103934665603ull;  // FNV-1a of the input
  for (std::size_t i = 0; i < size; ++i) seed = (seed ^ data[i]) * 1099511628211ull;
  gHost.draws.state = seed;
  gHost.world.Reset(gHost.draws);

  int module = 0;
  LibraryEntry(&module, kProcessAttach, nullptr);
  if (!gHost.registered) Fault("LibraryEntry registered no script main");
  if (gScript == nullptr) gScript = Fibre::Create(gHost.main);
  if (gScript == nullptr || !gScript->Restart(gHost.main)) {
    Fault("no stack for the script main");
  }

  // Every slice of the script takes at least one answer and the longest wait
  // is a few seconds, so the input runs out within this many frames.
  const int64_t maxFrames = (static_cast<int64_t>(size / 4) + 1) * kMaxWaitFrames + kPlainFrames;
  int64_t plainFrames = 0;
  while (plainFrames < kPlainFrames && gHost.frame < maxFrames) {
    ++gHost.frame;
    if (gHost.plain) {
      ++plainFrames;
      gHost.world.Step(gHost.draws);
    }
    if (gHost.frame < gHost.wakeFrame) continue;
    gHost.callsThisFrame = 0;
    ++gTotals.slices;
    gScript->Resume();
    if (gScript->threw()) Fault("the script main threw");
    if (gScript->finished()) Fault("the script main returned");
  }
  gTotals.frames += static_cast<uint64_t>(gHost.frame);
  gTotals.plainFrames += static_cast<uint64_t>(plainFrames);

  LibraryEntry(&module, kProcessDetach, nullptr);
  if (!gHost.unregistered) Fault("LibraryEntry did not unregister on detach");
  return 0;
}
