// Small helpers that append JSON values to a string, for the trace. Numbers
// are written in their shortest exact form, so equal values give equal bytes.
#ifndef HOMESTEAD_SIM_JSON_H
#define HOMESTEAD_SIM_JSON_H

#include <cstdint>
#include <string>
#include <string_view>

namespace sim {

// A quoted JSON string; control characters and bytes that are not valid
// UTF-8 are escaped so the output always parses.
void AppendJsonString(std::string& out, std::string_view text);
void AppendJsonInt(std::string& out, int64_t value);
void AppendJsonUint(std::string& out, uint64_t value);
// Shortest text that reads back as the same float; non-finite values as null.
void AppendJsonFloat(std::string& out, float value);
void AppendJsonDouble(std::string& out, double value);
// "0x" and 16 upper-case hex digits, as a JSON string.
void AppendJsonHash(std::string& out, uint64_t hash);

}  // namespace sim

#endif  // HOMESTEAD_SIM_JSON_H
