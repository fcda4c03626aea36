// Reading a scenario file whole, with an error in words when it cannot be.
#ifndef HOMESTEAD_SIM_SCENARIO_SCENARIO_FILE_H
#define HOMESTEAD_SIM_SCENARIO_SCENARIO_FILE_H

#include <optional>
#include <string>

namespace sim {

// The whole content of the scenario file at `path`; nothing, with `*error`
// saying why ("cannot read scenario file 'x': Is a directory"), when it
// cannot be read.
std::optional<std::string> ReadScenarioFile(const std::string& path, std::string* error);

}  // namespace sim

#endif  // HOMESTEAD_SIM_SCENARIO_SCENARIO_FILE_H
