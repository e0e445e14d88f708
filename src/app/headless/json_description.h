#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "app/visualizer_dialog.h"

namespace vortana {

/// A float as JSON: a number that reads back to the same float, or null when it is not finite.
nlohmann::ordered_json JsonFloat(float value);

/// The loaded field's dimensions and statistics, the values derived from them, dt, and the
/// stored pictures in stored order, each arrow with the glyph's integer points at the grid size
/// in force. `file` is the data set's path as the user gave it: bytes that are not UTF-8 read as
/// U+FFFD in "file", and then "file_bytes" holds every byte of the path as a number. Returns the
/// JSON text, without a line end.
/// With `step`, the description also names the time step drawn ("step") and how many the data
/// set holds ("steps"); with `nameSlice`, the slice drawn ("slice").
struct StepPosition {
  int step;
  int steps;
};
std::string DescribeDialog(const VisualizerDialog& dialog, const std::string& file,
                           const StepPosition* step = nullptr, bool nameSlice = false);

}  // namespace vortana
