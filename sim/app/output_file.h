// An output file, written where a Unix user points it.
//
// A regular file (or a path that does not exist yet) appears whole or not at
// all: Open creates a temporary file beside it (same directory, so the final
// rename stays on one file system); everything is written there, and Commit
// flushes, closes and renames it over the destination. A file destroyed
// without Commit removes its temporary file and leaves the destination as it
// was. A symbolic link is followed: its final target is replaced, and the
// link stays a link. A file replaced keeps its permissions. While it exists,
// the temporary file is registered for removal on an interruption
// (sim/app/interrupt.h).
//
// Anything else is written in place, as a shell redirection would: "-", and
// a path to the file or pipe that is the program's own standard output or
// error (/dev/stdout), write to that stream; a device, a named pipe or a
// process substitution (/dev/fd/63) is opened and written directly, never
// replaced.
#ifndef HOMESTEAD_SIM_APP_OUTPUT_FILE_H
#define HOMESTEAD_SIM_APP_OUTPUT_FILE_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace sim {

class OutputFile {
 public:
  // Prepares writing to `path`; null with `*error` set when that is
  // impossible (missing directory, no permission, `path` a directory).
  static std::unique_ptr<OutputFile> Open(const std::string& path, std::string* error);

  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(std::string_view text);
  // False once any write has failed.
  bool Good() const;

  // Flushes and closes the file (a standard stream is only flushed). False
  // with `*error` set when a write or the close failed; a temporary file is
  // then removed.
  bool Finish(std::string* error);
  // Renames the finished temporary file over the destination; nothing to do
  // for a file written in place. False with `*error` set when that failed;
  // the destination is then untouched.
  bool Publish(std::string* error);
  // Finish, then Publish.
  bool Commit(std::string* error);

  const std::string& path() const { return path_; }
  // The content goes to the program's standard output.
  bool toStandardOutput() const { return toStandardOutput_; }

 private:
  enum class Mode : uint8_t {
    kReplace,         // a temporary file renamed over the destination
    kInPlace,         // the destination itself, opened for writing
    kStandardStream,  // stdout or stderr, which are not ours to close
  };
  OutputFile(std::string path, std::string target, std::string tempPath, std::FILE* stream,
             Mode mode);

  std::string path_;      // as the user wrote it, for messages
  std::string target_;    // kReplace: the file replaced, symbolic links followed
  std::string tempPath_;  // kReplace
  std::FILE* stream_;
  Mode mode_;
  bool toStandardOutput_;
  bool finished_ = false;
  bool failed_ = false;
  int writeErrno_ = 0;
  int tempSlot_ = -1;  // kReplace: the temporary file's place in sim/app/interrupt.h's registry
};

// True when `a` and `b` would replace one regular file, however they are
// spelt ("./a" and "a", a symbolic link and its target): both name the same
// existing regular file, or neither exists and both name one name in one
// directory. Never for "-", devices or pipes, which take any number of
// writers.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace sim

#endif  // HOMESTEAD_SIM_APP_OUTPUT_FILE_H
