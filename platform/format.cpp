#include "platform/format.h"

#include <cstdio>

namespace platform {

std::string Fixed(double value, int decimals) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string FixedTriple(double x, double y, double z, std::string_view separator) {
  std::string text = Fixed(x, 2);
  text += separator;
  text += Fixed(y, 2);
  text += separator;
  text += Fixed(z, 2);
  return text;
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
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", minutes / 60 % 24, minutes % 60);
  return buffer;
}

}  // namespace platform
