// Text formats shared by the world's event log and the simulator's outputs,
// so that a number, a position, a quoted text or a clock time reads the same
// wherever it is printed.
#ifndef HOMESTEAD_PLATFORM_FORMAT_H
#define HOMESTEAD_PLATFORM_FORMAT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// `value` with `decimals` digits after the point ("%.*f").
std::string Fixed(double value, int decimals);

// "x<sep>y<sep>z", each to two decimals: "2626.33, 1545.28, 115.69" with
// ", ", or the "x y z" a scenario file accepts with " ".
std::string FixedTriple(double x, double y, double z, std::string_view separator);

// "(x, y, z)", each to two decimals: a position in the world's event log.
std::string CoordsText(double x, double y, double z);

// "0x0123ABCD": a hash or model the world has no name for.
std::string Hex32(uint32_t value);

// `text` in double quotes, as it stands.
std::string Quoted(std::string_view text);

// "HH:MM" of a minute count, wrapped to the day.
std::string ClockText(int minutes);

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_FORMAT_H
