#include "sim/app/file_watch.h"

#include <fstream>
#include <system_error>
#include <utility>

#include "sim/app/system.h"

namespace sim {

FileWatch::FileWatch(std::vector<std::string> paths, Clock::duration settle) : settle_(settle) {
  for (std::string& path : paths) {
    const Look now = LookAt(path);
    files_.push_back({std::move(path), now, now, Clock::time_point()});
  }
}

FileWatch::Look FileWatch::LookAt(const std::string& utf8) {
  const std::filesystem::path path = PathFromUtf8(utf8);
  Look look;
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::is_regular_file(status)) return look;
  look.size = std::filesystem::file_size(path, ec);
  if (ec) return look;
  look.modified = std::filesystem::last_write_time(path, ec);
  look.exists = !ec;
  return look;
}

std::vector<std::string> FileWatch::Poll(Clock::time_point now) {
  std::vector<std::string> finished;
  for (Watched& file : files_) {
    const Look look = LookAt(file.path);
    if (look != file.seen) {
      file.seen = look;
      file.seenSince = now;
      continue;
    }
    if (look == file.reported || !look.exists || now - file.seenSince < settle_) continue;
    // A writer that holds the file locked (on Windows) has not finished.
    if (!std::ifstream(PathFromUtf8(file.path), std::ios::binary).is_open()) continue;
    file.reported = look;
    finished.push_back(file.path);
  }
  return finished;
}

}  // namespace sim
