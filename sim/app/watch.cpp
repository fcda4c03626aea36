#include "sim/app/watch.h"

#include <atomic>
#include <filesystem>
#include <system_error>
#include <thread>

#include "sim/app/file_watch.h"
#include "sim/app/interrupt.h"
#include "sim/app/system.h"
#include "sim/report/timeline_diff.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace sim {
namespace {

std::atomic<bool> gInterrupted{false};

#if defined(_WIN32)
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  gInterrupted.store(true);
  return TRUE;
}

unsigned long ProcessId() {
  return GetCurrentProcessId();
}
#else
unsigned long ProcessId() {
  return static_cast<unsigned long>(::getpid());
}
#endif

// A private copy of the library for one play: made, registered for removal
// on an interruption, and removed with its registration when it goes.
class PrivateCopy {
 public:
  PrivateCopy(const std::string& library, int number) {
    const std::filesystem::path source = PathFromUtf8(library);
    std::error_code ec;
    const std::filesystem::path copy = std::filesystem::temp_directory_path(ec) /
                                       ("homestead-sim-" + std::to_string(ProcessId()) + "-" +
                                        std::to_string(number) + Utf8(source.extension()));
    path_ = Utf8(copy);
    slot_ = RegisterTemporary(path_);
    if (!std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing,
                                    ec)) {
      error_ = "cannot copy the plug-in '" + library + "' to '" + path_ + "': " + ec.message();
    }
  }
  ~PrivateCopy() {
    std::error_code ec;
    std::filesystem::remove(PathFromUtf8(path_), ec);
    UnregisterTemporary(slot_);
  }
  PrivateCopy(const PrivateCopy&) = delete;
  PrivateCopy& operator=(const PrivateCopy&) = delete;

  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

 private:
  std::string path_;
  std::string error_;
  int slot_ = -1;
};

}  // namespace

void StopWatchOnInterrupt() {
#if defined(_WIN32)
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
#endif
}

bool WatchInterrupted() {
  return gInterrupted.load();
}

void Watch(const WatchSetup& setup, const WatchHooks& hooks) {
  int copies = 0;
  auto playOnce = [&]() -> Played {
    const PrivateCopy copy(setup.pluginPath, ++copies);
    if (!copy.error().empty()) return {{}, copy.error()};
    return hooks.play(copy.path());
  };

  // Changes made while the first play runs count.
  std::vector<std::string> watched = {setup.pluginPath};
  if (!setup.scenarioPath.empty()) watched.push_back(setup.scenarioPath);
  FileWatch files(watched, setup.settle);

  // The first play is told whole, unless there is a baseline to compare it
  // with; every later one as its changes.
  std::vector<std::string> previous;
  bool comparing = setup.baseline.has_value();
  auto tell = [&](const Played& played) {
    if (!played.problem.empty()) return hooks.report(played.problem);
    if (comparing) {
      const std::vector<std::string>& against = setup.baseline ? *setup.baseline : previous;
      for (const std::string& line : FormatTimelineDiff(DiffTimelines(against, played.timeline))) {
        hooks.print(line);
      }
      if (!played.timeline.empty()) hooks.print(played.timeline.back());
    } else if (setup.quiet) {
      if (!played.timeline.empty()) hooks.print(played.timeline.back());
    } else {
      for (const std::string& line : played.timeline) hooks.print(line);
    }
    comparing = true;
    previous = played.timeline;
  };
  tell(playOnce());

  std::string waiting = "watching " + setup.pluginPath;
  if (!setup.scenarioPath.empty()) waiting += " and " + setup.scenarioPath;
  hooks.print(waiting + " for changes (Ctrl-C ends)");

  while (!hooks.stop()) {
    std::this_thread::sleep_for(setup.poll);
    const std::vector<std::string> changed = files.Poll(FileWatch::Clock::now());
    if (changed.empty()) continue;
    std::string what;
    for (const std::string& path : changed) what += (what.empty() ? "" : " and ") + path;
    hooks.print("--- " + what + " changed: playing again");
    tell(playOnce());
  }
}

}  // namespace sim
