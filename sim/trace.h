// The call trace: every host call of a run as one JSON object per line.
//
//   {"frame":12,"time_ms":183.333,"op":"CreatePed","hash":"0xD49F9B0955C367DE",
//    "args":[1057570823,2628.946,...],"result":101}
//
// Arguments are written as the host decoded them: numbers, booleans, texts,
// {"ref":h} for a handle passed by address (its value before the call),
// {"out":v} for a value the call wrote back, an object for the speech block,
// and 64-bit string handles as hex strings. No address is ever written, so
// the same run gives the same bytes. A call the host refused has "refused":
// true and no arguments.
#ifndef HOMESTEAD_SIM_TRACE_H
#define HOMESTEAD_SIM_TRACE_H

#include <string>

#include "platform/host.h"

namespace sim {

// One line, newline included.
std::string FormatTraceLine(const platform::CallRecord& call);

}  // namespace sim

#endif  // HOMESTEAD_SIM_TRACE_H
