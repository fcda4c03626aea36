#include "sim/app/output_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "sim/app/interrupt.h"

// Sections: how a destination is classified and the temporary file made and
// renamed, on POSIX systems and on Windows; the OutputFile on top.

namespace sim {
namespace {

// Where the bytes for a destination go.
struct Destination {
  enum class Kind : uint8_t { kRegular, kInPlace, kStdout, kStderr, kDirectory };
  Kind kind = Kind::kRegular;
  std::string target;  // kRegular: the file to replace, symbolic links followed
  int mode = -1;       // kRegular: the permissions it has, kept; -1 for a new file
};

// The longest file name most file systems take (NAME_MAX on Linux, and
// NTFS's limit in UTF-16 units).
constexpr std::size_t kMaxNameBytes = 255;

// Where the temporary file for `target` goes: beside it, as "NAME.tmp." and
// six random characters, or with a short fixed name when NAME is too long
// to take the suffix. The last six characters are X, to be replaced.
std::string TemporaryPattern(const std::string& target) {
  constexpr std::string_view kSuffix = ".tmp.XXXXXX";
  const std::filesystem::path path(target);
  const std::string name = path.filename().string();
  if (name.size() + kSuffix.size() <= kMaxNameBytes) return target + std::string(kSuffix);
  return (path.parent_path() / ("homestead-sim" + std::string(kSuffix))).string();
}

#if defined(_WIN32)
// Windows compares names case aside.
bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}
#else
bool SameName(const std::string& a, const std::string& b) {
  return a == b;
}
#endif

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
// writing, so that "\n" stays one byte; its name replaces the pattern, and
// `*slot` receives its place among the temporary files. Windows files have
// no Unix mode to keep.
std::FILE* CreateTemporary(std::vector<char>* pattern, int /*mode*/, int* slot) {
  if (_mktemp_s(pattern->data(), pattern->size()) != 0) return nullptr;
  const int fd =
      _open(pattern->data(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  *slot = RegisterTemporary(pattern->data());
  std::FILE* stream = _fdopen(fd, "wb");
  if (stream == nullptr) {
    const int saved = errno;
    _close(fd);
    std::remove(pattern->data());
    UnregisterTemporary(*slot);
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
  const bool exists = ::stat(path.c_str(), &info) == 0;
  if (exists) {
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
  return {Destination::Kind::kRegular, FollowLinks(path),
          exists ? static_cast<int>(info.st_mode & 0777) : -1};
}

// A new file named after `pattern` (which ends in six X), with `mode`, or
// readable like any file the user creates when `mode` is -1; its name
// replaces the pattern, and `*slot` receives its place among the temporary
// files. No signal is taken between creating and registering it, so that an
// interruption cannot leave it behind unregistered.
std::FILE* CreateTemporary(std::vector<char>* pattern, int mode, int* slot) {
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &previous);
  const int fd = ::mkstemp(pattern->data());
  const int createErrno = errno;
  if (fd >= 0) *slot = RegisterTemporary(pattern->data());
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (fd < 0) {
    errno = createErrno;
    return nullptr;
  }
  if (mode < 0) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = static_cast<int>(0666 & ~mask);
  }
  ::fchmod(fd, static_cast<mode_t>(mode));
  std::FILE* stream = ::fdopen(fd, "w");
  if (stream == nullptr) {
    const int saved = errno;
    ::close(fd);
    std::remove(pattern->data());
    UnregisterTemporary(*slot);
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
  const std::string pattern = TemporaryPattern(destination.target);
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int slot = -1;
  std::FILE* stream = CreateTemporary(&name, destination.mode, &slot);
  if (stream == nullptr) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    return nullptr;
  }
  auto file = std::unique_ptr<OutputFile>(
      new OutputFile(path, destination.target, name.data(), stream, Mode::kReplace));
  file->tempSlot_ = slot;
  return file;
}

bool SameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  if (a == "-" || b == "-") return false;
  std::error_code ec;
  const fs::file_status statusA = fs::status(a, ec);
  const fs::file_status statusB = fs::status(b, ec);
  if (fs::is_regular_file(statusA) && fs::is_regular_file(statusB)) {
    return fs::equivalent(a, b, ec) && !ec;
  }
  if (fs::exists(statusA) || fs::exists(statusB)) return false;
  // Neither is there yet: the same name in the same directory, once links
  // are followed.
  const fs::path targetA = FollowLinks(a);
  const fs::path targetB = FollowLinks(b);
  const fs::path dirA = targetA.has_parent_path() ? targetA.parent_path() : fs::path(".");
  const fs::path dirB = targetB.has_parent_path() ? targetB.parent_path() : fs::path(".");
  return SameName(targetA.filename().string(), targetB.filename().string()) &&
         fs::equivalent(dirA, dirB, ec) && !ec;
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
  UnregisterTemporary(tempSlot_);
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
    UnregisterTemporary(std::exchange(tempSlot_, -1));
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
  const std::string reason = ReplaceFile(tempPath_, target_);
  if (!reason.empty()) {
    *error = "cannot write '" + path_ + "': " + reason;
    std::remove(tempPath_.c_str());
  }
  UnregisterTemporary(std::exchange(tempSlot_, -1));
  return reason.empty();
}

bool OutputFile::Commit(std::string* error) {
  return Finish(error) && Publish(error);
}

}  // namespace sim
