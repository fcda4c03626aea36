// Simulated time since the start of a run, as text: "m:ss.mmm" in the
// timeline, the progress line and the summary, "m:ss" on the map's time
// marks. Minutes run on past 59 ("75:02.500"); times are never negative.
#ifndef HOMESTEAD_SIM_BASE_SIM_TIME_H
#define HOMESTEAD_SIM_BASE_SIM_TIME_H

#include <cstdint>
#include <string>

namespace sim {

// Appends "m:ss.mmm" for `us` microseconds, truncated to the millisecond.
void AppendSimTime(std::string& out, int64_t us);

// "m:ss.mmm" for `us` microseconds, truncated to the millisecond.
std::string SimTimeText(int64_t us);

// "m:ss" for `us` microseconds, truncated to the second.
std::string SimTimeSecondsText(int64_t us);

}  // namespace sim

#endif  // HOMESTEAD_SIM_BASE_SIM_TIME_H
