// homestead-host-demo: loads a plug-in into the substitute host, runs a few
// seconds of frames and prints the blips the world then shows.
//
//   homestead-host-demo <plug-in library> [seconds]
//   homestead-host-demo --help | -h
//
// Exit status: 0 when the run was clean, 1 when the host recorded errors,
// 2 for a usage or load error, 3 when the plug-in hung (the watchdog ended
// the program).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/session.h"

namespace {

constexpr const char* kUsage = "usage: homestead-host-demo <plug-in library> [seconds]\n";
constexpr double kMaxSeconds = 86'400.0;

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int Help() {
  std::fputs(kUsage, stdout);
  std::fputs(
      "\nLoads the plug-in library into the substitute host, runs `seconds` (default 3,\n"
      "at most 86400) of simulated frames and prints the blips the world then shows.\n"
      "A plug-in that keeps control for more than 10 s of wall-clock time in one\n"
      "step (HOMESTEAD_WATCHDOG_SECONDS sets the limit, 0 turns it off) is reported\n"
      "and the program ends.\n"
      "\nExit status: 0 the run was clean; 1 the host recorded errors; 2 a usage or\n"
      "load error; 3 the plug-in hung.\n",
      stdout);
  return 0;
}

void PrintBlips(platform::World& world) {
  std::printf("%zu blip(s) on the map:\n", world.blips().size());
  for (const auto& [handle, blip] : world.blips()) {
    const platform::Vec3 at = world.BlipPosition(blip);
    const auto sprite = world.NameOfHash(blip.sprite);
    std::printf("  blip %d at (%.3f, %.3f, %.3f)  sprite %s  scale %.2f  label \"%s\"", handle,
                at.x, at.y, at.z, sprite ? std::string(*sprite).c_str() : "(unknown)", blip.scale,
                blip.label.c_str());
    if (blip.entity != 0) std::printf("  on entity %d", blip.entity);
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  platform::UseBinaryStandardStreams();
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    return Help();
  }
  if (argc < 2 || argc > 3) return Usage();
  double seconds = 3.0;
  if (argc == 3) {
    char* end = nullptr;
    seconds = std::strtod(argv[2], &end);
    // Written so that NaN is refused too; the bound keeps the conversion to
    // milliseconds defined.
    if (end == argv[2] || *end != '\0' || !(seconds >= 0.0 && seconds <= kMaxSeconds)) {
      std::fprintf(stderr,
                   "homestead-host-demo: seconds must be a number from 0 to 86400, not '%s'\n",
                   argv[2]);
      return Usage();
    }
  }

  auto opened = platform::Session::Open(argv[1]);
  if (!opened.session) {
    std::fprintf(stderr, "homestead-host-demo: %s\n", opened.error.c_str());
    return 2;
  }
  platform::Session& session = *opened.session;
  session.RunForMs(static_cast<int64_t>(seconds * 1000.0));
  std::printf("ran %lld frames (%.2f s of simulated time), game clock %02d:%02d\n",
              static_cast<long long>(session.host().frame()), session.host().nowUs() / 1e6,
              session.world().ClockHour(), session.world().ClockMinuteOfDay() % 60);
  PrintBlips(session.world());

  session.Close();
  const auto& errors = session.host().errors();
  for (const std::string& error : errors) std::fprintf(stderr, "host error: %s\n", error.c_str());
  return session.host().errorCount() == 0 ? 0 : 1;
}
