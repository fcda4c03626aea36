// The polling watcher that --watch waits on: a change is reported once, and
// only after the file has stopped changing.
#include "sim/app/file_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace sim {
namespace {

using std::chrono::milliseconds;

TEST(FileWatchTest, ReportsAChangeOnceItHasSettled) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "homestead_watch_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "plugin.bin").string();
  const std::string other = (dir / "other.bin").string();
  std::ofstream(path) << "first";
  std::ofstream(other) << "other";

  constexpr milliseconds kSettle{300};
  FileWatch watch({path, other}, kSettle);
  const FileWatch::Clock::time_point start = FileWatch::Clock::now();
  // Each step writes `content` to the file (unless null; "" removes it), then
  // polls at `atMs` and expects the file reported or not.
  struct Step {
    const char* content;
    int atMs;
    bool reported;
  };
  constexpr Step kSteps[] = {
      {nullptr, 0, false},                                // unchanged since the start
      {"second!", 10, false},                             // just written
      {nullptr, 200, false},                              // not yet settled
      {"third!!!", 250, false},                           // written again: the wait starts over
      {nullptr, 500, false},    {nullptr, 560, true},     // the same for 300 ms
      {nullptr, 2000, false},                             // told once
      {"", 2100, false},                                  // removed: waited for, not reported
      {nullptr, 3000, false},   {"fourth", 3100, false},  // back, with new content
      {nullptr, 3500, true},
  };
  for (const Step& step : kSteps) {
    SCOPED_TRACE("at " + std::to_string(step.atMs) + " ms");
    if (step.content != nullptr && *step.content == '\0') {
      std::filesystem::remove(path);
    } else if (step.content != nullptr) {
      std::ofstream(path, std::ios::trunc) << step.content;
    }
    const std::vector<std::string> changed = watch.Poll(start + milliseconds(step.atMs));
    EXPECT_EQ(changed, step.reported ? std::vector<std::string>{path} : std::vector<std::string>{});
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace sim
