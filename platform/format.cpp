#include "platform/format.h"

#include <charconv>
#include <cstdio>

namespace platform {

// std::to_chars writes what "%.*f" writes, without the general formatter and
// the same on every system.
std::string Fixed(double value, int decimals) {
  char buffer[64];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (written.ec == std::errc()) return std::string(buffer, written.ptr);
  // A value too long for the buffer (beyond 10^40 or so): let printf size it.
  const int length = std::snprintf(nullptr, 0, "%.*f", decimals, value);
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, "%.*f", decimals, value);
  return text;
}

std::string FixedTriple(double x, double y, double z, std::string_view separator) {
  std::string text = Fixed(x, 2);
  text += separator;
  text += Fixed(y, 2);
  text += separator;
  text += Fixed(z, 2);
  return text;
}

std::string CoordsText(double x, double y, double z) {
  return "(" + FixedTriple(x, y, z, ", ") + ")";
}

std::string Hex32(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string ClockText(int minutes) {
  const int hour = minutes / 60 % 24;
  const int minute = minutes % 60;
  if (hour < 0 || minute < 0) {  // not a time of day; printed as printf would
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", hour, minute);
    return buffer;
  }
  const char text[] = {static_cast<char>('0' + hour / 10), static_cast<char>('0' + hour % 10), ':',
                       static_cast<char>('0' + minute / 10), static_cast<char>('0' + minute % 10)};
  return std::string(text, sizeof text);
}

}  // namespace platform
