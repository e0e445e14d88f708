#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "app/visualizer_dialog.h"

namespace vortana {

/// A float as JSON: a number that reads back to the same float, or null when it is not finite.
nlohmann::ordered_json JsonFloat(float value);

/// The time step drawn and how many the data set holds.
struct StepPosition {
  int step;
  int steps;
};

/// Keys a description holds only when asked, so that the descriptions of runs that do not ask
/// stay byte for byte as they were: "step" and "steps", "slice" (the slice drawn), "area"
/// ([width, height] of the drawing area) and "view" (the world window [x0, y0, x1, y1] and which
/// way y runs, "down" or "up").
struct DescriptionKeys {
  std::optional<StepPosition> step;
  bool slice = false;
  bool area = false;
  bool view = false;
};

/// The loaded field's dimensions and statistics, the values derived from them, dt, and the
/// stored pictures in stored order, each arrow with the glyph's integer points at the grid size
/// in force. `file` is the data set's path as the user gave it: bytes that are not UTF-8 read as
/// U+FFFD in "file", and then "file_bytes" holds every byte of the path as a number. Returns the
/// JSON text, without a line end.
std::string DescribeDialog(const VisualizerDialog& dialog, const std::string& file,
                           const DescriptionKeys& keys = {});

}  // namespace vortana
