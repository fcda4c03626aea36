// The modder's loop through the homestead-sim program: --baseline against a
// timeline written earlier, and --watch playing again when the plug-in file
// is replaced by another build.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/report/timeline_diff.h"
#include "spawn_child.h"

namespace sim {
namespace {

namespace fs = std::filesystem;

class LoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sim_loop_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Runs the simulator with the built plug-in; its standard output in `*out`.
  int Run(const std::string& args, std::string* out) {
    const fs::path file = dir_ / "out.txt";
    const std::string command = std::string("'") + HOMESTEAD_SIM_PATH + "' --plugin '" +
                                HOMESTEAD_PLUGIN_PATH + "' " + args + " > '" + file.string() +
                                "' 2>/dev/null";
    const int raw = std::system(command.c_str());
    *out = Read(file);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  fs::path dir_;
};

TEST_F(LoopTest, BaselineShowsTheChangedLinesAndSaysWhetherThereAreAny) {
  std::string written;
  ASSERT_EQ(Run("", &written), 0);
  const std::vector<std::string> lines = SplitLines(written);
  ASSERT_GT(lines.size(), 10u);
  ASSERT_TRUE(IsStampedLine(lines[5])) << lines[5];
  const std::string compared = std::to_string(lines.size() - 2) + " lines";
  const std::string other = "12:00  0:00.000  something else";
  const std::string earlier = "12:00  0:00.000  " + lines[5].substr(lines[5].find("  ", 7) + 2);
  struct Row {
    const char* name;
    std::size_t line;         // changed in the baseline; lines.size(): none
    const char* replacement;  // its text in the baseline
    int status;
    std::vector<std::string> shown;  // before the summary line
  };
  const Row rows[] = {
      {"equal", lines.size(), "", 0, {"no change in " + compared}},
      {"one line changed",
       5,
       other.c_str(),
       1,
       {"1 line removed, 1 added (" + compared + " compared)", "@@ line 6", "- " + other,
        "+ " + lines[5]}},
      {"header only", 1, "clock  time  (the clocks)", 0, {"no change in " + compared}},
      {"time only",
       5,
       earlier.c_str(),
       1,
       {"0 lines removed, 0 added (" + compared + " compared, 1 at another time)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string baseline;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      baseline += (i == row.line ? std::string(row.replacement) : lines[i]) + "\n";
    }
    std::ofstream(dir_ / "baseline.txt", std::ios::binary) << baseline;
    std::string out;
    EXPECT_EQ(Run("--baseline '" + (dir_ / "baseline.txt").string() + "'", &out), row.status);
    std::vector<std::string> expected = row.shown;
    expected.push_back(lines.back());
    EXPECT_EQ(SplitLines(out), expected);
  }
}

TEST_F(LoopTest, WatchPlaysAgainWithAnotherBuildAndTellsWhatChanged) {
  const fs::path plugin = dir_ / fs::path(HOMESTEAD_PLUGIN_PATH).filename();
  fs::copy_file(HOMESTEAD_PLUGIN_PATH, plugin);
  const fs::path out = dir_ / "out.txt";
  const std::string pluginPath = plugin.string();
  const char* const argv[] = {HOMESTEAD_SIM_PATH, "--watch", "--plugin", pluginPath.c_str(),
                              nullptr};
  const pid_t child = SpawnWithOutputTo(argv, out.string());
  ASSERT_GT(child, 0) << "cannot start " << argv[0];

  // Waits up to 30 s for the output to hold `text` `times` times.
  auto awaitOutput = [&out](const std::string& text, int times = 1) {
    auto count = [&out, &text] {
      int found = 0;
      const std::string output = Read(out);
      for (std::size_t at = output.find(text); at != std::string::npos;
           at = output.find(text, at + 1)) {
        ++found;
      }
      return found;
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (count() < times) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  };
  const bool watching = awaitOutput("for changes (Ctrl-C ends)\n");
  if (watching) {
    // Another build arrives as the linker writes it: beside, then renamed.
    const fs::path next = dir_ / "next.tmp";
    fs::copy_file(HOMESTEAD_OTHER_PLUGIN_PATH, next);
    fs::rename(next, plugin);
  }
  const bool replayed = watching && awaitOutput("\nsummary: ", 2);
  ::kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(watching && replayed) << Read(out);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);

  const std::vector<std::string> lines = SplitLines(Read(out));
  const auto watchLine = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.ends_with("for changes (Ctrl-C ends)");
  });
  ASSERT_NE(watchLine, lines.end());
  const std::vector<std::string> report(watchLine + 1, lines.end());
  ASSERT_GE(report.size(), 4u) << Read(out);
  EXPECT_EQ(report[0], "--- " + pluginPath + " changed: playing again");
  EXPECT_NE(report[1].find(" removed, "), std::string::npos) << report[1];
  EXPECT_TRUE(report[2].starts_with("@@ line ")) << report[2];
  // The new build's fault, told under the name the user gave, not the copy's.
  const std::string fault = "the script main of plug-in '" + pluginPath + "' returned";
  EXPECT_EQ(std::count_if(report.begin(), report.end(),
                          [&fault](const std::string& line) {
                            return line.starts_with("+ ") &&
                                   line.find("! host error: ") != std::string::npos &&
                                   line.find(fault) != std::string::npos;
                          }),
            1);
  EXPECT_TRUE(report.back().starts_with("summary: robbery, seed 1: FAILED")) << report.back();
  // The private copies of the library are gone.
  const std::string copies = "homestead-sim-" + std::to_string(child) + "-";
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(copies)) << entry.path();
  }
}

}  // namespace
}  // namespace sim
