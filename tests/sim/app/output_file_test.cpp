#include "sim/app/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

TEST_F(OutputFileTest, CommitReplacesTheDestinationKeepsItsModeAndLeavesNoTemporaryFile) {
  // A name too long to take ".tmp.XXXXXX" within the 255 bytes a name may
  // have still works.
  for (const std::string& name : {std::string("map.svg"), std::string(251, 'n') + ".svg"}) {
    SCOPED_TRACE(name.size());
    const fs::path path = dir_ / name;
    WriteText(path, "old");
    constexpr fs::perms kMode = fs::perms::owner_read | fs::perms::owner_write |
                                fs::perms::group_read;  // 0640, not what umask gives
    fs::permissions(path, kMode);
    std::string error;
    auto file = OutputFile::Open(path.string(), &error);
    ASSERT_NE(file, nullptr) << error;
    file->Write("new ");
    file->Write("content");
    EXPECT_EQ(ReadText(path), "old");  // nothing shows before the commit
    ASSERT_TRUE(file->Commit(&error)) << error;
    EXPECT_EQ(ReadText(path), "new content");
    EXPECT_EQ(fs::status(path).permissions(), kMode);
    EXPECT_EQ(FilesInDir(), 1u);
    fs::remove(path);
  }
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

TEST_F(OutputFileTest, LinksAreFollowedAndPipesWrittenInPlace) {
  WriteText(dir_ / "target.jsonl", "old");
  fs::create_symlink("target.jsonl", dir_ / "link.jsonl");        // relative
  fs::create_symlink(dir_ / "link.jsonl", dir_ / "link2.jsonl");  // a link to a link
  fs::create_symlink("absent.svg", dir_ / "dangling.svg");
  ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  struct Case {
    const char* name;      // the destination given
    const char* contains;  // where its content lands
    fs::file_type type;    // what the destination stays
  };
  const Case cases[] = {
      {"link.jsonl", "target.jsonl", fs::file_type::symlink},
      {"link2.jsonl", "target.jsonl", fs::file_type::symlink},
      {"dangling.svg", "absent.svg", fs::file_type::symlink},
      {"pipe", "pipe", fs::file_type::fifo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = dir_ / c.name;
    // A reader is there before the writer, so that opening the pipe does not
    // block; a pipe replaced by a file would leave it reading nothing.
    const bool pipe = c.type == fs::file_type::fifo;
    const int reader = pipe ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    std::string error;
    auto file = OutputFile::Open(path.string(), &error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_FALSE(file->toStandardOutput());
    file->Write(std::string("content of ") + c.name);
    ASSERT_TRUE(file->Commit(&error)) << error;
    std::string content;
    if (pipe) {
      ::fcntl(reader, F_SETFL, 0);
      char buffer[256];
      for (ssize_t got; (got = ::read(reader, buffer, sizeof buffer)) > 0;) {
        content.append(buffer, static_cast<std::size_t>(got));
      }
      ::close(reader);
    } else {
      content = ReadText(dir_ / c.contains);
    }
    EXPECT_EQ(content, std::string("content of ") + c.name);
    EXPECT_EQ(fs::symlink_status(path).type(), c.type);
  }
  EXPECT_EQ(FilesInDir(), 6u);  // no temporary file left beside any of them

  std::string error;
  const auto dash = OutputFile::Open("-", &error);
  ASSERT_NE(dash, nullptr) << error;
  EXPECT_TRUE(dash->toStandardOutput());
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
