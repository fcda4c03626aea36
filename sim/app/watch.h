// The modder's loop behind --watch: play the scenario, then wait, and play
// it again whenever the plug-in library or the scenario file has changed on
// disk, telling only what changed in the timeline.
//
// Every play loads a private copy of the library, made just before the play
// in the system's temporary directory and removed right after it: a linker
// may replace (or rewrite in place) the library at any moment, which must
// not touch a library that is loaded, and a copy under a new name is also
// never mistaken by the system loader for one it has seen. While it exists
// the copy is registered for removal on an interruption (interrupt.h).
//
// The first play prints its whole timeline; each replay prints a line that
// says what changed on disk, the comparison with the previous timeline
// (timeline_diff.h) and the verdict, the timeline's summary line. With a
// baseline, every play, the first included, is compared with the baseline
// instead. A play that could not happen (a
// scenario that does not parse, a library that cannot be loaded) is
// reported and the loop goes on, comparing the next play with the last one
// that happened.
#ifndef HOMESTEAD_SIM_APP_WATCH_H
#define HOMESTEAD_SIM_APP_WATCH_H

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// One play of the scenario, as the watch loop needs it.
struct Played {
  // Every timeline line, the summary last; empty when nothing was played.
  std::vector<std::string> timeline;
  // Why nothing was played; empty when the scenario was played.
  std::string problem;
};

struct WatchSetup {
  std::string pluginPath;    // the library the builds replace
  std::string scenarioPath;  // a scenario file, or empty for a built-in one
  // Compared with every play instead of the previous one, when set.
  std::optional<std::vector<std::string>> baseline;
  bool quiet = false;  // the first play tells only its summary line
  std::chrono::milliseconds poll{100};
  std::chrono::milliseconds settle{300};  // see file_watch.h
};

struct WatchHooks {
  // Plays the scenario with the library at the given path (the private
  // copy); prints nothing.
  std::function<Played(const std::string& pluginPath)> play;
  // Prints one line of the loop's own output.
  std::function<void(const std::string& line)> print;
  // Prints a problem (on standard error, in the program's words).
  std::function<void(const std::string& message)> report;
  // Asked between polls; true ends the loop.
  std::function<bool()> stop;
};

// Runs the loop until `hooks.stop` answers true.
void Watch(const WatchSetup& setup, const WatchHooks& hooks);

// On Windows makes Ctrl-C and Ctrl-Break set WatchInterrupted() instead of
// ending the process where it is (interrupt.h), since a library that is
// loaded cannot be removed: the play under way ends, its copy is removed,
// and then the loop. On Linux the signal handlers of interrupt.h end the
// program at once, having removed the temporary files, the copy included.
void StopWatchOnInterrupt();
// Whether Ctrl-C asked the loop to stop.
bool WatchInterrupted();

}  // namespace sim

#endif  // HOMESTEAD_SIM_APP_WATCH_H
