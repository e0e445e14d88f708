// The setting table against the dialog's values written out by hand: what vortana-render offers,
// says in its help, accepts and refuses, and what the dialog's spinners start from.

#include "app/setting_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/headless/render_options.h"

namespace vortana {
namespace {

constexpr int kNoLimit = -1;

// One setting as the dialog shows it; the ranges, start values and choice names are the
// dialog's own, not read from the table.
struct Expected {
  const char* option;
  int Settings::*value;
  SettingKind kind;
  int lowest, highest;  // Integer; highest kNoLimit: "at least"
  int spinId, spinLowest, spinHighest;
  int construction, startup;
  std::vector<std::string> choices;  // Choice: names in button order
  const char* helpName;              // the option as the help shows it
  const char* helpDefault;           // "" when the help shows no default
};

const std::vector<Expected>& ExpectedSettings() {
  static const std::vector<Expected> expected = {
      {"grid-size",
       &Settings::gridSize,
       SettingKind::Integer,
       8,
       128,
       kIdGridSizeSpin,
       8,
       128,
       0,
       32,
       {},
       "--grid-size N",
       "8..128 (default 32)"},
      {"normalized",
       &Settings::normalized,
       SettingKind::Check,
       0,
       0,
       0,
       0,
       0,
       0,
       0,
       {},
       "--normalized",
       ""},
      {"integrator",
       &Settings::integrator,
       SettingKind::Choice,
       0,
       0,
       0,
       0,
       0,
       -1,
       0,
       {"euler", "rk2"},
       "--integrator euler|rk2",
       "(default euler)"},
      {"plot",
       &Settings::plotType,
       SettingKind::Choice,
       0,
       0,
       0,
       0,
       0,
       -1,
       1,
       {"arrows", "streamlines"},
       "--plot arrows|streamlines",
       "(default streamlines)"},
      {"delta-t",
       &Settings::deltaT,
       SettingKind::Integer,
       1,
       20,
       kIdDeltaTSpin,
       1,
       20,
       0,
       10,
       {},
       "--delta-t N",
       "1..20 (default 10)"},
      {"background",
       &Settings::colourBy,
       SettingKind::Choice,
       0,
       0,
       0,
       0,
       0,
       -1,
       0,
       {"flow", "pressure", "vorticity"},
       "--background flow|pressure|vorticity",
       ""},
      {"evenly-spaced",
       &Settings::evenlySpaced,
       SettingKind::Check,
       0,
       0,
       0,
       0,
       0,
       0,
       0,
       {},
       "--evenly-spaced",
       ""},
      {"d-test",
       &Settings::dTest,
       SettingKind::Integer,
       1,
       kNoLimit,
       kIdDTestSpin,
       5,
       25,
       0,
       10,
       {},
       "--d-test N",
       "at least 1 (default 10)"},
      {"d-sep",
       &Settings::dSep,
       SettingKind::Integer,
       10,
       50,
       kIdDSepSpin,
       10,
       50,
       0,
       20,
       {},
       "--d-sep N",
       "10..50 (default 20)"},
      {"colour-map",
       &Settings::colourMap,
       SettingKind::Choice,
       0,
       0,
       0,
       0,
       0,
       0,
       0,
       {"legacy", "viridis", "cividis", "magma", "coolwarm", "greys"},
       "--colour-map legacy|viridis|cividis|magma|coolwarm|greys",
       "(default legacy)"},
      {"slice",
       &Settings::slice,
       SettingKind::Integer,
       0,
       kNoLimit,
       0,
       0,
       0,
       0,
       0,
       {},
       "--slice N",
       "at least 0 (default 0)"},
      {"step-units",
       &Settings::stepUnits,
       SettingKind::Choice,
       0,
       0,
       0,
       0,
       0,
       0,
       0,
       {"auto", "world", "pixels"},
       "--step-units auto|world|pixels",
       "(default auto)"},
      {"size", &Settings::drawingSize, SettingKind::Integer, 64, 8192, 0, 0, 0, 512, 512, {},
       "--size N", "64..8192 (default 512)"},
      {"aspect", &Settings::aspect, SettingKind::Choice, 0, 0, 0, 0, 0, 0, 0, {"fill", "equal"},
       "--aspect fill|equal", "(default fill)"},
      {"view", &Settings::view, SettingKind::Choice, 0, 0, 0, 0, 0, 0, 0,
       {"auto", "origin", "data"}, "--view auto|origin|data", "(default auto)"},
      {"y-axis", &Settings::yAxis, SettingKind::Choice, 0, 0, 0, 0, 0, 0, 0,
       {"auto", "down", "up"}, "--y-axis auto|down|up", "(default auto)"},
  };
  return expected;
}

// The help of one option: from its name to the next option's line (its text may continue on
// lines of its own when the name is long).
std::string HelpOf(const std::string& help, const std::string& name) {
  const size_t start = help.find(name);
  if (start == std::string::npos) return {};
  size_t end = help.find('\n', start);
  while (end != std::string::npos) {
    const size_t text = help.find_first_not_of(' ', end + 1);
    if (text == std::string::npos || help[text] == '-' || text == end + 1) break;
    end = help.find('\n', text);
  }
  return help.substr(start, end == std::string::npos ? end : end - start);
}

RenderOptions Parsed(std::vector<std::string> args, std::string* error = nullptr) {
  args.push_back("a.gri");
  const ParsedRenderOptions parsed = ParseRenderOptions(args);
  if (error) *error = parsed.error;
  EXPECT_TRUE(error || parsed.error.empty()) << parsed.error;
  return parsed.options;
}

TEST(SettingTable, EverySettingOfTheCommandLineMatchesTheDialog) {
  const std::string help = RenderUsage();
  const RenderOptions defaults = Parsed({});
  std::vector<std::string> optionsInTable;
  for (const SettingDescription& s : kSettingTable) {
    if (s.option) optionsInTable.push_back(s.option);
  }
  std::vector<std::string> optionsExpected;
  for (const Expected& e : ExpectedSettings()) optionsExpected.push_back(e.option);
  EXPECT_EQ(optionsInTable, optionsExpected);

  for (const Expected& e : ExpectedSettings()) {
    SCOPED_TRACE(e.option);
    const SettingDescription* s = FindSettingOption(e.option);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->kind, e.kind);
    EXPECT_EQ(s->value, e.value);
    EXPECT_EQ(s->construction, e.construction);
    EXPECT_EQ(ConstructionSettings().*e.value, e.construction);
    EXPECT_EQ(defaults.settings.*e.value, e.startup);

    const std::string name = std::string("--") + e.option;
    const std::string optionHelp = HelpOf(help, e.helpName);
    EXPECT_NE(optionHelp, "") << help;
    EXPECT_NE(optionHelp.find(e.helpDefault), std::string::npos) << optionHelp;

    if (e.kind == SettingKind::Integer) {
      const std::string accepted = e.highest == kNoLimit
                                       ? "an integer of at least " + std::to_string(e.lowest)
                                       : "an integer between " + std::to_string(e.lowest) +
                                             " and " + std::to_string(e.highest);
      EXPECT_EQ(Parsed({name, std::to_string(e.lowest)}).settings.*e.value, e.lowest);
      const int highest = e.highest == kNoLimit ? 2147483647 : e.highest;
      EXPECT_EQ(Parsed({name + "=" + std::to_string(highest)}).settings.*e.value, highest);
      std::string error;
      Parsed({name, std::to_string(e.lowest - 1)}, &error);
      EXPECT_EQ(error,
                name + ": expected " + accepted + ", got '" + std::to_string(e.lowest - 1) + "'");
      if (e.highest != kNoLimit) {
        Parsed({name, std::to_string(e.highest + 1)}, &error);
        EXPECT_NE(error.find(accepted), std::string::npos) << error;
      }
      Parsed({name}, &error);  // the data set's name taken as the value
      EXPECT_EQ(error, name + ": expected " + accepted + ", got 'a.gri'");

      // The spinner starts where the setting does; d_test's offers only part of its range. A
      // setting of the command line alone (spinId 0) has none.
      bool spinnerFound = false;
      for (const SpinnerDescription& spinner : TableSpinners()) {
        if (spinner.spinId != e.spinId) continue;
        spinnerFound = true;
        EXPECT_EQ(spinner.buddyId, s->controlId);
        EXPECT_EQ(spinner.range.lowest, e.spinLowest);
        EXPECT_EQ(spinner.range.highest, e.spinHighest);
        EXPECT_EQ(spinner.start, e.startup);
      }
      EXPECT_EQ(spinnerFound, e.spinId != 0);
    } else if (e.kind == SettingKind::Check) {
      EXPECT_EQ(Parsed({name}).settings.*e.value, 1);
    } else {
      for (size_t i = 0; i < e.choices.size(); ++i) {
        EXPECT_EQ(Parsed({name, e.choices[i]}).settings.*e.value, static_cast<int>(i));
      }
      std::string error;
      Parsed({name + "=none"}, &error);
      std::string names;
      for (const std::string& choice : e.choices) names += (names.empty() ? "" : "|") + choice;
      EXPECT_EQ(error, name + ": expected one of " + names + ", got 'none'");
    }
  }
}

TEST(SettingTable, BackgroundOptionAlsoTurnsTheCheckBoxOn) {
  EXPECT_EQ(Parsed({}).settings.background, 0);
  const RenderOptions pressure = Parsed({"--background=pressure"});
  EXPECT_EQ(pressure.settings.background, 1);
  EXPECT_EQ(pressure.settings.colourBy, 1);
  // The last of a repeated option wins.
  EXPECT_EQ(Parsed({"--grid-size", "8", "--grid-size=16"}).settings.gridSize, 16);
}

}  // namespace
}  // namespace vortana
