// The exchange between the dialog's controls and its settings, with the range checks.

#include <string>

#include "control_ids.h"
#include "integer_text.h"
#include "setting_ranges.h"
#include "visualizer_dialog.h"

namespace vortana {

namespace {

// Captions of the range messages: the field's own label.
constexpr const char* kGridSizeField = "Gridsize";
constexpr const char* kDeltaTField = "Delta t";
constexpr const char* kDTestField = "d_test";
constexpr const char* kDSepField = "d_sep";

int CheckState(const Platform& platform, int id) { return platform.IsChecked(id) ? 1 : 0; }

}  // namespace

bool VisualizerDialog::ReadInteger(int id, const char* fieldName, int& value) {
  const std::optional<int> number = ParseIntegerText(platform_.ControlText(id));
  if (!number) {
    platform_.ShowMessage("Please enter an integer.", fieldName, MessageIcon::Warning);
    return false;
  }
  value = *number;
  return true;
}

bool VisualizerDialog::CheckRange(int value, SettingRange range, const char* fieldName) {
  if (range.Contains(value)) return true;
  platform_.ShowMessage("Please enter an integer between " + IntegerText(range.lowest) + " and " +
                            IntegerText(range.highest) + ".",
                        fieldName, MessageIcon::Warning);
  return false;
}

bool VisualizerDialog::CheckAtLeast(int value, int lowest, const char* fieldName) {
  if (value >= lowest) return true;
  platform_.ShowMessage("Please enter an integer of at least " + IntegerText(lowest) + ".",
                        fieldName, MessageIcon::Warning);
  return false;
}

int VisualizerDialog::ReadRadio(std::initializer_list<int> ids) const {
  int index = 0;
  for (const int id : ids) {
    if (platform_.IsChecked(id)) return index;
    ++index;
  }
  return -1;
}

void VisualizerDialog::ShowRadio(std::initializer_list<int> ids, int index) {
  int i = 0;
  for (const int id : ids) platform_.SetChecked(id, i++ == index);
}

bool VisualizerDialog::ReadSettings() {
  Settings& s = settings_;
  s.sizeText = platform_.ControlText(kIdSizeText);
  s.widthText = platform_.ControlText(kIdWidthText);
  s.heightText = platform_.ControlText(kIdHeightText);
  s.depthText = platform_.ControlText(kIdDepthText);
  s.fileName = platform_.ControlText(kIdFileName);
  // A failing field stops the reading: what was read before keeps its new value, a value out of
  // its range has already been stored, and everything after keeps its previous value.
  if (!ReadInteger(kIdGridSize, kGridSizeField, s.gridSize) ||
      !CheckRange(s.gridSize, kGridSizeRange, kGridSizeField)) {
    return false;
  }
  s.normalized = CheckState(platform_, kIdNormalized);
  s.integrator = ReadRadio({kIdEuler, kIdRungeKutta});
  s.plotType = ReadRadio({kIdArrowPlot, kIdStreamlines});
  s.background = CheckState(platform_, kIdBackground);
  if (!ReadInteger(kIdDeltaT, kDeltaTField, s.deltaT) ||
      !CheckRange(s.deltaT, kDeltaTRange, kDeltaTField)) {
    return false;
  }
  s.colourBy = ReadRadio({kIdFlow, kIdPressure, kIdVorticity});
  s.evenlySpaced = CheckState(platform_, kIdEvenlySpaced);
  if (!ReadInteger(kIdDTest, kDTestField, s.dTest) ||
      !CheckAtLeast(s.dTest, kDTestLowest, kDTestField)) {
    return false;
  }
  if (!ReadInteger(kIdDSep, kDSepField, s.dSep) || !CheckRange(s.dSep, kDSepRange, kDSepField)) {
    return false;
  }
  return true;
}

void VisualizerDialog::ShowSettings() {
  const Settings& s = settings_;
  platform_.SetControlText(kIdSizeText, s.sizeText);
  platform_.SetControlText(kIdWidthText, s.widthText);
  platform_.SetControlText(kIdHeightText, s.heightText);
  platform_.SetControlText(kIdDepthText, s.depthText);
  platform_.SetControlText(kIdFileName, s.fileName);
  platform_.SetControlText(kIdGridSize, IntegerText(s.gridSize));
  platform_.SetChecked(kIdNormalized, s.normalized != 0);
  ShowRadio({kIdEuler, kIdRungeKutta}, s.integrator);
  ShowRadio({kIdArrowPlot, kIdStreamlines}, s.plotType);
  platform_.SetChecked(kIdBackground, s.background != 0);
  platform_.SetControlText(kIdDeltaT, IntegerText(s.deltaT));
  ShowRadio({kIdFlow, kIdPressure, kIdVorticity}, s.colourBy);
  platform_.SetChecked(kIdEvenlySpaced, s.evenlySpaced != 0);
  platform_.SetControlText(kIdDTest, IntegerText(s.dTest));
  platform_.SetControlText(kIdDSep, IntegerText(s.dSep));
}

}  // namespace vortana
