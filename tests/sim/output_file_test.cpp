#include "sim/output_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace sim {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("output_file_test_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
  }
  static std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::size_t FilesInDir() const {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++count;
    return count;
  }

  fs::path dir_;
};

TEST_F(OutputFileTest, CommitReplacesTheDestinationAndLeavesNoTemporaryFile) {
  const fs::path path = dir_ / "map.svg";
  WriteText(path, "old");
  std::string error;
  auto file = OutputFile::Open(path.string(), &error);
  ASSERT_NE(file, nullptr) << error;
  file->Write("new ");
  file->Write("content");
  EXPECT_EQ(ReadText(path), "old");  // nothing shows before the commit
  ASSERT_TRUE(file->Commit(&error)) << error;
  EXPECT_EQ(ReadText(path), "new content");
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(OutputFileTest, AFileNeverCommittedLeavesTheDestinationAsItWas) {
  const fs::path existing = dir_ / "trace.jsonl";
  const fs::path absent = dir_ / "absent.svg";
  WriteText(existing, "keep me");
  {
    std::string error;
    auto overwrite = OutputFile::Open(existing.string(), &error);
    auto create = OutputFile::Open(absent.string(), &error);
    ASSERT_NE(overwrite, nullptr);
    ASSERT_NE(create, nullptr);
    overwrite->Write("half a trace");
    create->Write("half a map");
    ASSERT_TRUE(create->Finish(&error));  // finished but never published
  }
  EXPECT_EQ(ReadText(existing), "keep me");
  EXPECT_FALSE(fs::exists(absent));
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(OutputFileTest, OpenFailsForAMissingDirectoryOrADirectory) {
  std::string error;
  EXPECT_EQ(OutputFile::Open((dir_ / "no" / "map.svg").string(), &error), nullptr);
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(OutputFile::Open(dir_.string(), &error), nullptr);
  EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
  EXPECT_EQ(FilesInDir(), 0u);
}

}  // namespace
}  // namespace sim
