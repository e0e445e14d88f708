// The enabling rules of the option controls and the two spinner rules.

#include <algorithm>
#include <cstdint>
#include <optional>

#include "control_ids.h"
#include "integer_text.h"
#include "visualizer_dialog.h"

namespace vortana {

namespace {

// The grid size spinner doubles and halves, and wraps around at the ends of its range, so that
// one arrow reaches every power of two from 8 to 128.
int64_t GridSizeStep(int64_t position, int delta, int lowest, int highest) {
  if (delta < 0) return position == lowest ? highest - lowest : -(position / 2);
  return position == highest ? lowest - highest : position;
}

}  // namespace

const SpinnerDescription* VisualizerDialog::FindSpinner(int spinId) {
  for (const SpinnerDescription& spinner : kSpinners) {
    if (spinner.spinId == spinId) return &spinner;
  }
  return nullptr;
}

int VisualizerDialog::SpinnerPosition(int spinId) const {
  const SpinnerDescription* spinner = FindSpinner(spinId);
  return spinner ? spinnerPositions_[static_cast<size_t>(spinner - kSpinners.data())] : 0;
}

void VisualizerDialog::EnableControls(std::initializer_list<int> ids, bool enabled) {
  for (const int id : ids) platform_.EnableControl(id, enabled);
}

void VisualizerDialog::OnStreamlinesClicked() {
  EnableControls(
      {kIdEuler, kIdRungeKutta, kIdEvenlySpaced, kIdDeltaTLabel, kIdDeltaT, kIdDeltaTSpin}, true);
  EnableControls({kIdNormalized}, false);
}

// The d_sep and d_test controls are left alone: they keep what the Evenly Spaced rule last gave
// them, also while the Evenly Spaced check box itself is disabled.
void VisualizerDialog::OnArrowPlotClicked() {
  EnableControls({kIdNormalized}, true);
  EnableControls(
      {kIdEuler, kIdRungeKutta, kIdEvenlySpaced, kIdDeltaTLabel, kIdDeltaT, kIdDeltaTSpin}, false);
}

void VisualizerDialog::OnBackgroundClicked() {
  if (!ReadSettings()) return;
  EnableControls({kIdFlow, kIdPressure, kIdVorticity}, settings_.background != 0);
}

void VisualizerDialog::OnEvenlySpacedClicked() {
  if (!ReadSettings()) return;
  EnableControls({kIdDSepLabel, kIdDSep, kIdDSepSpin, kIdDTestLabel, kIdDTest, kIdDTestSpin},
                 settings_.evenlySpaced != 0);
}

// The colour-by setting itself changes only at the next reading of the settings; the stored
// background colours are stale from now on.
void VisualizerDialog::OnColourByClicked() { backgroundValid_ = false; }

void VisualizerDialog::OnSpin(int spinId, int delta) {
  const SpinnerDescription* spinner = FindSpinner(spinId);
  if (spinner == nullptr) return;
  int& remembered = spinnerPositions_[static_cast<size_t>(spinner - kSpinners.data())];

  // The d_test spinner keeps d_test below d_sep, so it needs the current d_sep.
  if (spinId == kIdDTestSpin && !ReadSettings()) return;

  // Like an up-down control, the spinner takes the number in its field as its position, and
  // keeps its last position while the field holds no number.
  const int64_t position =
      ParseIntegerText(platform_.ControlText(spinner->buddyId)).value_or(remembered);
  int64_t step = delta;
  if (spinId == kIdGridSizeSpin) {
    step = GridSizeStep(position, delta, spinner->range.lowest, spinner->range.highest);
  } else if (spinId == kIdDTestSpin && delta > 0 && position + delta >= settings_.dSep) {
    step = 0;
  }
  remembered = static_cast<int>(
      std::clamp<int64_t>(position + step, spinner->range.lowest, spinner->range.highest));
  platform_.SetControlText(spinner->buddyId, IntegerText(remembered));
}

}  // namespace vortana
