// The replay page's template, style and script (sim/report/replay/), compiled
// into the program by embed_replay.cmake. The template holds the
// placeholders {{title}}, {{style}}, {{data}} and {{script}}, once each and
// in that order; the style and script hold no "</".
#ifndef HOMESTEAD_SIM_REPORT_REPLAY_ASSETS_H
#define HOMESTEAD_SIM_REPORT_REPLAY_ASSETS_H

#include <string_view>

namespace sim {

extern const std::string_view kReplayTemplate;
extern const std::string_view kReplayStyle;
extern const std::string_view kReplayScript;

}  // namespace sim

#endif  // HOMESTEAD_SIM_REPORT_REPLAY_ASSETS_H
