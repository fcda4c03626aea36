// The built-in scenarios. Their texts live in sim/scenario/scenarios/*.scn, in the
// same language as user files, and are compiled into the program; the first
// one is the default.
#ifndef HOMESTEAD_SIM_SCENARIO_BUILTIN_H
#define HOMESTEAD_SIM_SCENARIO_BUILTIN_H

#include <cstddef>
#include <span>
#include <string_view>

// kBuiltinScenarioCount, generated from the build's list of the scenarios.
#include "sim/scenario/builtin_count.h"

namespace sim {

struct BuiltinScenario {
  std::string_view name;  // the file's stem, e.g. "robbery"
  std::string_view text;  // the file's contents
};

// Every built-in scenario, the default first.
std::span<const BuiltinScenario> BuiltinScenarios();

// The built-in scenario called `name`, or null.
const BuiltinScenario* FindBuiltinScenario(std::string_view name);

}  // namespace sim

#endif  // HOMESTEAD_SIM_SCENARIO_BUILTIN_H
