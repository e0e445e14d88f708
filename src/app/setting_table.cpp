#include "setting_table.h"

namespace vortana {

namespace {

Settings SettingsAt(int SettingDescription::*which) {
  Settings settings;
  for (const SettingDescription& s : kSettingTable) {
    if (s.value) settings.*s.value = s.*which;
    if (s.text) (settings.*s.text).clear();
  }
  return settings;
}

}  // namespace

Settings ConstructionSettings() { return SettingsAt(&SettingDescription::construction); }

Settings StartupSettings() { return SettingsAt(&SettingDescription::startup); }

const SettingDescription* FindSettingOption(std::string_view option) {
  for (const SettingDescription& s : kSettingTable) {
    if (s.option && s.option == option) return &s;
  }
  return nullptr;
}

std::string AcceptedText(SettingRange range) {
  if (!range.HasUpperLimit()) return "an integer of at least " + std::to_string(range.lowest);
  return "an integer between " + std::to_string(range.lowest) + " and " +
         std::to_string(range.highest);
}

std::string ChoiceNames(const SettingDescription& setting) {
  std::string names;
  for (const SettingChoice& choice : setting.choices) {
    names += (names.empty() ? "" : "|") + std::string(choice.name);
  }
  return names;
}

std::string OptionValueText(const SettingDescription& setting, int value) {
  if (setting.kind != SettingKind::Choice) return std::to_string(value);
  if (value < 0 || static_cast<size_t>(value) >= setting.choices.size()) return "none";
  return setting.choices[static_cast<size_t>(value)].name;
}

}  // namespace vortana
