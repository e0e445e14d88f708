// The exchange between the dialog's controls and its settings, with the range checks.

#include "settings_exchange.h"

#include <optional>
#include <string>

#include "integer_text.h"
#include "visualizer_dialog.h"

namespace vortana {

void ShowSetting(Platform& platform, const SettingDescription& setting, const Settings& settings) {
  switch (setting.kind) {
    case SettingKind::Text:
      platform.SetControlText(setting.controlId, settings.*setting.text);
      break;
    case SettingKind::Integer:
      platform.SetControlText(setting.controlId, IntegerText(settings.*setting.value));
      break;
    case SettingKind::Check:
      platform.SetChecked(setting.controlId, settings.*setting.value != 0);
      break;
    case SettingKind::Choice: {
      int index = 0;
      for (const SettingChoice& choice : setting.choices) {
        if (choice.controlId != 0)
          platform.SetChecked(choice.controlId, index == settings.*setting.value);
        ++index;
      }
      break;
    }
  }
}

bool ReadSetting(Platform& platform, const SettingDescription& setting, Settings& settings) {
  switch (setting.kind) {
    case SettingKind::Text:
      settings.*setting.text = platform.ControlText(setting.controlId);
      return true;
    case SettingKind::Check:
      settings.*setting.value = platform.IsChecked(setting.controlId) ? 1 : 0;
      return true;
    case SettingKind::Choice: {
      int checked = -1;
      for (size_t i = 0; i < setting.choices.size() && checked < 0; ++i) {
        const int id = setting.choices[i].controlId;
        if (id != 0 && platform.IsChecked(id)) checked = static_cast<int>(i);
      }
      settings.*setting.value = checked;
      return true;
    }
    case SettingKind::Integer:
      break;
  }
  const std::optional<int> number = ParseIntegerText(platform.ControlText(setting.controlId));
  if (!number) {
    platform.ShowMessage("Please enter an integer.", setting.caption, MessageIcon::Warning);
    return false;
  }
  if (setting.range.Contains(*number)) {
    settings.*setting.value = *number;
    return true;
  }
  // A refused value is not stored: the state keeps its last valid one, while the field keeps
  // the typed text, so that the next reading refuses it again.
  platform.ShowMessage("Please enter " + AcceptedText(setting.range) + ".", setting.caption,
                       MessageIcon::Warning);
  return false;
}

bool VisualizerDialog::ReadSettings() {
  // A failing field stops the reading: what was read before keeps its new value, the failing
  // field and everything after keep their previous values.
  for (const SettingDescription& setting : kSettingTable) {
    if (setting.InDialog() && !ReadSetting(platform_, setting, settings_)) return false;
  }
  UseChosenColourMap();
  return true;
}

void VisualizerDialog::UseChosenColourMap() {
  if (settings_.colourMap == rampMap_) return;
  ramp_ = BuildColourMap(static_cast<ColourMap>(settings_.colourMap));
  rampMap_ = settings_.colourMap;
  // The buffer holds colours of the old ramp.
  backgroundValid_ = false;
}

void VisualizerDialog::ShowSettings() {
  for (const SettingDescription& setting : kSettingTable) {
    if (setting.InDialog()) ShowSetting(platform_, setting, settings_);
  }
}

}  // namespace vortana
