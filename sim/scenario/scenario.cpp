#include "sim/scenario/scenario.h"

#include <span>
#include <utility>

#include "platform/format.h"
#include "sim/scenario/lexer.h"
#include "sim/scenario/line_parser.h"
#include "sim/scenario/statements.h"

namespace sim {
namespace {

constexpr std::string_view kExpectedSettingOrAction =
    "a setting (name, about, seed, clock, homestead, start) or an action (ride, wait, shoot, "
    "take, advance, set, suppress, reload, expect)";

}  // namespace

std::string ParseError::Format() const {
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": error: " + what +
         (near.empty() ? "" : " near '" + near + "'") + "; expected " + expected +
         (hint.empty() ? "" : "; " + hint);
}

std::string FormatClock(int minutes) {
  return platform::ClockText(minutes);
}

ParseResult ParseScenario(std::string_view text, std::string_view file,
                          std::string_view defaultName) {
  Scenario scenario;
  scenario.source = std::string(file);
  scenario.name = std::string(defaultName);
  lang::SettingsSeen seen;
  ParseError error;
  error.file = std::string(file);

  // Some editors start a UTF-8 file with a byte-order mark; it is no word.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    const std::size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);

    std::vector<lang::Token> tokens = lang::Tokenize(line);
    if (tokens.empty()) continue;
    error.line = lineNumber;
    const lang::Token first = tokens.front();
    lang::LineParser p(std::move(tokens), &error);
    p.Take();

    if (lang::IsSetting(first.text)) {
      if (!scenario.actions.empty()) {
        p.Fail(first, "setting after the first action", "settings before the first action");
        return error;
      }
      const std::string_view rest =
          lang::Trim(line.substr(static_cast<std::size_t>(first.column - 1) + first.text.size()));
      if (!lang::ParseSetting(p, first, rest, seen, &scenario)) return error;
      continue;
    }

    Action action;
    action.line = lineNumber;
    action.text = std::string(lang::Trim(line));
    if (!lang::ParseAction(p, first, scenario.homestead, &action)) {
      if (error.what == "unknown action" && scenario.actions.empty()) {
        // Settings are still allowed, so they are candidates too.
        const std::span<const std::string_view> settings = lang::SettingWords();
        const std::span<const std::string_view> verbs = lang::ActionVerbs();
        std::vector<std::string_view> known(settings.begin(), settings.end());
        known.insert(known.end(), verbs.begin(), verbs.end());
        error.expected = std::string(kExpectedSettingOrAction);
        error.hint = lang::DidYouMean(first.text, known);
      }
      return error;
    }
    scenario.actions.push_back(std::move(action));
  }

  // An empty scenario would play nothing and pass: almost surely the wrong
  // file.
  if (scenario.actions.empty()) {
    error.line = lineNumber + 1;
    error.column = 1;
    error.what = "the scenario has no actions";
    error.expected = "at least one action, such as 'wait 10s'";
    return error;
  }

  if (!seen.start) {
    scenario.start.kind = Position::Kind::kCompass;
    scenario.start.homestead = scenario.homestead;
    scenario.start.direction = Compass::kSouth;
    scenario.start.distance = kDefaultStartDistance;
  }
  return scenario;
}

}  // namespace sim
