// Compares two timelines line by line, for --baseline and --watch.
//
// A timeline opens with a header (the scenario line and the line that names
// the two clocks) before its first stamped line ("HH:MM  m:ss.mmm  ..."); the
// header is left out of the comparison, so that a reworded header does not
// count as a change, while the closing summary line, and with it the
// verdict, does count. The rest is compared as a shortest edit script
// (Myers' algorithm) of the lines without their stamps: the lines removed
// from the earlier timeline and the lines added in the later one, grouped
// into changes where they are adjacent. A line that stays but happens at
// another time (a talk that took longer moves everything after it) is not
// shown, only counted, so that the change that moved it stands out.
#ifndef HOMESTEAD_SIM_REPORT_TIMELINE_DIFF_H
#define HOMESTEAD_SIM_REPORT_TIMELINE_DIFF_H

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// One group of adjacent edits.
struct TimelineChange {
  std::size_t line = 0;  // 1-based, in the later timeline (header included)
  std::vector<std::string> removed;
  std::vector<std::string> added;
};

struct TimelineDiff {
  std::size_t compared = 0;  // lines of the later timeline, header left out
  std::size_t removedCount = 0;
  std::size_t addedCount = 0;
  std::size_t movedCount = 0;  // lines kept, at another time
  std::vector<TimelineChange> changes;

  bool equal() const { return changes.empty() && movedCount == 0; }
};

// The lines of `text`, without their line ends ("\n" or "\r\n"); a last line
// without an end counts too.
std::vector<std::string> SplitLines(std::string_view text);

// Whether `line` starts with a timeline stamp, "HH:MM  ".
bool IsStampedLine(std::string_view line);

TimelineDiff DiffTimelines(std::span<const std::string> before, std::span<const std::string> after);

// The view printed for a diff, one line each:
//   "no change in 212 lines", or
//   "2 lines removed, 3 added (212 lines compared, 150 at another time)",
//   then per change "@@ line 57" and its lines as "- old" and "+ new".
std::vector<std::string> FormatTimelineDiff(const TimelineDiff& diff);

}  // namespace sim

#endif  // HOMESTEAD_SIM_REPORT_TIMELINE_DIFF_H
