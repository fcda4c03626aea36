#include "sim/base/sim_time.h"

#include <cassert>

namespace sim {
namespace {

// Written digit by digit: a stamp starts every line of the timeline.
void AppendMinutesSeconds(std::string& out, int64_t ms) {
  assert(ms >= 0 && "simulated time runs forward from zero");
  out += std::to_string(ms / 60000);
  out += ':';
  const int64_t seconds = ms / 1000 % 60;
  out += static_cast<char>('0' + seconds / 10);
  out += static_cast<char>('0' + seconds % 10);
}

}  // namespace

void AppendSimTime(std::string& out, int64_t us) {
  const int64_t ms = us / 1000;
  AppendMinutesSeconds(out, ms);
  out += '.';
  out += static_cast<char>('0' + ms % 1000 / 100);
  out += static_cast<char>('0' + ms % 100 / 10);
  out += static_cast<char>('0' + ms % 10);
}

std::string SimTimeText(int64_t us) {
  std::string text;
  AppendSimTime(text, us);
  return text;
}

std::string SimTimeSecondsText(int64_t us) {
  std::string text;
  AppendMinutesSeconds(text, us / 1'000'000 * 1000);
  return text;
}

}  // namespace sim
