#include "sim/scenario/scenario_file.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sim {

std::optional<std::string> ReadScenarioFile(const std::string& path, std::string* error) {
  // A scenario is a few hundred bytes; the cap keeps "--file /dev/zero" from
  // reading forever.
  constexpr std::size_t kMaxBytes = std::size_t{1} << 20;
  const std::string prefix = "cannot read scenario file '" + path + "': ";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = prefix + std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  std::array<char, 4096> buffer;
  errno = 0;
  std::size_t got = 0;
  while (text.size() <= kMaxBytes &&
         (got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
    text.append(buffer.data(), got);
  }
  // A directory opens on some systems and fails only here, with EISDIR.
  const bool failed = std::ferror(file) != 0;
  const int readErrno = errno;
  std::fclose(file);
  if (failed) {
    *error = prefix + std::strerror(readErrno);
    return std::nullopt;
  }
  if (text.size() > kMaxBytes) {
    *error = prefix + "larger than 1 MiB";
    return std::nullopt;
  }
  return text;
}

}  // namespace sim
