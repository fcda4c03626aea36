// Watches a few files for finished changes, by polling, the same way on
// Linux and on Windows.
//
// A file counts as changed when its existence, size or modification time
// differs from what was last reported, and the change counts as finished
// once the file has looked the same for `settle` and can be opened for
// reading: a linker or an editor that writes in several steps (or, on
// Windows, holds the file locked meanwhile) is waited for. A file that is
// missing is waited for too, so that a file replaced by delete-and-write
// is reported once, when the new one is complete. Paths are in UTF-8.
#ifndef HOMESTEAD_SIM_APP_FILE_WATCH_H
#define HOMESTEAD_SIM_APP_FILE_WATCH_H

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sim {

class FileWatch {
 public:
  using Clock = std::chrono::steady_clock;

  // Takes the files as they are now as the starting point.
  FileWatch(std::vector<std::string> paths, Clock::duration settle);

  // Looks at every file once at time `now`; returns the paths whose change
  // has finished since they were last reported, in the order given.
  std::vector<std::string> Poll(Clock::time_point now);

 private:
  struct Look {
    bool exists = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    bool operator==(const Look&) const = default;
  };
  struct Watched {
    std::string path;
    Look reported;                // as last reported, or as at the start
    Look seen;                    // as the last poll saw it
    Clock::time_point seenSince;  // since when it has looked like `seen`
  };

  static Look LookAt(const std::string& utf8);

  std::vector<Watched> files_;
  Clock::duration settle_;
};

}  // namespace sim

#endif  // HOMESTEAD_SIM_APP_FILE_WATCH_H
