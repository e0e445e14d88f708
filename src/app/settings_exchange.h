#pragma once

#include "platform.h"
#include "setting_table.h"
#include "settings.h"

namespace vortana {

/// Writes one setting of `settings` into its controls: the text, the check box, or the radio
/// group (no button checked for an index that has none).
void ShowSetting(Platform& platform, const SettingDescription& setting, const Settings& settings);

/// Reads one setting from its controls into `settings`. An integer field that holds no integer,
/// or one outside its range, keeps the stored value; either is reported in a message box
/// captioned with the field's name, and the reading fails.
[[nodiscard]] bool ReadSetting(Platform& platform, const SettingDescription& setting,
                               Settings& settings);

}  // namespace vortana
