#include "sim/output_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

// Sections: how a destination is classified and the temporary file made and
// renamed, on POSIX systems and on Windows; the OutputFile on top.

namespace sim {
namespace {

// Where the bytes for a destination go.
struct Destination {
  enum class Kind : uint8_t { kRegular, kInPlace, kStdout, kStderr, kDirectory };
  Kind kind = Kind::kRegular;
  std::string target;  // kRegular: the file to replace, symbolic links followed
};

// The end of the chain of symbolic links that starts at `path`; `path`
// itself when it is no link. A relative link is read from its directory.
std::string FollowLinks(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path at = path;
  std::error_code ec;
  // As many hops as the system itself follows before giving up (ELOOP);
  // past them the rename or the open reports the loop.
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(at, ec)); ++hops) {
    const fs::path link = fs::read_symlink(at, ec);
    if (ec) break;
    at = link.is_absolute() ? link : at.parent_path() / link;
  }
  return at.string();
}

#if defined(_WIN32)

// Windows has neither device files standing for the standard streams nor
// named pipes in the file system that a user would name here; "-" is the one
// way to standard output. Symbolic links are followed as elsewhere.
Destination Classify(const std::string& path) {
  namespace fs = std::filesystem;
  if (path == "-") return {Destination::Kind::kStdout, ""};
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::is_directory(status)) return {Destination::Kind::kDirectory, ""};
  if (fs::exists(status) && !fs::is_regular_file(status)) return {Destination::Kind::kInPlace, ""};
  return {Destination::Kind::kRegular, FollowLinks(path)};
}

// A new file named after `pattern` (which ends in six X), opened for binary
// writing, so that "\n" stays one byte; its name replaces the pattern.
std::FILE* CreateTemporary(std::vector<char>* pattern) {
  if (_mktemp_s(pattern->data(), pattern->size()) != 0) return nullptr;
  const int fd =
      _open(pattern->data(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* stream = _fdopen(fd, "wb");
  if (stream == nullptr) {
    const int saved = errno;
    _close(fd);
    std::remove(pattern->data());
    errno = saved;
  }
  return stream;
}

// Replaces `target` with `temp`; std::rename refuses an existing target on
// Windows.
std::string ReplaceFile(const std::string& temp, const std::string& target) {
  namespace fs = std::filesystem;
  if (MoveFileExW(fs::path(temp).wstring().c_str(), fs::path(target).wstring().c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return "";
  }
  return std::system_category().message(static_cast<int>(GetLastError()));
}

#else

// True when `info` describes the file open as `fd`: "/dev/stdout" names the
// stream we already have, whatever it is connected to.
bool IsOpenAs(const struct stat& info, int fd) {
  struct stat opened {};
  return ::fstat(fd, &opened) == 0 && opened.st_dev == info.st_dev && opened.st_ino == info.st_ino;
}

Destination Classify(const std::string& path) {
  if (path == "-") return {Destination::Kind::kStdout, ""};
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    // A device (a terminal, /dev/null) takes writes from any opening alike,
    // and the timeline stays where it is; a file or a pipe that is our
    // stdout or stderr must be written through that stream, or the two
    // writers would overwrite or truncate each other.
    const bool device = S_ISCHR(info.st_mode);
    if (!device && IsOpenAs(info, STDOUT_FILENO)) return {Destination::Kind::kStdout, ""};
    if (!device && IsOpenAs(info, STDERR_FILENO)) return {Destination::Kind::kStderr, ""};
    if (S_ISDIR(info.st_mode)) return {Destination::Kind::kDirectory, ""};
    if (!S_ISREG(info.st_mode)) return {Destination::Kind::kInPlace, ""};
  }
  return {Destination::Kind::kRegular, FollowLinks(path)};
}

// A new private file named after `pattern` (which ends in six X), made
// readable like any file the user creates; its name replaces the pattern.
std::FILE* CreateTemporary(std::vector<char>* pattern) {
  const int fd = ::mkstemp(pattern->data());
  if (fd < 0) return nullptr;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  std::FILE* stream = ::fdopen(fd, "w");
  if (stream == nullptr) {
    const int saved = errno;
    ::close(fd);
    std::remove(pattern->data());
    errno = saved;
  }
  return stream;
}

// Replaces `target` with `temp`; empty, or the system's reason.
std::string ReplaceFile(const std::string& temp, const std::string& target) {
  if (std::rename(temp.c_str(), target.c_str()) == 0) return "";
  return std::strerror(errno);
}

#endif

}  // namespace

std::unique_ptr<OutputFile> OutputFile::Open(const std::string& path, std::string* error) {
  const Destination destination = Classify(path);
  switch (destination.kind) {
    case Destination::Kind::kStdout:
    case Destination::Kind::kStderr: {
      const bool out = destination.kind == Destination::Kind::kStdout;
      return std::unique_ptr<OutputFile>(
          new OutputFile(path, "", "", out ? stdout : stderr, Mode::kStandardStream));
    }
    case Destination::Kind::kDirectory:
      *error = "cannot write '" + path + "': it is a directory";
      return nullptr;
    case Destination::Kind::kInPlace: {
      // A named pipe blocks here until a reader opens it, as a shell
      // redirection to it would.
      std::FILE* stream = std::fopen(path.c_str(), "wb");
      if (stream == nullptr) {
        *error = "cannot write '" + path + "': " + std::strerror(errno);
        return nullptr;
      }
      return std::unique_ptr<OutputFile>(new OutputFile(path, "", "", stream, Mode::kInPlace));
    }
    case Destination::Kind::kRegular:
      break;
  }
  // Beside the link's target, so that the rename replaces the target.
  const std::string pattern = destination.target + ".tmp.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  std::FILE* stream = CreateTemporary(&name);
  if (stream == nullptr) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<OutputFile>(
      new OutputFile(path, destination.target, name.data(), stream, Mode::kReplace));
}

OutputFile::OutputFile(std::string path, std::string target, std::string tempPath,
                       std::FILE* stream, Mode mode)
    : path_(std::move(path)),
      target_(std::move(target)),
      tempPath_(std::move(tempPath)),
      stream_(stream),
      mode_(mode),
      toStandardOutput_(stream == stdout) {}

OutputFile::~OutputFile() {
  if (stream_ != nullptr && mode_ != Mode::kStandardStream) std::fclose(stream_);
  if (mode_ == Mode::kReplace && (stream_ != nullptr || finished_)) std::remove(tempPath_.c_str());
}

void OutputFile::Write(std::string_view text) {
  if (failed_ || stream_ == nullptr) return;
  if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
    failed_ = true;
    writeErrno_ = errno;
  }
}

bool OutputFile::Good() const {
  return !failed_ && stream_ != nullptr;
}

bool OutputFile::Finish(std::string* error) {
  if (stream_ == nullptr) {
    *error = "cannot write '" + path_ + "': already closed";
    return false;
  }
  if (!failed_ && std::fflush(stream_) != 0) {
    failed_ = true;
    writeErrno_ = errno;
  }
  if (mode_ != Mode::kStandardStream && std::fclose(stream_) != 0 && !failed_) {
    failed_ = true;
    writeErrno_ = errno;
  }
  stream_ = nullptr;
  if (failed_) {
    *error = "cannot write '" + path_ + "': " + std::strerror(writeErrno_);
    if (mode_ == Mode::kReplace) std::remove(tempPath_.c_str());
    return false;
  }
  finished_ = true;
  return true;
}

bool OutputFile::Publish(std::string* error) {
  if (!finished_) {
    *error = "cannot write '" + path_ + "': not finished";
    return false;
  }
  finished_ = false;
  if (mode_ != Mode::kReplace) return true;
  if (const std::string reason = ReplaceFile(tempPath_, target_); !reason.empty()) {
    *error = "cannot write '" + path_ + "': " + reason;
    std::remove(tempPath_.c_str());
    return false;
  }
  return true;
}

bool OutputFile::Commit(std::string* error) {
  return Finish(error) && Publish(error);
}

}  // namespace sim
