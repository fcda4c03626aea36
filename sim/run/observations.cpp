#include "sim/run/observations.h"

namespace sim {

std::string_view StateName(HomesteadState state) {
  switch (state) {
    case HomesteadState::kAvailable:
      return "available";
    case HomesteadState::kEncounter:
      return "encounter running";
    case HomesteadState::kCoolingDown:
      break;
  }
  return "cooling down";
}

}  // namespace sim
