// The host's three-component vector, in the layout the host exchanges.
#ifndef HOMESTEAD_HOST_VECTOR3_H
#define HOMESTEAD_HOST_VECTOR3_H

#include <cstdint>

namespace homestead {

// Each float in the low half of its own 8-byte slot, 24 bytes in all. Records
// that hold positions use this layout.
struct Vector3 {
  float x = 0.0f;
  uint32_t xPad = 0;
  float y = 0.0f;
  uint32_t yPad = 0;
  float z = 0.0f;
  uint32_t zPad = 0;

  constexpr Vector3() = default;
  constexpr Vector3(float px, float py, float pz) : x(px), y(py), z(pz) {}
};
static_assert(sizeof(Vector3) == 24, "Vector3 must be three 8-byte slots");

}  // namespace homestead

#endif  // HOMESTEAD_HOST_VECTOR3_H
