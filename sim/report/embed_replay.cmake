# Writes a C++ source that holds the replay page's template, style and script
# as string data, and fails if they break the rules replay_assets.h states.
# Run as: cmake -DOUTPUT=<file.cpp> -DDIR=<sim/report/replay> -P embed_replay.cmake
file(READ "${DIR}/page.html" page)
file(READ "${DIR}/replay.css" style)
file(READ "${DIR}/replay.js" script)

set(from 0)
foreach(placeholder IN ITEMS "{{title}}" "{{style}}" "{{data}}" "{{script}}")
  string(FIND "${page}" "${placeholder}" at)
  string(FIND "${page}" "${placeholder}" last REVERSE)
  if(at EQUAL -1 OR NOT at EQUAL last OR at LESS from)
    message(FATAL_ERROR "page.html must hold ${placeholder} once, after the ones before it")
  endif()
  set(from ${at})
endforeach()
foreach(name IN ITEMS style script)
  string(FIND "${${name}}" "</" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "the replay page's ${name} contains \"</\", which would end its element")
  endif()
endforeach()

# Raw strings of at most 16000 bytes each: compilers cap one literal's length.
function(raw_pieces text out)
  set(pieces "")
  string(LENGTH "${text}" length)
  set(at 0)
  while(at LESS length)
    string(SUBSTRING "${text}" ${at} 16000 piece)
    string(FIND "${piece}" ")replay\"" clash)
    if(NOT clash EQUAL -1)
      message(FATAL_ERROR "the replay page contains the raw-string terminator )replay\"")
    endif()
    string(APPEND pieces "\n    R\"replay(${piece})replay\"")
    math(EXPR at "${at} + 16000")
  endwhile()
  set(${out} "${pieces}" PARENT_SCOPE)
endfunction()
raw_pieces("${page}" page_text)
raw_pieces("${style}" style_text)
raw_pieces("${script}" script_text)

file(WRITE "${OUTPUT}.new" "// Generated from sim/report/replay/ by embed_replay.cmake; do not edit.
#include \"sim/report/replay_assets.h\"

namespace sim {

const std::string_view kReplayTemplate =${page_text};
const std::string_view kReplayStyle =${style_text};
const std::string_view kReplayScript =${script_text};

}  // namespace sim
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
