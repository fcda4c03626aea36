// An output file that appears whole or not at all.
//
// Open creates a temporary file beside the destination (same directory, so
// the final rename stays on one file system); everything is written there.
// Commit flushes, closes and renames it over the destination. A file that is
// destroyed without Commit removes its temporary file and leaves the
// destination as it was, so a run that fails creates and overwrites nothing.
#ifndef HOMESTEAD_SIM_OUTPUT_FILE_H
#define HOMESTEAD_SIM_OUTPUT_FILE_H

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace sim {

class OutputFile {
 public:
  // Creates the temporary file for `path`; null with `*error` set when that
  // is impossible (missing directory, no permission, `path` a directory).
  static std::unique_ptr<OutputFile> Open(const std::string& path, std::string* error);

  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(std::string_view text);
  // False once any write has failed.
  bool Good() const;

  // Flushes and closes the temporary file. False with `*error` set when a
  // write or the close failed; the temporary file is then removed.
  bool Finish(std::string* error);
  // Renames the finished file over the destination. False with `*error` set
  // when that failed; the destination is then untouched.
  bool Publish(std::string* error);
  // Finish, then Publish.
  bool Commit(std::string* error);

  const std::string& path() const { return path_; }

 private:
  OutputFile(std::string path, std::string tempPath, std::FILE* stream);

  std::string path_;
  std::string tempPath_;
  std::FILE* stream_;
  bool finished_ = false;
  bool failed_ = false;
  int writeErrno_ = 0;
};

}  // namespace sim

#endif  // HOMESTEAD_SIM_OUTPUT_FILE_H
