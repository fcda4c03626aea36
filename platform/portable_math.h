// Sine, cosine and arc tangent in degrees, the same to the last bit on every
// system.
//
// The C libraries' own sin, cos and atan2 differ between systems by a few
// units in the last place, and the simulator's output must be byte-identical
// on Linux and Windows. These use only +, -, *, / and sqrt, which IEEE 754
// rounds correctly everywhere, so every result is the same wherever they run
// (the build does not contract multiply-adds: ISO C++ mode, no FMA target).
// They are accurate to about 1e-14, which is all the world and the map need.
#ifndef HOMESTEAD_PLATFORM_PORTABLE_MATH_H
#define HOMESTEAD_PLATFORM_PORTABLE_MATH_H

#include <cmath>
#include <numbers>

namespace platform {

struct SinCos {
  double sin;
  double cos;
};

// sin and cos of an angle given in degrees.
inline SinCos SinCosDegrees(double degrees) {
  double d = std::fmod(degrees, 360.0);  // exact
  if (d < 0.0) d += 360.0;
  // Nearest quarter turn, and the rest within [-45, 45] degrees.
  const int turns = static_cast<int>((d + 45.0) / 90.0);  // 0 to 4
  const double x = (d - 90.0 * turns) * (std::numbers::pi / 180.0);
  const double x2 = x * x;
  // Taylor series, summed from the smallest term; |x| <= pi/4 needs terms up
  // to x^17 for double precision.
  double s = 0.0;
  double c = 0.0;
  for (int k = 8; k >= 1; --k) {
    s = (1.0 - s * x2 / ((2 * k + 2) * (2 * k + 3)));
    c = (1.0 - c * x2 / ((2 * k + 1) * (2 * k + 2)));
  }
  s = x * (1.0 - s * x2 / 6.0);
  c = 1.0 - c * x2 / 2.0;
  switch (turns % 4) {
    case 0:
      return {s, c};
    case 1:
      return {c, -s};
    case 2:
      return {-s, -c};
    default:
      return {-c, s};
  }
}

// The angle of (x, y) from the positive x axis, in degrees within
// (-180, 180], like atan2(y, x) * 180 / pi.
inline double Atan2Degrees(double y, double x) {
  if (x == 0.0 && y == 0.0) return 0.0;
  const double ax = std::fabs(x);
  const double ay = std::fabs(y);
  // The arc tangent of the smaller over the larger, in [0, 1]: two halvings,
  // atan(t) = 2 atan(t / (1 + sqrt(1 + t^2))), bring it below tan(pi/16),
  // where the series converges fast.
  double t = ay <= ax ? ay / ax : ax / ay;
  t = t / (1.0 + std::sqrt(1.0 + t * t));
  t = t / (1.0 + std::sqrt(1.0 + t * t));
  const double t2 = t * t;
  double series = 0.0;
  for (int k = 13; k >= 1; --k) series = 1.0 / (2 * k + 1) - t2 * series;
  double angle = 4.0 * t * (1.0 - t2 * series);  // radians, in [0, pi/4]
  if (ay > ax) angle = std::numbers::pi / 2.0 - angle;
  if (x < 0.0) angle = std::numbers::pi - angle;
  if (y < 0.0) angle = -angle;
  return angle * (180.0 / std::numbers::pi);
}

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_PORTABLE_MATH_H
