#pragma once

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "control_ids.h"
#include "setting_ranges.h"
#include "settings.h"

namespace vortana {

/// How a setting is shown and edited.
enum class SettingKind {
  Integer,  // a field holding an integer, range checked when read; often with a spinner
  Check,    // a check box: 0 or 1
  Choice,   // a radio group: the index of the checked button, -1 when none is
  Text,     // a field or label shown as it is
};

/// One named value of a choice: its radio button (0 for a value the dialog does not offer) and
/// its name on the command line.
struct SettingChoice {
  int controlId;
  const char* name;
};

/// The up-down control beside an integer field. Its range is the setting's unless it has one of
/// its own; it starts at the setting's start-up value.
struct SettingSpinner {
  int id = 0;
  SettingRange range{0, -1};  // empty: the setting's range
};

/// Everything the program knows about one setting. The dialog's exchange and range checks, its
/// spinners and start-up, the command line of vortana-render and its help are all derived from
/// these entries. A setting that is no dialog control has controlId 0 and lives on the command
/// line only.
struct SettingDescription {
  SettingKind kind;
  int controlId;        // the field or check box; 0 for a choice (its buttons have ids) or none
  const char* caption;  // the caption of the dialog's range messages
  int Settings::*value = nullptr;         // Integer, Check and Choice settings
  std::string Settings::*text = nullptr;  // Text settings
  SettingRange range{0, 0};               // Integer settings
  int construction = 0;                   // before start-up; Text settings are empty
  int startup = 0;                        // what the user first sees
  SettingSpinner spinner{};
  std::span<const SettingChoice> choices{};
  const char* option = nullptr;  // command-line name without "--"; null: not on the command line
  const char* help = nullptr;
  /// A check box that the command-line option also turns on (Background for its colour-by).
  int Settings::*switchesOn = nullptr;

  /// Whether the dialog shows the setting; the others live on the command line only.
  constexpr bool InDialog() const {
    return controlId != 0 || std::ranges::any_of(choices, [](const SettingChoice& choice) {
             return choice.controlId != 0;
           });
  }
  constexpr SettingRange SpinnerRange() const {
    return spinner.range.lowest <= spinner.range.highest ? spinner.range : range;
  }
};

inline constexpr SettingChoice kIntegratorChoices[] = {{kIdEuler, "euler"}, {kIdRungeKutta, "rk2"}};
inline constexpr SettingChoice kPlotTypeChoices[] = {{kIdArrowPlot, "arrows"},
                                                     {kIdStreamlines, "streamlines"}};
inline constexpr SettingChoice kColourByChoices[] = {
    {kIdFlow, "flow"}, {kIdPressure, "pressure"}, {kIdVorticity, "vorticity"}};
// In the order of ColourMap; no button of the dialog offers them.
inline constexpr SettingChoice kColourMapChoices[] = {{0, "legacy"},  {0, "viridis"},
                                                      {0, "cividis"}, {0, "magma"},
                                                      {0, "coolwarm"}, {0, "greys"}};
// In the order of StepUnits; no button of the dialog offers them.
inline constexpr SettingChoice kStepUnitsChoices[] = {{0, "auto"}, {0, "world"}, {0, "pixels"}};

inline constexpr SettingChoice kAspectChoices[] = {{0, "fill"}, {0, "equal"}};
inline constexpr SettingChoice kViewChoices[] = {{0, "auto"}, {0, "origin"}, {0, "data"}};
inline constexpr SettingChoice kYAxisChoices[] = {{0, "auto"}, {0, "down"}, {0, "up"}};

namespace setting_table_detail {
constexpr SettingDescription Text(int id, std::string Settings::*text) {
  return {.kind = SettingKind::Text, .controlId = id, .caption = "", .text = text};
}
}  // namespace setting_table_detail

/// The settings in the order the dialog exchanges them: a reading stops at the first field that
/// fails, so the order decides which message the user sees and what is stored before it.
inline constexpr std::array kSettingTable{
    setting_table_detail::Text(kIdSizeText, &Settings::sizeText),
    setting_table_detail::Text(kIdWidthText, &Settings::widthText),
    setting_table_detail::Text(kIdHeightText, &Settings::heightText),
    setting_table_detail::Text(kIdDepthText, &Settings::depthText),
    setting_table_detail::Text(kIdFileName, &Settings::fileName),
    SettingDescription{.kind = SettingKind::Integer,
                       .controlId = kIdGridSize,
                       .caption = "Gridsize",
                       .value = &Settings::gridSize,
                       .range = {8, 128},
                       .startup = 32,
                       .spinner = {kIdGridSizeSpin},
                       .option = "grid-size",
                       .help = "pixels between arrows or streamline seeds"},
    SettingDescription{.kind = SettingKind::Check,
                       .controlId = kIdNormalized,
                       .caption = "Normalized Vectors",
                       .value = &Settings::normalized,
                       .option = "normalized",
                       .help = "Normalized Vectors on: arrows of one length"},
    SettingDescription{.kind = SettingKind::Choice,
                       .controlId = 0,
                       .caption = "Integrator",
                       .value = &Settings::integrator,
                       .construction = -1,
                       .startup = RadioIndex(Integrator::Euler),
                       .choices = kIntegratorChoices,
                       .option = "integrator",
                       .help = "Euler or Runge-Kutta"},
    SettingDescription{.kind = SettingKind::Choice,
                       .controlId = 0,
                       .caption = "Plot",
                       .value = &Settings::plotType,
                       .construction = -1,
                       .startup = RadioIndex(PlotType::Streamlines),
                       .choices = kPlotTypeChoices,
                       .option = "plot",
                       .help = "plot type"},
    SettingDescription{.kind = SettingKind::Check,
                       .controlId = kIdBackground,
                       .caption = "Background",
                       .value = &Settings::background},
    SettingDescription{.kind = SettingKind::Integer,
                       .controlId = kIdDeltaT,
                       .caption = "Delta t",
                       .value = &Settings::deltaT,
                       .range = {1, 20},
                       .startup = 10,
                       .spinner = {kIdDeltaTSpin},
                       .option = "delta-t",
                       .help = "streamline step in hundredths"},
    SettingDescription{.kind = SettingKind::Choice,
                       .controlId = 0,
                       .caption = "Background",
                       .value = &Settings::colourBy,
                       .construction = -1,
                       .startup = RadioIndex(ColourBy::Flow),
                       .choices = kColourByChoices,
                       .option = "background",
                       .help = "Background on, coloured by that quantity",
                       .switchesOn = &Settings::background},
    SettingDescription{.kind = SettingKind::Check,
                       .controlId = kIdEvenlySpaced,
                       .caption = "Evenly Spaced",
                       .value = &Settings::evenlySpaced,
                       .option = "evenly-spaced",
                       .help = "Evenly Spaced streamlines on"},
    // d_test has no upper limit; below 1 the neighbourhood test would pass everything, and
    // evenly spaced placement could accept the same candidate again and again. Its spinner
    // offers the useful part only.
    SettingDescription{.kind = SettingKind::Integer,
                       .controlId = kIdDTest,
                       .caption = "d_test",
                       .value = &Settings::dTest,
                       .range = AtLeast(1),
                       .startup = 10,
                       .spinner = {kIdDTestSpin, {5, 25}},
                       .option = "d-test",
                       .help = "how near another streamline a streamline ends"},
    SettingDescription{.kind = SettingKind::Integer,
                       .controlId = kIdDSep,
                       .caption = "d_sep",
                       .value = &Settings::dSep,
                       .range = {10, 50},
                       .startup = 20,
                       .spinner = {kIdDSepSpin},
                       .option = "d-sep",
                       .help = "distance between evenly spaced streamlines"},
    SettingDescription{.kind = SettingKind::Choice,
                       .controlId = 0,
                       .caption = "Colour map",
                       .value = &Settings::colourMap,
                       .construction = RadioIndex(ColourMap::Legacy),
                       .startup = RadioIndex(ColourMap::Legacy),
                       .choices = kColourMapChoices,
                       .option = "colour-map",
                       .help = "the colours of the background and the legend"},
    // Checked against the data set's depth once it has loaded.
    SettingDescription{.kind = SettingKind::Integer,
                       .controlId = 0,
                       .caption = "Slice",
                       .value = &Settings::slice,
                       .range = AtLeast(0),
                       .option = "slice",
                       .help = "the slice drawn, 0 to depth - 1; the colours\nand scales stay those of all slices"},
    SettingDescription{.kind = SettingKind::Choice,
                       .controlId = 0,
                       .caption = "Step units",
                       .value = &Settings::stepUnits,
                       .construction = RadioIndex(StepUnits::Auto),
                       .startup = RadioIndex(StepUnits::Auto),
                       .choices = kStepUnitsChoices,
                       .option = "step-units",
                       .help = "what Delta t measures: world units, or drawing-area\n"
                               "pixels (a field of any size traces alike); auto is\n"
                               "world for the grid/data file pair, pixels for other\n"
                               "sources"},
    SettingDescription{.kind = SettingKind::Integer,
                       .controlId = 0,
                       .caption = "Size",
                       .value = &Settings::drawingSize,
                       .range = {64, 8192},
                       .construction = 512,
                       .startup = 512,
                       .option = "size",
                       .help = "the drawing area's longer side in pixels; everything measured\n"
                               "in pixels (grid size, d_sep, d_test, probes) is of this area"},
    SettingDescription{.kind = SettingKind::Choice,
                       .controlId = 0,
                       .caption = "Aspect",
                       .value = &Settings::aspect,
                       .construction = RadioIndex(Aspect::Fill),
                       .startup = RadioIndex(Aspect::Fill),
                       .choices = kAspectChoices,
                       .option = "aspect",
                       .help = "fill: a square area; equal: the world window's proportions"},
    SettingDescription{.kind = SettingKind::Choice,
                       .controlId = 0,
                       .caption = "View",
                       .value = &Settings::view,
                       .construction = RadioIndex(View::Auto),
                       .startup = RadioIndex(View::Auto),
                       .choices = kViewChoices,
                       .option = "view",
                       .help = "the world window: origin (0 to max), data (min to max);\n"
                               "auto: origin for a grid/data file pair, else data"},
    SettingDescription{.kind = SettingKind::Choice,
                       .controlId = 0,
                       .caption = "Y axis",
                       .value = &Settings::yAxis,
                       .construction = RadioIndex(YAxis::Auto),
                       .startup = RadioIndex(YAxis::Auto),
                       .choices = kYAxisChoices,
                       .option = "y-axis",
                       .help = "which way world y runs on the screen;\n"
                               "auto: down for a grid/data file pair, else up"},
};

/// One up-down control of the dialog, as the spinner rules need it.
struct SpinnerDescription {
  int spinId;
  int buddyId;
  SettingRange range;
  int start;
};

inline constexpr size_t kSpinnerCount = static_cast<size_t>(std::ranges::count_if(
    kSettingTable, [](const SettingDescription& s) { return s.spinner.id != 0; }));

/// The spinners of the table, in table order.
constexpr std::array<SpinnerDescription, kSpinnerCount> TableSpinners() {
  std::array<SpinnerDescription, kSpinnerCount> spinners{};
  size_t i = 0;
  for (const SettingDescription& s : kSettingTable) {
    if (s.spinner.id != 0) spinners[i++] = {s.spinner.id, s.controlId, s.SpinnerRange(), s.startup};
  }
  return spinners;
}

/// The settings of a freshly created dialog, before start-up.
Settings ConstructionSettings();
/// The settings the user first sees, and the defaults of the command line.
Settings StartupSettings();

/// The table entry with command-line name `option` (without "--"); null when there is none.
const SettingDescription* FindSettingOption(std::string_view option);

/// What an integer setting accepts: "an integer between 8 and 128", "an integer of at least 1".
std::string AcceptedText(SettingRange range);
/// The choices' command-line names: "euler|rk2".
std::string ChoiceNames(const SettingDescription& setting);
/// The value as the command line names it: "32", "streamlines".
std::string OptionValueText(const SettingDescription& setting, int value);

}  // namespace vortana
