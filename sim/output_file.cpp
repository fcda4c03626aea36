#include "sim/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace sim {

std::unique_ptr<OutputFile> OutputFile::Open(const std::string& path, std::string* error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = "cannot write '" + path + "': it is a directory";
    return nullptr;
  }
  // mkstemp wants a writable template ending in six X.
  std::string pattern = path + ".tmp.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    return nullptr;
  }
  // mkstemp makes the file private (0600); an output file should look like
  // any other the user creates.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  std::FILE* stream = ::fdopen(fd, "w");
  if (stream == nullptr) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    ::close(fd);
    ::unlink(name.data());
    return nullptr;
  }
  return std::unique_ptr<OutputFile>(new OutputFile(path, name.data(), stream));
}

OutputFile::OutputFile(std::string path, std::string tempPath, std::FILE* stream)
    : path_(std::move(path)), tempPath_(std::move(tempPath)), stream_(stream) {}

OutputFile::~OutputFile() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (stream_ != nullptr || finished_) ::unlink(tempPath_.c_str());
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
  if (std::fclose(stream_) != 0 && !failed_) {
    failed_ = true;
    writeErrno_ = errno;
  }
  stream_ = nullptr;
  if (failed_) {
    *error = "cannot write '" + path_ + "': " + std::strerror(writeErrno_);
    ::unlink(tempPath_.c_str());
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
  if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
    *error = "cannot write '" + path_ + "': " + std::strerror(errno);
    ::unlink(tempPath_.c_str());
    return false;
  }
  return true;
}

bool OutputFile::Commit(std::string* error) {
  return Finish(error) && Publish(error);
}

}  // namespace sim
