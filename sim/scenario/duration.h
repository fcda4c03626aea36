// Durations in scenario syntax ("500ms", "90min", "1h30min"), read and
// written, in milliseconds.
#ifndef HOMESTEAD_SIM_SCENARIO_DURATION_H
#define HOMESTEAD_SIM_SCENARIO_DURATION_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// Reads a duration in scenario syntax ("90min", "1h30min"), within the
// limits of a duration in a scenario, as milliseconds; nothing, with
// `*error` saying what is wrong ("duration out of range near '49h'; expected
// a duration from 0 to 48h"), when it is not one.
std::optional<int64_t> ParseDuration(std::string_view text, std::string* error);

// Milliseconds in scenario syntax, largest units first: "48h", "1h30min",
// "2s500ms", "0s".
std::string FormatScenarioDuration(int64_t ms);

}  // namespace sim

#endif  // HOMESTEAD_SIM_SCENARIO_DURATION_H
