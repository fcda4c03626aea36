// The statements of a scenario: settings ("name", "seed", "start at ..."),
// each at most once and only before the first action, and actions ("ride",
// "wait", "shoot", ...), one per line. Each reads the rest of its line after
// the first word and fails through the LineParser.
#ifndef HOMESTEAD_SIM_SCENARIO_STATEMENTS_H
#define HOMESTEAD_SIM_SCENARIO_STATEMENTS_H

#include <span>
#include <string_view>

#include "sim/scenario/line_parser.h"
#include "sim/scenario/scenario.h"

namespace sim::lang {

// The settings a scenario has given so far.
struct SettingsSeen {
  bool name = false;
  bool about = false;
  bool seed = false;
  bool clock = false;
  bool homestead = false;
  bool start = false;
};

// The first words of the settings and of the actions, for hints.
std::span<const std::string_view> SettingWords();
std::span<const std::string_view> ActionVerbs();

bool IsSetting(std::string_view word);

// The setting `word`; `restOfLine` is the line after it, trimmed.
bool ParseSetting(LineParser& p, const Token& word, std::string_view restOfLine, SettingsSeen& seen,
                  Scenario* s);

// The action whose first word is `verb`; shots and money default to
// `defaultHomestead`.
bool ParseAction(LineParser& p, const Token& verb, int defaultHomestead, Action* a);

}  // namespace sim::lang

#endif  // HOMESTEAD_SIM_SCENARIO_STATEMENTS_H
