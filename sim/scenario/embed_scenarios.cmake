# Writes a C++ source that holds the built-in scenario files as string data.
# Run as: cmake -DOUTPUT=<file.cpp> -DDIR=<scenarios dir> -DNAMES=<a,b,...> -P embed_scenarios.cmake
# The names are joined with commas: a list would not survive the command line.
string(REPLACE "," ";" names "${NAMES}")
set(INPUTS "")
foreach(name IN LISTS names)
  list(APPEND INPUTS "${DIR}/${name}.scn")
endforeach()
set(body "")
list(LENGTH INPUTS count)
foreach(input IN LISTS INPUTS)
  get_filename_component(name "${input}" NAME_WE)
  file(READ "${input}" text)
  string(FIND "${text}" ")scenario\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${input} contains the raw-string terminator )scenario\"")
  endif()
  string(APPEND body "    {\"${name}\", R\"scenario(${text})scenario\"},\n")
endforeach()

file(WRITE "${OUTPUT}.new" "// Generated from sim/scenario/scenarios/*.scn by embed_scenarios.cmake; do not edit.
#include \"sim/scenario/builtin.h\"

#include <array>

namespace sim {
namespace {

constexpr std::array<BuiltinScenario, ${count}> kBuiltins = {{
${body}}};
static_assert(kBuiltins.size() == kBuiltinScenarioCount, \"the scenarios embedded are the ones listed\");

}  // namespace

std::span<const BuiltinScenario> BuiltinScenarios() {
  return kBuiltins;
}

const BuiltinScenario* FindBuiltinScenario(std::string_view name) {
  for (const BuiltinScenario& scenario : kBuiltins) {
    if (scenario.name == name) return &scenario;
  }
  return nullptr;
}

}  // namespace sim
")
# Only touch the output when it changed, so an unrelated edit rebuilds nothing.
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
